// marrowtone-render: the player's loading and rendering, to a WAV file or to
// standard output, for people who want a file rather than a window; and for people
// who write scores, what their text does (--check, --info) and how it sounds the
// moment they save it (--play --watch).
#include "tools/render_tool.h"

#include "sound/sound.h"
#include "tools/file_watch.h"
#include "tools/render_options.h"
#include "tools/score_report.h"
#include "tools/wav.h"

#include <chrono>
#include <exception>
#include <new>
#include <optional>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* const usage =
    "Usage: marrowtone-render [OPTIONS] INPUT.mml [OUTPUT]\n"
    "       marrowtone-render [OPTIONS] INPUT.mml INPUT.mml...\n"
    "       marrowtone-render --check|--info [OPTIONS] INPUT.mml...\n"
    "       marrowtone-render --play [--watch] [OPTIONS] INPUT.mml\n"
    "Renders an MML score exactly as the Marrowtone player does and writes it as a WAV\n"
    "file (8-bit unsigned mono PCM). OUTPUT defaults to INPUT with the extension .wav;\n"
    "'-' writes the raw samples to standard output instead. Several scores (names ending\n"
    "in .mml) are each written to their own WAV file beside them.\n"
    "\n"
    "Options:\n"
    "  --seconds S   length of the rendering in seconds (default 60)\n"
    "  --rate R      samples per second (default 11025, the player's); note lengths\n"
    "                are counted in samples, so another rate also changes the tempo\n"
    "  --check       report, without writing a file, every place where what is written\n"
    "                is not what will be heard: FILE:LINE:COLUMN: warning: TEXT (and\n"
    "                FILE:LINE:COLUMN: error: TEXT for a score that does not load)\n"
    "  --info        print each channel's commands, notes, rests, length of one pass,\n"
    "                passes within the rendering and loudest level, then the peak sum\n"
    "  --play        play the rendering on the default sound device instead of writing it\n"
    "  --watch       with --play: whenever the score is saved, check it and play it anew\n"
    "  --dump        print the loaded score instead of rendering it\n"
    "  --version     print the version and exit\n"
    "  --help        print this help and exit\n"
    "\n"
    "Exit status: 0 success (for --check: no warnings), 1 a score or output that cannot\n"
    "be read or written, 2 a wrong command line, 3 --check found warnings, 4 --play lost\n"
    "its sound device (the sound server went away), 130 --play stopped by Ctrl+C.\n";

bool writeAll(std::FILE* out, const void* data, size_t size) {
    return std::fwrite(data, 1, size, out) == size && std::fflush(out) == 0;
}

bool writeText(std::FILE* out, const std::string& text) {
    return writeAll(out, text.data(), text.size());
}

class Tool {
public:
    Tool(const RenderOptions& options, const ToolStreams& streams)
        : options_(options), io_(streams) {}

    int fail(const std::string& text) const {
        std::fprintf(io_.err, "Error: %s\n", text.c_str());
        std::fflush(io_.err);
        return 1;
    }

