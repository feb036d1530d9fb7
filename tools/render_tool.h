// marrowtone-render without its process: the program's entry hands it the arguments and
// its streams, and the suites run it in place on the headless drivers.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct ToolStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // Whether `err` is a terminal: only there does --play show its progress line.
    bool terminal = false;
    // Set from outside (Ctrl+C) to end --play at once.
    const std::atomic<bool>* interrupted = nullptr;
    // Called once before --play opens the sound device: the entry installs the sound
    // driver and the Ctrl+C handler there, which no other use of the tool needs.
    std::function<void()> beforePlaying;
};

// Exit statuses.
constexpr int kExitWarnings = 3;      // --check found something to tell
constexpr int kExitInterrupted = 130; // --play was stopped by Ctrl+C

// Runs the tool on `args` (without the program's name); returns its exit status.
int runRenderTool(const std::vector<std::string>& args, const ToolStreams& streams);
