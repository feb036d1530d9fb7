// --play and --watch: the score heard on the sound device, played on from where it was at
// every save, with the time and each channel's place in the text on a terminal.
#pragma once

#include "tools/score_map.h"
#include "tools/tool_context.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class FileWatch;

class PlaySession {
public:
    explicit PlaySession(const ToolContext& ctx) : ctx_(ctx), options_(ctx.options) {}

    // Plays until the end (without --watch), Ctrl+C or a lost device; returns the exit
    // status.
    int run();

private:
    // Loads, checks and renders the score, and plays it from sample `from`. On an error the
    // device goes on with what it played.
    bool start(SoundOutput& player, int64_t from);
    // The channels the progress line shows: those mixed.
    void showChannelsBut(const std::vector<std::string>& silenced);
    // "Playing ..." on a terminal.
    void announce(int64_t from) const;
    // A save under --watch: the new version goes on from where the old one is.
    void reload(SoundOutput& player);
    // Ends on Ctrl+C, with its status.
    int interrupted(SoundOutput& player);
    // Once the device has stopped: the status to end with, or nothing to go on watching.
    std::optional<int> ended(const SoundOutput& player, bool watching);
    // The sample of the whole rendering being heard.
    int64_t reached(const SoundOutput& player) const;
    // "12.3 s of 60.0 s  A 3:14  B 7:2": the time, and the place in the text of what each
    // channel plays ('-' for silence), cut with "..." at the terminal's edge.
    void showProgress(const SoundOutput& player);
    void clearProgress();

    const ToolContext& ctx_;
    const RenderOptions& options_;
    bool loaded_ = false;               // some version has loaded and played
    bool toldEnd_ = false;              // the end of what plays has been told
    int64_t startSample_ = 0;           // where what the device plays begins
    std::optional<ScoreMap> map_;       // on a terminal: where each channel is in the text
    std::vector<size_t> shownChannels_; // the channels mixed, by their index in the map
    std::string shownLine_;
    size_t progressWidth_ = 0;
};
