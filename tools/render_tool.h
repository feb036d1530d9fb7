// marrowtone-render without its process: the program's entry hands it the arguments and
// its streams, and the suites run it in place on the headless drivers.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What --play plays on. The tool stands on the engine alone; its entry hands it the wave
// output (tools/playback.h).
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Opens the default device for 8-bit mono at `rate`; empty on success, else why not.
    virtual std::string open(int32_t rate) = 0;
    // Stops what plays and plays `pcm` from its start.
    virtual void start(std::vector<uint8_t> pcm) = 0;
    // Whether the device is still playing the last start.
    virtual bool playing() const = 0;
    // Samples of the last start heard so far: where a reload goes on playing, and what the
    // progress line shows.
    virtual int64_t position() const = 0;
    // Whether the last start ended before it was all heard: the device went away (the sound
    // server ended). The next start opens the device afresh.
    virtual bool lost() const = 0;
    // Silence at once.
    virtual void stop() = 0;
};

struct ToolStreams {
    std::FILE* in = stdin; // the score, when INPUT is '-'
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // Whether `err` is a terminal: only there does --play show its progress line.
    bool terminal = false;
    // The terminal's width in columns, which the progress line keeps within; 0 when unknown.
    int columns = 0;
    // Whether `out` is a terminal: raw samples are not written there.
    bool outTerminal = false;
    // Set from outside (Ctrl+C) to end --play at once.
    const std::atomic<bool>* interrupted = nullptr;
    // Called once when --play begins: the entry readies the sound and the Ctrl+C handler
    // there, which no other use of the tool needs, and gives what plays. Without it --play
    // cannot play.
    std::function<std::unique_ptr<SoundOutput>()> soundOutput;
};

// Exit statuses.
constexpr int kExitWarnings = 3;      // --check found something to tell
constexpr int kExitSoundLost = 4;     // --play lost its sound device while playing
constexpr int kExitInterrupted = 130; // --play was stopped by Ctrl+C

// Runs the tool on `args` (without the program's name); returns its exit status.
int runRenderTool(const std::vector<std::string>& args, const ToolStreams& streams);