    // Reads the score from standard input when INPUT is '-', once: a report and a
    // rendering of it load the same text.
    bool readStandardInput() {
        if (options_.input != "-") return true;
#ifdef _WIN32
        _setmode(_fileno(io_.in), _O_BINARY);
#endif
        std::string text;
        char buffer[1 << 16];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, io_.in)) > 0)
            text.append(buffer, n);
        if (std::ferror(io_.in)) return false;
        stdinText_ = std::move(text);
        return true;
    }

    const std::string* textOf(const std::string& input) const {
        return input == "-" && stdinText_ ? &*stdinText_ : nullptr;
    }

    int dump() const {
        Sound sound;
        loadScore(sound, options_.input, textOf(options_.input));
        std::vector<const std::string*> names(sound.channelIndex.size());
        for (const auto& [name, index] : sound.channelIndex)
            names[index] = &name;
        std::string text;
        for (size_t i = 0; i < names.size(); ++i) {
            const CommandList& list = sound.channels[i];
            text += *names[i];
            text += ' ' + std::to_string(list.size()) + '\n';
            for (size_t j = 0; j < list.size(); ++j)
                text += "  " + list[j].cmd + ' ' + std::to_string(list[j].value) + '\n';
        }
        if (!writeText(io_.out, text)) return fail("cannot write to standard output");
        return 0;
    }

    int render(const std::string& input, const std::string& output) const {
        Sound sound;
        loadScore(sound, input, textOf(input));
        std::vector<uint8_t> pcm(static_cast<size_t>(options_.samples));
        sound.render(pcm, options_.rate);

        if (output == "-") {
#ifdef _WIN32
            _setmode(_fileno(io_.out), _O_BINARY);
#endif
            if (!writeAll(io_.out, pcm.data(), pcm.size()))
                return fail("cannot write to standard output");
            return 0;
        }
        const std::string problem =
            writeFileAtomically(output, wavFile(pcm, static_cast<uint32_t>(options_.rate)));
        if (!problem.empty()) return fail(problem);
        return 0;
    }

    // Every score, each beside itself; one that fails does not stop the others.
    int renderEach() const {
        int status = 0;
        for (const std::string& input : options_.inputs) {
            try {
                if (render(input, defaultOutputName(input)) != 0) status = 1;
            } catch (const SoundError& e) {
                status = fail(e.what());
            }
        }
        return status;
    }

    int report() const {
        int status = 0;
        bool warned = false;
        for (const std::string& input : options_.inputs) {
            Sound sound;
            std::vector<uint8_t> pcm(static_cast<size_t>(options_.samples));
            ScoreReport report;
            try {
                report = examineScore(sound, input, pcm, options_.rate, textOf(input));
            } catch (const ScoreError& e) {
                // Among the warnings, in their form, so that an editor takes it to the place.
                if (!options_.check) {
                    status = fail(e.what());
                } else if (!writeText(io_.out, errorLine(input, e))) {
                    return fail("cannot write to standard output");
                } else {
                    status = 1;
                }
                continue;
            } catch (const SoundError& e) {
                status = fail(e.what());
                continue;
            }
            std::string text;
            if (options_.check) text += warningLines(input, report);
            if (options_.info) text += infoText(input, report);
            if (!writeText(io_.out, text)) return fail("cannot write to standard output");
            warned = warned || !report.warnings.empty();
        }
        if (status != 0) return status;
        return options_.check && warned ? kExitWarnings : 0;
    }

    int play() {
        std::unique_ptr<SoundOutput> output = io_.soundOutput ? io_.soundOutput() : nullptr;
        if (!output) return fail("cannot play: this build has no sound output");
        SoundOutput& player = *output;
        if (const std::string problem = player.open(options_.rate); !problem.empty())
            return fail(problem);
        std::optional<FileWatch> watch;
        if (options_.watch) {
            watch.emplace(options_.input);
            if (!watch->problem().empty()) return fail(watch->problem());
        }
        bool loaded = start(player);
        if (!loaded && !watch) return 1;
        bool toldEnd = false;
        for (;;) {
            if (io_.interrupted && io_.interrupted->load()) {
                player.stop();
                // The terminal has echoed the Ctrl+C as two characters after the line.
                if (io_.terminal) progressWidth_ += 2;
                clearProgress();
                say("Stopped.\n");
                return kExitInterrupted;
            }
            if (watch) {
                if (watch->waitForSave(std::chrono::milliseconds(50))) {
                    clearProgress();
                    if (start(player)) {
                        loaded = true;
                        toldEnd = false;
                    } else if (loaded) {
                        say("The last version that loaded plays on.\n");
                    }
                }
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (player.playing()) {
                showProgress();
                continue;
            }
            const bool lost = player.lost();
            if (!watch) {
                clearProgress();
                if (!lost) return 0;
                fail("the sound was lost: the sound device went away while playing");
                return kExitSoundLost;
            }
            if (loaded && !toldEnd) {
                clearProgress();
                say(lost ? "The sound was lost: the sound device went away. The next save plays "
                           "it again.\n"
                         : "Played to the end; waiting for the next save.\n");
                toldEnd = true;
            }
        }
    }

private:
    void say(const std::string& text) const {
        writeText(io_.err, text);
    }

    // Loads, checks and renders the score, and plays it from the start. On an error the
    // device goes on with what it played.
    bool start(SoundOutput& player) {
        Sound sound;
        std::vector<uint8_t> pcm(static_cast<size_t>(options_.samples));
        ScoreReport report;
        try {
            report =
                examineScore(sound, options_.input, pcm, options_.rate, textOf(options_.input));
        } catch (const SoundError& e) {
            fail(e.what());
            return false;
        }
        say(warningLines(options_.input, report));
        player.start(std::move(pcm));
        started_ = std::chrono::steady_clock::now();
        // For someone watching; a script or an editor that runs the tool hears it.
        if (io_.terminal)
            say("Playing " + options_.input + ", " + secondsText(options_.samples, options_.rate) +
                (options_.watch ? "; every save plays it anew, Ctrl+C ends.\n" : ".\n"));
        return true;
    }

    void showProgress() {
        if (!io_.terminal) return;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started_);
        const int64_t total = options_.samples * 1000 / options_.rate;
        const int64_t tenths = std::min<int64_t>(elapsed.count(), total) / 100;
        if (tenths == shownTenths_) return;
        shownTenths_ = tenths;
        char line[96];
        std::snprintf(line, sizeof line, "\r%lld.%lld s of %lld.%lld s ",
                      static_cast<long long>(tenths / 10), static_cast<long long>(tenths % 10),
                      static_cast<long long>(total / 1000),
                      static_cast<long long>(total % 1000 / 100));
        progressWidth_ = std::string(line).size();
        say(line);
    }

    void clearProgress() {
        if (progressWidth_ == 0) return;
        say("\r" + std::string(progressWidth_, ' ') + "\r");
        progressWidth_ = 0;
        shownTenths_ = -1;
    }

    std::optional<std::string> stdinText_;
    const RenderOptions& options_;
    const ToolStreams& io_;
    std::chrono::steady_clock::time_point started_;
    int64_t shownTenths_ = -1;
    size_t progressWidth_ = 0;
};

