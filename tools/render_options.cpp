#include "tools/render_options.h"
#include "sound/utf8_path.h"

#include <algorithm>
#include <filesystem>

namespace {

std::optional<int64_t> parseRate(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > 2147483647) return std::nullopt;
    return v;
}

bool namesAScore(const std::string& name) {
    if (name.size() < 4) return false;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension == ".mml";
}

} // namespace

std::optional<int64_t> samplesFor(const std::string& seconds, int32_t rate) {
    // Exact decimal arithmetic: 0.29 s at 100 Hz is 29 samples, where doubles
    // would give 28.
    const size_t point = seconds.find('.');
    const std::string whole = seconds.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : seconds.substr(point + 1);
    if (whole.empty() && fraction.empty()) return std::nullopt;
    int64_t samples = 0;
    for (char c : whole) {
        if (c < '0' || c > '9') return std::nullopt;
        samples = samples * 10 + (c - '0');
        if (samples > maxRenderSamples) return std::nullopt;
    }
    samples *= rate;
    // floor(0.fraction * rate): the carry out of a right-to-left multiplication.
    uint64_t carry = 0;
    for (auto c = fraction.rbegin(); c != fraction.rend(); ++c) {
        if (*c < '0' || *c > '9') return std::nullopt;
        carry = (static_cast<uint64_t>(*c - '0') * static_cast<uint64_t>(rate) + carry) / 10;
    }
    samples += static_cast<int64_t>(carry);
    if (samples > maxRenderSamples) return std::nullopt;
    return samples;
}

