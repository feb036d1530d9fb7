// Where each note of a score is heard: for every channel, the samples each note and rest
// of a rendering takes and the place of its text, so that an editor can show what plays
// and play from its cursor; and a rendering with some channels left out.
#pragma once

#include "sound/sound.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// One note or rest as it is heard: the samples [from, to) of the rendering it occupies, and the
// place of its text in the score (line and column counted as --check counts them: 1-based, an
// editor's lines; `length` = bytes of the command's text, e.g. "c8." is 3, so an editor can mark
// it).
struct HeardNote {
    int64_t from = 0;
    int64_t to = 0;
    int64_t line = 0;
    int64_t column = 0;
    int64_t length = 0;
    bool rest = false;
    // The pulse's period in samples while the note sounds (its pitch: half the period is an
    // octave up); 0 for a rest or a note that adds nothing.
    int64_t period = 0;
};

struct ChannelMap {
    std::string name; // as the score spells it
    // In order of `from`; over the whole rendering (repeats and rewinds included).
    std::vector<HeardNote> notes;
};

class ScoreMap {
public:
    // At most this many notes and rests over all channels are kept, the earliest in the
    // rendering: a minute of many short notes on many channels would otherwise take gigabytes.
    // Past that, mappedUntil() tells how far the map is whole.
    static constexpr size_t noteLimit = size_t{1} << 20;

    // Reads where each channel's notes sound in a rendering of `samples` samples at `rate`,
    // from the score's text (told in errors as `name`), exactly as the player renders it.
    // Load errors propagate as from examineScore/loadScore (SoundError, ScoreError with its place).
    // Besides the notes kept, the map holds the place of every command written in the text
    // (about 8 bytes each).
    static ScoreMap read(const std::string& name, const std::string& text, int64_t samples,
                         int32_t rate);

    // Channels in the order the score declares them (the order --info lists them).
    const std::vector<ChannelMap>& channels() const { return channels_; }
    // The note channel `c` sounds at `sample`, or nullptr (silence, stopped channel).
    const HeardNote* at(size_t c, int64_t sample) const; // binary search, O(log n)
    // The first sample at which the note (or rest) whose text covers the place (line, column) --
    // or, when none covers it, the first note after that place in the text -- begins to be heard;
    // -1 when no note there is heard within the rendering (or within mappedUntil(), where the map
    // was cut). "Play from the cursor" starts there.
    int64_t firstHeard(int64_t line, int64_t column) const;

    // Every note and rest that begins before this sample is in the map: the rendering's length,
    // unless noteLimit cut the map short.
    int64_t mappedUntil() const { return mappedUntil_; }
    // The rendering's length in samples.
    int64_t samples() const { return samples_; }

private:
    struct Written; // where every command stands in the text, and which are notes or rests
    std::vector<ChannelMap> channels_;
    std::shared_ptr<const Written> written_;
    int64_t samples_ = 0;
    int64_t mappedUntil_ = 0;
};

// Renders `sound` (already loaded) into `buffer` as Sound::render does, but mixes only the channels
// not named in `silenced`. The result is byte for byte what the score gives with the silenced
// channels' lines removed from its text. Throws SoundError naming an unknown channel.
void renderWithout(Sound& sound, std::span<uint8_t> buffer, int32_t rate,
                   const std::vector<std::string>& silenced);
