// marrowtone-render: the player's loading and rendering, to a WAV file or to
// standard output, for people who want a file rather than a window.
#include "render_options.h"
#include "sound.h"
#include "wav.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* const usage =
    "Usage: marrowtone-render [OPTIONS] INPUT.mml [OUTPUT]\n"
    "Renders an MML score exactly as the Marrowtone player does and writes it as a WAV\n"
    "file (8-bit unsigned mono PCM). OUTPUT defaults to INPUT with the extension .wav;\n"
    "'-' writes the raw samples to standard output instead.\n"
    "\n"
    "Options:\n"
    "  --seconds S   length of the rendering in seconds (default 60)\n"
    "  --rate R      samples per second (default 11025)\n"
    "  --dump        print the loaded score instead of rendering it\n"
    "  --version     print the version and exit\n"
    "  --help        print this help and exit\n";

int fail(const std::string& text) {
    std::fprintf(stderr, "Error: %s\n", text.c_str());
    return 1;
}

bool writeAll(std::FILE* out, const void* data, size_t size) {
    return std::fwrite(data, 1, size, out) == size && std::fflush(out) == 0;
}

void dump(const Sound& sound, std::string& text) {
    std::vector<const std::string*> names(sound.channelIndex.size());
    for (const auto& [name, index] : sound.channelIndex)
        names[index] = &name;
    for (size_t i = 0; i < names.size(); ++i) {
        const CommandList& list = sound.channels[i];
        text += *names[i];
        text += ' ' + std::to_string(list.size()) + '\n';
        for (size_t j = 0; j < list.size(); ++j)
            text += "  " + list[j].cmd + ' ' + std::to_string(list[j].value) + '\n';
    }
}

int run(const std::vector<std::string>& args) {
    std::string error;
    auto options = parseRenderOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "marrowtone-render: %s (try 'marrowtone-render --help')\n",
                     error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(usage, stdout);
        return writeAll(stdout, "", 0) ? 0 : 1;
    }
    if (options->version) {
        std::printf("marrowtone-render %s\n", MARROWTONE_VERSION);
        return writeAll(stdout, "", 0) ? 0 : 1;
    }

    Sound sound;
    sound.load(options->input);

    if (options->dump) {
        std::string text;
        dump(sound, text);
        if (!writeAll(stdout, text.data(), text.size()))
            return fail("cannot write to standard output");
        return 0;
    }

    std::vector<uint8_t> pcm(static_cast<size_t>(options->samples));
    sound.render(pcm, options->rate);

    if (options->output == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        if (!writeAll(stdout, pcm.data(), pcm.size()))
            return fail("cannot write to standard output");
        return 0;
    }
    const std::string problem =
        writeFileAtomically(options->output, wavFile(pcm, static_cast<uint32_t>(options->rate)));
    if (!problem.empty()) return fail(problem);
    return 0;
}

int runGuarded(const std::vector<std::string>& args) {
    try {
        return run(args);
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}

} // namespace

#ifdef _WIN32
// The narrow command line is in the ANSI code page, which cannot hold most file names:
// the arguments are taken wide (-municode) and turned into UTF-8 once, here.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
        arg.resize(arg.size() - 1); // the terminating zero
        args.push_back(std::move(arg));
    }
    return runGuarded(args);
}
#else
int main(int argc, char** argv) {
    return runGuarded(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
