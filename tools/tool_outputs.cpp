#include "tools/tool_outputs.h"

#include "tools/output_file.h"
#include "tools/report/score_report.h"
#include "tools/score_map.h"
#include "tools/score_text.h"
#include "tools/wav.h"

#include <span>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int dumpScore(const ToolContext& ctx) {
    Sound sound;
    loadScore(sound, ctx.options.input, ctx.textOf(ctx.options.input));
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
    if (!writeText(ctx.io.out, text)) return ctx.fail("cannot write to standard output");
    return 0;
}

int renderScore(const ToolContext& ctx, const std::string& input, const std::string& output) {
    Sound sound;
    loadScore(sound, input, ctx.textOf(input));
    std::vector<uint8_t> pcm(static_cast<size_t>(ctx.options.samples));
    renderWithout(sound, pcm, ctx.options.rate, ctx.silencedIn(sound, input));
    const auto heard = std::span<const uint8_t>(pcm).subspan(
        static_cast<size_t>(ctx.options.from),
        static_cast<size_t>(ctx.options.to - ctx.options.from));

    if (output == "-") {
#ifdef _WIN32
        _setmode(_fileno(ctx.io.out), _O_BINARY);
#endif
        if (!writeAll(ctx.io.out, heard.data(), heard.size()))
            return ctx.fail("cannot write to standard output");
        return 0;
    }
    const std::vector<uint8_t> header =
        wavHeader(static_cast<uint32_t>(heard.size()), static_cast<uint32_t>(ctx.options.rate));
    const uint8_t pad[1] = {0}; // after a chunk of odd length
    const std::string problem =
        writeOutputFile(output, {header, heard, std::span(pad, heard.size() & 1)});
    if (!problem.empty()) return ctx.fail(problem);
    return 0;
}

int renderEach(const ToolContext& ctx) {
    int status = 0;
    for (const std::string& input : ctx.options.inputs) {
        try {
            if (renderScore(ctx, input, defaultOutputName(input)) != 0) status = 1;
        } catch (const UsageError& e) {
            status = usageError(ctx.io.err, e.what());
        } catch (const SoundError& e) {
            status = ctx.fail(e.what());
        }
    }
    return status;
}

int reportScores(const ToolContext& ctx) {
    int status = 0;
    bool warned = false;
    for (const std::string& input : ctx.options.inputs) {
        Sound sound;
        std::vector<uint8_t> pcm(static_cast<size_t>(ctx.options.samples));
        ScoreReport report;
        try {
            report = examineScore(sound, input, pcm, ctx.options.rate, ctx.textOf(input));
        } catch (const ScoreError& e) {
            // Among the warnings, in their form, so that an editor takes it to the place.
            if (!ctx.options.check) {
                status = ctx.fail(e.what());
            } else if (!writeText(ctx.io.out, errorLine(input, e))) {
                return ctx.fail("cannot write to standard output");
            } else {
                status = 1;
            }
            continue;
        } catch (const SoundError& e) {
            status = ctx.fail(e.what());
            continue;
        }
        std::string text;
        if (ctx.options.check) text += warningLines(input, report);
        if (ctx.options.info) text += infoText(input, report);
        if (!writeText(ctx.io.out, text)) return ctx.fail("cannot write to standard output");
        warned = warned || !report.warnings.empty();
    }
    if (status != 0) return status;
    return ctx.options.check && warned ? kExitWarnings : 0;
}
