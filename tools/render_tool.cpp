// marrowtone-render: the player's loading and rendering, to a WAV file or to
// standard output, for people who want a file rather than a window; and for people
// who write scores, what their text does (--check, --info) and how it sounds the
// moment they save it (--play --watch).
#include "tools/render_tool.h"

#include "tools/output_file.h"
#include "tools/play_session.h"
#include "tools/tool_context.h"
#include "tools/tool_outputs.h"

#include <exception>
#include <new>
#include <optional>

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
    ToolContext ctx(*options, io);
    ctx.readStandardInput();
    if (options->dump) return dumpScore(ctx);
    if (options->check || options->info) return reportScores(ctx);
    try {
        if (options->play) return PlaySession(ctx).run();
        if (options->inputs.size() > 1) return renderEach(ctx);
        return renderScore(ctx, options->input, options->output);
    } catch (const UsageError& e) {
        return usageError(io.err, e.what());
    }
}

} // namespace

int runRenderTool(const std::vector<std::string>& args, const ToolStreams& streams) {
    try {
        return run(args, streams);
    } catch (const std::bad_alloc&) {
        return ToolContext(RenderOptions{}, streams).fail("out of memory");
    } catch (const std::exception& e) {
        return ToolContext(RenderOptions{}, streams).fail(e.what());
    }
}
