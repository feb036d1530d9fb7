// Writing what the tool renders without destroying anything on the way.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The bytes of a file, in pieces written one after the other (a header, the samples, a pad
// byte), so that a long rendering is never copied to be written.
using OutputPieces = std::vector<std::span<const uint8_t>>;

// Writes the pieces as the file `path`, with respect for what is there:
// - a regular file, or nothing yet: the bytes go to a temporary file beside it, which takes
//   the old file's mode, is synced, and is renamed over it, so that `path` holds either the
//   old content or the whole new one; a file we may not write is refused, as cp refuses it;
// - a symbolic link: the same beside the file it leads to, which is updated, the link kept;
// - anything else (a pipe, a terminal, a device): the bytes are written into it as it is,
//   nothing renamed over it.
// Returns an empty string on success, else what failed, naming `path`.
std::string writeOutputFile(const std::string& path, const OutputPieces& pieces);

// Whether the two names stand for one file (its device and inode; on Windows its volume
// and file index). False when either does not exist.
bool sameFile(const std::string& a, const std::string& b);

// Readies the process for writing files, once, from its entry: an interruption (Ctrl+C,
// SIGTERM, SIGHUP; Ctrl+C or a closed console on Windows) removes the temporary file being
// written before the process ends as it would have, and a file larger than the process may
// write is an ordinary write error rather than a signal that ends it.
void cleanUpOnInterruption();
