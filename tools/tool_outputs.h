// What marrowtone-render writes: the loaded score, WAV files or raw samples, and the
// reports of --check and --info. Each returns the tool's exit status.
#pragma once

#include "tools/tool_context.h"

#include <string>

// --dump: the channels and their commands as loaded.
int dumpScore(const ToolContext& ctx);
// One score's rendering to `output` ("-" for raw samples on standard output).
int renderScore(const ToolContext& ctx, const std::string& input, const std::string& output);
// Every score, each beside itself; one that fails does not stop the others.
int renderEach(const ToolContext& ctx);
// --check and --info, for every score.
int reportScores(const ToolContext& ctx);
