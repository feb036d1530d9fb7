// marrowtone-render: the player's loading and rendering, to a WAV file or to
// standard output, for people who want a file rather than a window; and for people
// who write scores, what their text does (--check, --info) and how it sounds the
// moment they save it (--play --watch).
#include "tools/render_tool.h"

#include "sound/sound.h"
#include "tools/file_watch.h"
#include "tools/output_file.h"
#include "tools/render_options.h"
#include "tools/score_input.h"
#include "tools/score_map.h"
#include "tools/score_report.h"
#include "tools/score_text.h"
#include "tools/wav.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
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
    "in .mml) are each written to their own WAV file beside them. An OUTPUT that is a\n"
    "link updates the file it leads to; a pipe or a device gets the bytes as they are.\n"
    "A score is read from a regular file, or from standard input as '-', up to 256 MiB.\n"
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
    "  --from TIME   write or play the rendering from TIME on (seconds like 12.5, or\n"
    "                minutes and seconds like 1:02.5); the output is that much shorter\n"
    "  --to TIME     write or play the rendering up to TIME (as --from; a TIME past the\n"
    "                end means the end), so --from A --to B is that stretch of it\n"
    "  --solo CH,... mix only these channels (names as the score spells them)\n"
    "  --mute CH,... leave these channels out; with --solo, out of those soloed\n"
    "  --play        play the rendering on the default sound device instead of writing it;\n"
    "                on a terminal it shows the time and each channel's LINE:COLUMN heard\n"
    "  --watch       with --play: whenever the score is saved, check it and play it on\n"
    "                from where the last version had reached\n"
    "  --dump        print the loaded score instead of rendering it\n"
    "  --version     print the version and exit\n"
    "  --help        print this help and exit\n"
    "\n"
    "Exit status: 0 success (for --check: no warnings), 1 a score or output that cannot\n"
    "be read or written, 2 a wrong command line (a channel the score lacks included, or\n"
    "an OUTPUT that is one of the INPUTs),\n"
    "3 --check found warnings, 4 --play lost its sound device (the sound server went\n"
    "away), 130 --play stopped by Ctrl+C.\n";

bool writeAll(std::FILE* out, const void* data, size_t size) {
    return std::fwrite(data, 1, size, out) == size && std::fflush(out) == 0;
}

bool writeText(std::FILE* out, const std::string& text) {
    return writeAll(out, text.data(), text.size());
}

int usageError(std::FILE* err, const std::string& error) {
    std::fprintf(err, "marrowtone-render: %s (try 'marrowtone-render --help')\n", error.c_str());
    std::fflush(err);
    return 2;
}

// A command line that names channels the score does not have: known only once the score
// has loaded, and told as the command line's other mistakes are.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The score's channels for a message: in the order it declares them, a few at most.
std::string channelList(const Sound& sound) {
    constexpr size_t kMostNames = 20;
    std::vector<const std::string*> names(sound.channelIndex.size());
    for (const auto& [name, index] : sound.channelIndex)
        names[static_cast<size_t>(index)] = &name;
    std::string list;
    for (size_t i = 0; i < names.size() && i < kMostNames; ++i)
        list += (i ? ", " : "") + score_text::shown(*names[i]);
    if (names.size() > kMostNames)
        list += ", ... (" + std::to_string(names.size()) + " channels in all)";
    return list.empty() ? "none" : list;
}

