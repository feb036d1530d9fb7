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

std::string defaultOutputName(const std::string& input) {
    std::filesystem::path path = pathFromUtf8(input);
    path.replace_extension(".wav");
    return utf8FromPath(path);
}

namespace {

// A command line as it is read: the options so far, the other arguments, and --seconds as
// written (its samples depend on --rate, which may come after it).
struct Reading {
    RenderOptions options;
    std::vector<std::string> positional;
    std::optional<std::string> seconds;
};

// Takes an option's value; returns why not, or nothing.
using TakeValue = std::string (*)(Reading&, const std::string& name, const std::string& value);

std::string takeNames(std::vector<std::string>& names, const std::string& name,
                      const std::string& value) {
    size_t begin = 0;
    for (;;) {
        const size_t comma = std::min(value.find(',', begin), value.size());
        if (comma == begin)
            return name + " needs channel names separated by commas, not '" + value + "'";
        names.push_back(value.substr(begin, comma - begin));
        if (comma == value.size()) return {};
        begin = comma + 1;
    }
}

// Every option: a flag sets its field; any other takes a value, as "--name=value" or as the
// next argument.
struct Option {
    const char* name;
    bool RenderOptions::*flag;
    TakeValue take;
};

const Option kOptions[] = {
    {"--help", &RenderOptions::help, nullptr},
    {"--version", &RenderOptions::version, nullptr},
    {"--dump", &RenderOptions::dump, nullptr},
    {"--check", &RenderOptions::check, nullptr},
    {"--info", &RenderOptions::info, nullptr},
    {"--play", &RenderOptions::play, nullptr},
    {"--watch", &RenderOptions::watch, nullptr},
    {"--seconds", nullptr,
     [](Reading& r, const std::string&, const std::string& value) {
         r.seconds = value;
         return std::string();
     }},
    {"--rate", nullptr,
     [](Reading& r, const std::string&, const std::string& value) {
         const auto rate = parseRate(value);
         if (!rate)
             return "--rate needs a whole number of samples per second from 1 to 2147483647, "
                    "not '" +
                    value + "'";
         r.options.rate = static_cast<int32_t>(*rate);
         return std::string();
     }},
    {"--from", nullptr,
     [](Reading& r, const std::string&, const std::string& value) {
         r.options.fromText = value;
         return std::string();
     }},
    {"--to", nullptr,
     [](Reading& r, const std::string&, const std::string& value) {
         r.options.toText = value;
         return std::string();
     }},
    {"--solo", nullptr,
     [](Reading& r, const std::string& name, const std::string& value) {
         return takeNames(r.options.solo, name, value);
     }},
    {"--mute", nullptr,
     [](Reading& r, const std::string& name, const std::string& value) {
         return takeNames(r.options.mute, name, value);
     }},
};

// Sorts the arguments into options and the rest; returns why it cannot, or nothing.
std::string readArguments(const std::vector<std::string>& args, Reading& reading) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.rfind("--", 0) != 0) {
            if (!optionsEnded && arg.size() > 1 && arg[0] == '-')
                return "unknown option '" + arg + "'";
            reading.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                         [&](const Option& o) { return name == o.name; });
        if (option == std::end(kOptions)) return "unknown option '" + name + "'";
        if (option->flag) {
            if (eq != std::string::npos) return "option '" + name + "' takes no value";
            reading.options.*option->flag = true;
            continue;
        }
        if (eq == std::string::npos && i + 1 == args.size())
            return "option '" + name + "' needs a value";
        const std::string value = eq == std::string::npos ? args[++i] : arg.substr(eq + 1);
        if (std::string error = option->take(reading, name, value); !error.empty()) return error;
    }
    return {};
}