std::optional<int64_t> samplesForTime(const std::string& time, int32_t rate) {
    const size_t colon = time.find(':');
    if (colon == std::string::npos) return samplesFor(time, rate);
    const std::string minutes = time.substr(0, colon), seconds = time.substr(colon + 1);
    // m:ss.s: the seconds below 60, in one or two digits before any point.
    const size_t whole =
        seconds.find('.') == std::string::npos ? seconds.size() : seconds.find('.');
    const auto digits = [](const std::string& text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (minutes.empty() || minutes.size() > 9 || whole == 0 || whole > 2 || !digits(minutes) ||
        !digits(seconds.substr(0, whole)) || (whole == 2 && seconds[0] >= '6'))
        return std::nullopt;
    const auto inMinute = samplesFor(seconds, rate);
    if (!inMinute) return std::nullopt;
    const int64_t minuteSeconds = std::stoll(minutes) * 60;
    if (minuteSeconds > maxRenderSamples) return std::nullopt; // and the product below fits
    const int64_t total = minuteSeconds * rate + *inMinute;
    if (total > maxRenderSamples) return std::nullopt;
    return total;
}

std::string defaultOutputName(const std::string& input) {
    std::filesystem::path path = pathFromUtf8(input);
    path.replace_extension(".wav");
    return utf8FromPath(path);
}

std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args,
                                                std::string& error) {
    RenderOptions options;
    std::vector<std::string> positional;
    std::optional<std::string> seconds;
    bool optionsEnded = false;

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg == "-" || arg.rfind("--", 0) != 0) {
            if (!optionsEnded && arg.size() > 1 && arg[0] == '-' && arg != "-") {
                error = "unknown option '" + arg + "'";
                return std::nullopt;
            }
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg, value;
        bool hasValue = false;
        if (auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        bool* flag = name == "--help"      ? &options.help
                     : name == "--version" ? &options.version
                     : name == "--dump"    ? &options.dump
                     : name == "--check"   ? &options.check
                     : name == "--info"    ? &options.info
                     : name == "--play"    ? &options.play
                     : name == "--watch"   ? &options.watch
                                           : nullptr;
        if (flag) {
            if (hasValue) {
                error = "option '" + name + "' takes no value";
                return std::nullopt;
            }
            *flag = true;
            continue;
        }
        if (name != "--seconds" && name != "--rate" && name != "--from" && name != "--to" &&
            name != "--solo" && name != "--mute") {
            error = "unknown option '" + name + "'";
            return std::nullopt;
        }
        if (!hasValue) {
            if (i + 1 == args.size()) {
                error = "option '" + name + "' needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (name == "--seconds") {
            seconds = value;
        } else if (name == "--from") {
            options.fromText = value;
        } else if (name == "--to") {
            options.toText = value;
        } else if (name == "--solo" || name == "--mute") {
            auto& names = name == "--solo" ? options.solo : options.mute;
            size_t begin = 0;
            for (;;) {
                const size_t comma = std::min(value.find(',', begin), value.size());
                if (comma == begin) {
                    error = name + " needs channel names separated by commas, not '" + value + "'";
                    return std::nullopt;
                }
                names.push_back(value.substr(begin, comma - begin));
                if (comma == value.size()) break;
                begin = comma + 1;
            }
        } else {
            auto rate = parseRate(value);
            if (!rate) {
                error = "--rate needs a whole number of samples per second from 1 to 2147483647, "
                        "not '" +
                        value + "'";
                return std::nullopt;
            }
            options.rate = static_cast<int32_t>(*rate);
        }
    }
    if (options.help || options.version) return options;

    if (positional.empty()) {
        error = "no input file given";
        return std::nullopt;
    }
    if (options.watch && !options.play) {
        error = "--watch works with --play";
        return std::nullopt;
    }
    if (options.play && (options.dump || options.check || options.info)) {
        error = "--play does not go with --dump, --check or --info";
        return std::nullopt;
    }
    const bool reports = options.dump || options.check || options.info;
    if (reports && !options.fromText.empty()) {
        error = "--from works with rendering and --play, not with --dump, --check or --info";
        return std::nullopt;
    }
    if (reports && !options.toText.empty()) {
        error = "--to works with rendering and --play, not with --dump, --check or --info";
        return std::nullopt;
    }
    if (reports && (!options.solo.empty() || !options.mute.empty())) {
        error = "--solo and --mute work with rendering and --play, not with --dump, --check or "
                "--info";
        return std::nullopt;
    }
    if (options.dump && (options.check || options.info)) {
        error = "--dump does not go with --check or --info";
        return std::nullopt;
    }
    options.input = positional[0];
    const bool fromStandardInput = options.input == "-";
    if (fromStandardInput && options.watch) {
        error = "--watch needs a file to watch, not standard input";
        return std::nullopt;
    }
    if ((options.check || options.info) && positional.size() > 1 &&
        std::find(positional.begin(), positional.end(), "-") != positional.end()) {
        error = "'-' (standard input) can only be the first and only INPUT";
        return std::nullopt;
    }
    if (options.check || options.info) {
        // Reports only: every argument is a score.
        options.inputs = positional;
    } else if (options.play) {
        if (positional.size() > 1) {
            error = "--play takes one INPUT and no OUTPUT";
            return std::nullopt;
        }
        options.inputs = positional;
    } else if (!options.dump && positional.size() > 1 &&
               std::all_of(positional.begin(), positional.end(), namesAScore)) {
        // Several scores, each to its own WAV beside it; a second score is never taken for
        // an OUTPUT, which would overwrite it.
        options.inputs = positional;
    } else {
        if (positional.size() > 2) {
            error = "too many arguments";
            return std::nullopt;
        }
        if (options.dump && positional.size() == 2) {
            error = "--dump prints to standard output and takes no OUTPUT";
            return std::nullopt;
        }
        options.inputs = {options.input};
        if (fromStandardInput && positional.size() == 1 && !options.dump) {
            error = "a score read from standard input needs an OUTPUT (a file, or '-' for raw "
                    "samples)";
            return std::nullopt;
        }
        options.output = positional.size() == 2 ? positional[1] : defaultOutputName(options.input);
        if (options.output.empty()) {
            error = "the output file name is empty";
            return std::nullopt;
        }
    }

    const std::string secondsText = seconds.value_or("60");
    auto samples = samplesFor(secondsText, options.rate);
    if (!samples) {
        error = "--seconds needs a non-negative decimal number giving at most " +
                std::to_string(maxRenderSamples) + " samples, not '" + secondsText + "'";
        return std::nullopt;
    }
    options.samples = *samples;
    if (!options.fromText.empty()) {
        const auto from = samplesForTime(options.fromText, options.rate);
        if (!from) {
            error = "--from needs a time as seconds (12.5) or minutes and seconds (1:02.5), not '" +
                    options.fromText + "'";
            return std::nullopt;
        }
        if (*from >= options.samples) {
            error = "--from " + options.fromText + " is not before the end of the rendering (" +
                    secondsText + " s)";
            return std::nullopt;
        }
        options.from = *from;
    }
    options.to = options.samples;
    if (!options.toText.empty()) {
        // A time too far for any buffer at this rate is still a time past the end.
        auto to = samplesForTime(options.toText, options.rate);
        if (!to && samplesForTime(options.toText, 1)) to = options.samples;
        if (!to) {
            error = "--to needs a time as seconds (12.5) or minutes and seconds (1:02.5), not '" +
                    options.toText + "'";
            return std::nullopt;
        }
        if (*to <= options.from) {
            error = "--to " + options.toText + " is not later than --from " +
                    (options.fromText.empty() ? "0" : options.fromText);
            return std::nullopt;
        }
        options.to = std::min(*to, options.samples);
    }
    return options;
}