int run(const std::vector<std::string>& args, const ToolStreams& io) {
    std::string error;
    auto options = parseRenderOptions(args, error);
    if (!options) {
        std::fprintf(io.err, "marrowtone-render: %s (try 'marrowtone-render --help')\n",
                     error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(usage, io.out);
        return writeAll(io.out, "", 0) ? 0 : 1;
    }
    if (options->version) {
        std::fprintf(io.out, "marrowtone-render %s\n", MARROWTONE_VERSION);
        return writeAll(io.out, "", 0) ? 0 : 1;
    }
    if (options->output == "-" && io.outTerminal) {
        std::fprintf(io.err,
                     "marrowtone-render: raw samples are not written to a terminal; redirect "
                     "standard output, or name an OUTPUT file (try 'marrowtone-render --help')\n");
        return 2;
    }
    Tool tool(*options, io);
    if (!tool.readStandardInput()) return tool.fail("cannot read standard input");
    if (options->dump) return tool.dump();
    if (options->check || options->info) return tool.report();
    if (options->play) return tool.play();
    if (options->inputs.size() > 1) return tool.renderEach();
    return tool.render(options->input, options->output);
}

} // namespace

int runRenderTool(const std::vector<std::string>& args, const ToolStreams& streams) {
    try {
        return run(args, streams);
    } catch (const std::bad_alloc&) {
        return Tool(RenderOptions{}, streams).fail("out of memory");
    } catch (const std::exception& e) {
        return Tool(RenderOptions{}, streams).fail(e.what());
    }
}
