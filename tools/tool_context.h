// What every use of marrowtone-render shares: its options and streams, the score read
// from standard input, its error messages, and which channels --solo and --mute leave out.
#pragma once

#include "sound/sound.h"
#include "tools/render_options.h"
#include "tools/render_tool.h"

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

bool writeAll(std::FILE* out, const void* data, size_t size);
bool writeText(std::FILE* out, const std::string& text);

// Tells a wrong command line on `err`; returns its exit status.
int usageError(std::FILE* err, const std::string& error);

// A command line that names channels the score does not have: known only once the score
// has loaded, and told as the command line's other mistakes are.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ToolContext {
public:
    ToolContext(const RenderOptions& options, const ToolStreams& streams)
        : options(options), io(streams) {}

    // Tells an error; returns its exit status.
    int fail(const std::string& text) const;
    // A word for whoever watches the terminal.
    void say(const std::string& text) const;

    // Reads the score from standard input when INPUT is '-', once: a report and a
    // rendering of it load the same text.
    void readStandardInput();

    // The text read from standard input for '-'; for a file nothing, once it is known to be
    // a regular file within the limit: a pipe or a device is never read as a score.
    const std::string* textOf(const std::string& input) const;

    // The channels --solo and --mute leave out of the mix; throws UsageError for a name the
    // score lacks.
    std::vector<std::string> silencedIn(const Sound& sound, const std::string& input) const;

    const RenderOptions& options;
    const ToolStreams& io;

private:
    std::optional<std::string> stdinText_;
};