// An OUTPUT that is one of the INPUTs (by what the names stand for, not how they are
// spelt): the rendering would destroy the score.
std::optional<std::string> outputOverInput(const RenderOptions& options) {
    for (const std::string& input : options.inputs) {
        const std::string output =
            options.inputs.size() > 1 ? defaultOutputName(input) : options.output;
        if (output == "-") continue;
        for (const std::string& other : options.inputs)
            if (other != "-" && sameFile(output, other))
                return "OUTPUT '" + output + "' is the same file as INPUT '" + other +
                       "': writing it would destroy the score; name another OUTPUT";
    }
    return std::nullopt;
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
    void readStandardInput() {
        if (options_.input != "-") return;
#ifdef _WIN32
        _setmode(_fileno(io_.in), _O_BINARY);
#endif
        stdinText_ = readScoreStream(io_.in);
    }

    // The text read from standard input for '-'; for a file nothing, once it is known to be
    // a regular file within the limit: a pipe or a device is never read as a score.
    const std::string* textOf(const std::string& input) const {
        if (input == "-" && stdinText_) return &*stdinText_;
        checkScoreFile(input);
        return nullptr;
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

    // The channels --solo and --mute leave out of the mix.
    std::vector<std::string> silencedIn(const Sound& sound, const std::string& input) const {
        for (const auto* option : {&options_.solo, &options_.mute})
            for (const std::string& name : *option)
                if (!sound.channelIndex.contains(name))
                    throw UsageError((option == &options_.solo ? "--solo" : "--mute") +
                                     std::string(" names '") + score_text::shown(name) +
                                     "', which is no channel of " + input +
                                     "; its channels: " + channelList(sound));
        std::vector<std::string> silenced = options_.mute;
        if (!options_.solo.empty())
            for (const auto& [name, index] : sound.channelIndex)
                if (std::find(options_.solo.begin(), options_.solo.end(), name) ==
                    options_.solo.end())
                    silenced.push_back(name);
        return silenced;
    }

    int render(const std::string& input, const std::string& output) const {
        Sound sound;
        loadScore(sound, input, textOf(input));
        std::vector<uint8_t> pcm(static_cast<size_t>(options_.samples));
        renderWithout(sound, pcm, options_.rate, silencedIn(sound, input));
        const auto heard = std::span<const uint8_t>(pcm).subspan(
            static_cast<size_t>(options_.from), static_cast<size_t>(options_.to - options_.from));

        if (output == "-") {
#ifdef _WIN32
            _setmode(_fileno(io_.out), _O_BINARY);
#endif
            if (!writeAll(io_.out, heard.data(), heard.size()))
                return fail("cannot write to standard output");
            return 0;
        }
        const std::vector<uint8_t> header =
            wavHeader(static_cast<uint32_t>(heard.size()), static_cast<uint32_t>(options_.rate));
        const uint8_t pad[1] = {0}; // after a chunk of odd length
        const std::string problem =
            writeOutputFile(output, {header, heard, std::span(pad, heard.size() & 1)});
        if (!problem.empty()) return fail(problem);
        return 0;
    }

    // Every score, each beside itself; one that fails does not stop the others.
    int renderEach() const {
        int status = 0;
        for (const std::string& input : options_.inputs) {
            try {
                if (render(input, defaultOutputName(input)) != 0) status = 1;
            } catch (const UsageError& e) {
                status = usageError(io_.err, e.what());
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
        bool loaded = start(player, options_.from);
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
                    // The new version goes on from where the old one is; one that has ended
                    // starts over.
                    const int64_t from = player.playing() ? reached(player) : options_.from;
                    bool started = false;
                    try {
                        started = start(player, from);
                    } catch (const UsageError& e) {
                        fail(e.what());
                    }
                    if (started) {
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
                showProgress(player);
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

    // Loads, checks and renders the score, and plays it from sample `from`. On an error the
    // device goes on with what it played.
    bool start(SoundOutput& player, int64_t from) {
        // On a terminal the progress line shows where each channel is in the text: read once,
        // so that the map and the sound come from the same save.
        std::optional<std::string> fileBytes;
        const std::string* text = nullptr;
        Sound sound;
        std::vector<uint8_t> pcm(static_cast<size_t>(options_.samples));
        ScoreReport report;
        std::optional<ScoreMap> map;
        std::vector<std::string> silenced;
        try {
            text = textOf(options_.input);
            if (io_.terminal && !text && (fileBytes = scoreFileText(options_.input)))
                text = &*fileBytes;
            report = examineScore(sound, options_.input, pcm, options_.rate, text);
            silenced = silencedIn(sound, options_.input);
            if (!silenced.empty()) {
                sound.resetPositions();
                renderWithout(sound, pcm, options_.rate, silenced);
            }
            if (io_.terminal && text)
                map = ScoreMap::read(options_.input, *text, options_.samples, options_.rate);
        } catch (const SoundError& e) {
            fail(e.what());
            return false;
        }
        say(warningLines(options_.input, report));
        player.start(std::vector<uint8_t>(pcm.begin() + from, pcm.begin() + options_.to));
        startSample_ = from;
        map_ = std::move(map);
        shownChannels_.clear();
        if (map_)
            for (size_t c = 0; c < map_->channels().size(); ++c)
                if (std::find(silenced.begin(), silenced.end(), map_->channels()[c].name) ==
                    silenced.end())
                    shownChannels_.push_back(c);
        // For someone watching; a script or an editor that runs the tool hears it.
        if (io_.terminal)
            say("Playing " + options_.input + ", " + secondsText(options_.samples, options_.rate) +
                (from > 0 ? ", from " + secondsText(from, options_.rate) : "") +
                (options_.to < options_.samples ? ", to " + secondsText(options_.to, options_.rate)
                                                : "") +
                (options_.watch ? "; every save plays on from where it is, Ctrl+C ends.\n"
                                : ".\n"));
        return true;
    }

    // The sample of the whole rendering being heard.
    int64_t reached(const SoundOutput& player) const {
        return std::min(startSample_ + player.position(), options_.to);
    }

    // "12.3 s of 60.0 s  A 3:14  B 7:2": the time, and the place in the text of what each
    // channel plays ('-' for silence), cut with "..." at the terminal's edge.
    void showProgress(const SoundOutput& player) {
        if (!io_.terminal) return;
        const int64_t sample = reached(player);
        const int64_t tenths = sample * 10 / options_.rate;
        const int64_t total = options_.samples * 1000 / options_.rate;
        char time[96];
        std::snprintf(time, sizeof time, "%lld.%lld s of %lld.%lld s",
                      static_cast<long long>(tenths / 10), static_cast<long long>(tenths % 10),
                      static_cast<long long>(total / 1000),
                      static_cast<long long>(total % 1000 / 100));
        // The cursor stays after a blank, within the last column.
        const size_t width = static_cast<size_t>(io_.columns > 0 ? io_.columns : 80);
        const size_t room = std::max<size_t>(width, 8) - 2;
        std::string line = time;
        for (size_t c : shownChannels_) {
            if (line.size() > room) break;
            const HeardNote* note = map_->at(c, sample);
            line += "  " + score_text::shown(map_->channels()[c].name) + " " +
                    (note ? std::to_string(note->line) + ":" + std::to_string(note->column) : "-");
        }
        if (line.size() > room) line = line.substr(0, room - 3) + "...";
        line += ' ';
        if (line == shownLine_) return;
        shownLine_ = line;
        // Blanks over what a longer line before left.
        const size_t blanks = progressWidth_ > line.size() ? progressWidth_ - line.size() : 0;
        say("\r" + line + std::string(blanks, ' '));
        progressWidth_ = std::max(progressWidth_, line.size());
    }

    void clearProgress() {
        if (progressWidth_ == 0) return;
        say("\r" + std::string(progressWidth_, ' ') + "\r");
        progressWidth_ = 0;
        shownLine_.clear();
    }

    std::optional<std::string> stdinText_;
    const RenderOptions& options_;
    const ToolStreams& io_;
    int64_t startSample_ = 0;           // where what the device plays begins
    std::optional<ScoreMap> map_;       // on a terminal: where each channel is in the text
    std::vector<size_t> shownChannels_; // the channels mixed, by their index in the map
    std::string shownLine_;
    size_t progressWidth_ = 0;
};

int run(const std::vector<std::string>& args, const ToolStreams& io) {
    std::string error;
    auto options = parseRenderOptions(args, error);
    if (!options) return usageError(io.err, error);
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
    const bool writes = !options->dump && !options->check && !options->info && !options->play;
    if (writes)
        if (const auto problem = outputOverInput(*options)) return usageError(io.err, *problem);
    Tool tool(*options, io);
    tool.readStandardInput();
    if (options->dump) return tool.dump();
    if (options->check || options->info) return tool.report();
    try {
        if (options->play) return tool.play();
        if (options->inputs.size() > 1) return tool.renderEach();
        return tool.render(options->input, options->output);
    } catch (const UsageError& e) {
        return usageError(io.err, e.what());
    }
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
