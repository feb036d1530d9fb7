// Where the tool takes a score from: a regular file, or standard input for '-', and never
// more of either than a score can sensibly be.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// The most bytes a score is read to. The engine's command limit bounds what can play long
// before this; no score written by hand comes near it, and a pipe or device that never ends
// stops here rather than at the end of the machine's memory.
constexpr int64_t kScoreByteLimit = int64_t{256} << 20;
inline constexpr const char* kScoreByteLimitText = "256 MiB";

// Throws SoundError, naming the file, when `file` is not a regular file that can be read
// whole: a pipe, a device, a socket or a folder, or a file larger than kScoreByteLimit. A
// file that cannot be opened at all is left to the loader, which says so in its own words.
void checkScoreFile(const std::string& file);

// The file's bytes when it is a regular file within the limit; nothing otherwise.
std::optional<std::string> scoreFileText(const std::string& file);

// Standard input read to its end, at most kScoreByteLimit bytes. Throws SoundError when it
// holds more or cannot be read.
std::string readScoreStream(std::FILE* in);