// The options that do not go together.
std::string checkCombination(const RenderOptions& options) {
    const bool reports = options.dump || options.check || options.info;
    if (options.watch && !options.play) return "--watch works with --play";
    if (options.play && reports) return "--play does not go with --dump, --check or --info";
    if (reports && !options.fromText.empty())
        return "--from works with rendering and --play, not with --dump, --check or --info";
    if (reports && !options.toText.empty())
        return "--to works with rendering and --play, not with --dump, --check or --info";
    if (reports && (!options.solo.empty() || !options.mute.empty()))
        return "--solo and --mute work with rendering and --play, not with --dump, --check or "
               "--info";
    if (options.dump && (options.check || options.info))
        return "--dump does not go with --check or --info";
    return {};
}

// Which arguments are scores and which the OUTPUT.
std::string sortInputs(RenderOptions& options, const std::vector<std::string>& positional) {
    options.input = positional[0];
    const bool fromStandardInput = options.input == "-";
    if (fromStandardInput && options.watch)
        return "--watch needs a file to watch, not standard input";
    const bool reports = options.check || options.info;
    if (reports && positional.size() > 1 &&
        std::find(positional.begin(), positional.end(), "-") != positional.end())
        return "'-' (standard input) can only be the first and only INPUT";
    if (reports) {
        // Reports only: every argument is a score.
        options.inputs = positional;
        return {};
    }
    if (options.play) {
        if (positional.size() > 1) return "--play takes one INPUT and no OUTPUT";
        options.inputs = positional;
        return {};
    }
    if (!options.dump && positional.size() > 1 &&
        std::all_of(positional.begin(), positional.end(), namesAScore)) {
        // Several scores, each to its own WAV beside it; a second score is never taken for
        // an OUTPUT, which would overwrite it.
        options.inputs = positional;
        return {};
    }
    if (positional.size() > 2) return "too many arguments";
    if (options.dump && positional.size() == 2)
        return "--dump prints to standard output and takes no OUTPUT";
    options.inputs = {options.input};
    if (fromStandardInput && positional.size() == 1 && !options.dump)
        return "a score read from standard input needs an OUTPUT (a file, or '-' for raw "
               "samples)";
    options.output = positional.size() == 2 ? positional[1] : defaultOutputName(options.input);
    if (options.output.empty()) return "the output file name is empty";
    return {};
}

std::string timeError(const char* option, const std::string& text) {
    return std::string(option) +
           " needs a time as seconds (12.5) or minutes and seconds (1:02.5), not '" + text + "'";
}

// The rendering's length, and the stretch of it written or played, in samples.
std::string setLengths(RenderOptions& options, const std::optional<std::string>& seconds) {
    const std::string secondsText = seconds.value_or("60");
    const auto samples = samplesFor(secondsText, options.rate);
    if (!samples)
        return "--seconds needs a non-negative decimal number giving at most " +
               std::to_string(maxRenderSamples) + " samples, not '" + secondsText + "'";
    options.samples = *samples;
    if (!options.fromText.empty()) {
        const auto from = samplesForTime(options.fromText, options.rate);
        if (!from) return timeError("--from", options.fromText);
        if (*from >= options.samples)
            return "--from " + options.fromText + " is not before the end of the rendering (" +
                   secondsText + " s)";
        options.from = *from;
    }
    options.to = options.samples;
    if (options.toText.empty()) return {};
    // A time too far for any buffer at this rate is still a time past the end.
    auto to = samplesForTime(options.toText, options.rate);
    if (!to && samplesForTime(options.toText, 1)) to = options.samples;
    if (!to) return timeError("--to", options.toText);
    if (*to <= options.from)
        return "--to " + options.toText + " is not later than --from " +
               (options.fromText.empty() ? "0" : options.fromText);
    options.to = std::min(*to, options.samples);
    return {};
}

} // namespace

std::optional<RenderOptions> parseRenderOptions(const std::vector<std::string>& args,
                                                std::string& error) {
    Reading reading;
    error = readArguments(args, reading);
    RenderOptions& options = reading.options;
    if (error.empty() && (options.help || options.version)) return options;
    if (error.empty() && reading.positional.empty()) error = "no input file given";
    if (error.empty()) error = checkCombination(options);
    if (error.empty()) error = sortInputs(options, reading.positional);
    if (error.empty()) error = setLengths(options, reading.seconds);
    if (!error.empty()) return std::nullopt;
    return options;
}
