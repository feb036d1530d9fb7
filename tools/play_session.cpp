#include "tools/play_session.h"

#include "tools/file_watch.h"
#include "tools/report/score_report.h"
#include "tools/score_input.h"
#include "tools/score_text.h"

#include <algorithm>
#include <chrono>
#include <thread>

int PlaySession::run() {
    std::unique_ptr<SoundOutput> output = ctx_.io.soundOutput ? ctx_.io.soundOutput() : nullptr;
    if (!output) return ctx_.fail("cannot play: this build has no sound output");
    SoundOutput& player = *output;
    if (const std::string problem = player.open(options_.rate); !problem.empty())
        return ctx_.fail(problem);
    std::optional<FileWatch> watch;
    if (options_.watch) {
        watch.emplace(options_.input);
        if (!watch->problem().empty()) return ctx_.fail(watch->problem());
    }
    loaded_ = start(player, options_.from);
    if (!loaded_ && !watch) return 1;
    for (;;) {
        if (ctx_.io.interrupted && ctx_.io.interrupted->load()) return interrupted(player);
        if (!watch)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        else if (watch->waitForSave(std::chrono::milliseconds(50)))
            reload(player);
        if (player.playing()) {
            showProgress(player);
            continue;
        }
        if (const auto status = ended(player, watch.has_value())) return *status;
    }
}

int PlaySession::interrupted(SoundOutput& player) {
    player.stop();
    // The terminal has echoed the Ctrl+C as two characters after the line.
    if (ctx_.io.terminal) progressWidth_ += 2;
    clearProgress();
    ctx_.say("Stopped.\n");
    return kExitInterrupted;
}

void PlaySession::reload(SoundOutput& player) {
    clearProgress();
    // One that has ended starts over.
    const int64_t from = player.playing() ? reached(player) : options_.from;
    bool started = false;
    try {
        started = start(player, from);
    } catch (const UsageError& e) {
        ctx_.fail(e.what());
    }
    if (started) {
        loaded_ = true;
        toldEnd_ = false;
    } else if (loaded_) {
        ctx_.say("The last version that loaded plays on.\n");
    }
}

std::optional<int> PlaySession::ended(const SoundOutput& player, bool watching) {
    const bool lost = player.lost();
    if (!watching) {
        clearProgress();
        if (!lost) return 0;
        ctx_.fail("the sound was lost: the sound device went away while playing");
        return kExitSoundLost;
    }
    if (loaded_ && !toldEnd_) {
        clearProgress();
        ctx_.say(lost ? "The sound was lost: the sound device went away. The next save plays "
                        "it again.\n"
                      : "Played to the end; waiting for the next save.\n");
        toldEnd_ = true;
    }
    return std::nullopt;
}

bool PlaySession::start(SoundOutput& player, int64_t from) {
    // On a terminal the progress line shows where each channel is in the text: read once,
    // so that the map and the sound come from the same save.
    std::optional<std::string> fileBytes;
    const std::string* text = nullptr;
    Sound sound;
    std::vector<uint8_t> pcm(static_cast<size_t>(options_.samples));
    ScoreReport report;
    std::optional<ScoreMap> map;
    std::vector<std::string> silenced;
    try {
        text = ctx_.textOf(options_.input);
        if (ctx_.io.terminal && !text && (fileBytes = scoreFileText(options_.input)))
            text = &*fileBytes;
        report = examineScore(sound, options_.input, pcm, options_.rate, text);
        silenced = ctx_.silencedIn(sound, options_.input);
        if (!silenced.empty()) {
            sound.resetPositions();
            renderWithout(sound, pcm, options_.rate, silenced);
        }
        if (ctx_.io.terminal && text)
            map = ScoreMap::read(options_.input, *text, options_.samples, options_.rate);
    } catch (const SoundError& e) {
        ctx_.fail(e.what());
        return false;
    }
    ctx_.say(warningLines(options_.input, report));
    player.start(std::vector<uint8_t>(pcm.begin() + from, pcm.begin() + options_.to));
    startSample_ = from;
    map_ = std::move(map);
    showChannelsBut(silenced);
    announce(from);
    return true;
}

void PlaySession::showChannelsBut(const std::vector<std::string>& silenced) {
    shownChannels_.clear();
    if (!map_) return;
    for (size_t c = 0; c < map_->channels().size(); ++c)
        if (std::find(silenced.begin(), silenced.end(), map_->channels()[c].name) == silenced.end())
            shownChannels_.push_back(c);
}

void PlaySession::announce(int64_t from) const {
    // For someone watching; a script or an editor that runs the tool hears it.
    if (!ctx_.io.terminal) return;
    const int32_t rate = options_.rate;
    ctx_.say("Playing " + options_.input + ", " + secondsText(options_.samples, rate) +
             (from > 0 ? ", from " + secondsText(from, rate) : "") +
             (options_.to < options_.samples ? ", to " + secondsText(options_.to, rate) : "") +
             (options_.watch ? "; every save plays on from where it is, Ctrl+C ends.\n" : ".\n"));
}

int64_t PlaySession::reached(const SoundOutput& player) const {
    return std::min(startSample_ + player.position(), options_.to);
}

void PlaySession::showProgress(const SoundOutput& player) {
    if (!ctx_.io.terminal) return;
    const int64_t sample = reached(player);
    const int64_t tenths = sample * 10 / options_.rate;
    const int64_t total = options_.samples * 1000 / options_.rate;
    char time[96];
    std::snprintf(time, sizeof time, "%lld.%lld s of %lld.%lld s",
                  static_cast<long long>(tenths / 10), static_cast<long long>(tenths % 10),
                  static_cast<long long>(total / 1000), static_cast<long long>(total % 1000 / 100));
    // The cursor stays after a blank, within the last column.
    const size_t width = static_cast<size_t>(ctx_.io.columns > 0 ? ctx_.io.columns : 80);
    const size_t room = std::max<size_t>(width, 8) - 2;
    std::string line = time;
    for (size_t c : shownChannels_) {
        if (line.size() > room) break;
        const HeardNote* note = map_->at(c, sample);
        line += "  " + score_text::shown(map_->channels()[c].name) + " " +
                (note ? std::to_string(note->line) + ":" + std::to_string(note->column) : "-");
    }
    if (line.size() > room) line = line.substr(0, room - 3) + "...";
    line += ' ';
    if (line == shownLine_) return;
    shownLine_ = line;
    // Blanks over what a longer line before left.
    const size_t blanks = progressWidth_ > line.size() ? progressWidth_ - line.size() : 0;
    ctx_.say("\r" + line + std::string(blanks, ' '));
    progressWidth_ = std::max(progressWidth_, line.size());
}

void PlaySession::clearProgress() {
    if (progressWidth_ == 0) return;
    ctx_.say("\r" + std::string(progressWidth_, ' ') + "\r");
    progressWidth_ = 0;
    shownLine_.clear();
}
