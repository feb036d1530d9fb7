#include "tools/score_map.h"

#include "tools/report/places_watch.h"
#include "tools/report/score_report.h"

#include <algorithm>
#include <tuple>
#include <utility>

struct ScoreMap::Written {
    ScorePlaces places;
    std::vector<std::vector<bool>> notes; // by channel and read: a note or a rest
};

namespace {

bool isNoteOrRest(std::string_view cmd) {
    return cmd == "R" || (!cmd.empty() && cmd[0] >= 'A' && cmd[0] <= 'G');
}

// Watches the load for places and the rendering for the samples each note and rest takes.
// Places are looked up only for what is kept once the rendering is over.
class Mapper final : public PlacesWatch {
public:
    struct Heard {
        int64_t from;
        int64_t to;
        int32_t command;
        bool rest;
        int64_t period;
    };

    Mapper(const Sound& sound, ScorePlaces& places, std::vector<std::vector<bool>>& notes,
           int64_t samples)
        : PlacesWatch(places), sound_(sound), notes_(notes), until_(samples) {}

    void read(int32_t channel, int32_t command, int64_t line, int64_t column,
              int64_t length) override {
        // Every command, so that runs of them on a line share their line: a cursor on one
        // that is no note goes on to the next note.
        PlacesWatch::read(channel, command, line, column, length);
        const auto c = static_cast<size_t>(channel);
        if (c >= notes_.size()) notes_.resize(c + 1);
        notes_[c].push_back(isNoteOrRest(sound_.channels[c].text(static_cast<size_t>(command))));
    }

    // Told just before played() for the same note, when it sounds.
    void sounds(int32_t channel, int32_t command, int64_t from, int64_t, int64_t period,
                uint8_t) override {
        sounding_ = {channel, command, from, period};
    }

    void played(int32_t channel, int32_t command, int64_t from, int64_t to) override {
        if (from >= until_) return;
        const auto c = static_cast<size_t>(channel);
        if (c >= heard_.size()) heard_.resize(c + 1);
        const std::string_view cmd = sound_.channels[c].text(static_cast<size_t>(command));
        const bool sounded =
            sounding_.channel == channel && sounding_.command == command && sounding_.from == from;
        heard_[c].push_back({from, to, command, cmd == "R", sounded ? sounding_.period : 0});
        // Cut only when twice over the limit, so that cutting costs little per note.
        if (++count_ > 2 * ScoreMap::noteLimit) cut();
    }

    // Keeps at most noteLimit notes, the earliest: every note that begins before the new end,
    // which leaves fewer where several begin together at it.
    void cut() {
        if (count_ <= ScoreMap::noteLimit) return;
        std::vector<int64_t> starts;
        starts.reserve(count_);
        for (const auto& notes : heard_)
            for (const Heard& h : notes)
                starts.push_back(h.from);
        const auto nth = starts.begin() + static_cast<std::ptrdiff_t>(ScoreMap::noteLimit);
        std::nth_element(starts.begin(), nth, starts.end());
        until_ = *nth;
        count_ = 0;
        for (auto& notes : heard_) {
            const size_t kept = notes.size();
            while (!notes.empty() && notes.back().from >= until_)
                notes.pop_back();
            if (notes.size() < kept) notes.shrink_to_fit();
            count_ += notes.size();
        }
    }

    int64_t until() const { return until_; }
    std::vector<Heard> take(size_t channel) {
        return channel < heard_.size() ? std::exchange(heard_[channel], {}) : std::vector<Heard>();
    }

private:
    const Sound& sound_;
    std::vector<std::vector<bool>>& notes_;
    int64_t until_;
    size_t count_ = 0;
    std::vector<std::vector<Heard>> heard_; // by channel, in order of `from`
    struct {
        int32_t channel = -1;
        int32_t command = -1;
        int64_t from = -1;
        int64_t period = 0;
    } sounding_;
};

} // namespace

ScoreMap ScoreMap::read(const std::string& name, const std::string& text, int64_t samples,
                        int32_t rate) {
    samples = std::max<int64_t>(samples, 0);
    auto written = std::make_shared<Written>();
    ScorePlaces* const places = &written->places;
    Sound sound;
    Mapper mapper(sound, *places, written->notes, samples);
    sound.observer = &mapper;
    loadScoreAt(sound, *places, name, &text);
    {
        std::vector<uint8_t> pcm(static_cast<size_t>(samples));
        sound.render(pcm, rate);
    }
    sound.observer = nullptr;
    mapper.cut();

    ScoreMap map;
    map.samples_ = samples;
    map.mappedUntil_ = mapper.until();
    map.channels_.resize(static_cast<size_t>(sound.channelCount));
    for (const auto& [channelName, index] : sound.channelIndex)
        map.channels_[static_cast<size_t>(index)].name = channelName;
    for (size_t c = 0; c < map.channels_.size(); ++c) {
        const std::vector<Mapper::Heard> heard = mapper.take(c);
        auto& notes = map.channels_[c].notes;
        notes.reserve(heard.size());
        for (const Mapper::Heard& h : heard) {
            const TextPlace p = places->placeOf(static_cast<int32_t>(c), h.command);
            notes.push_back({h.from, h.to, p.line, p.column, p.length, h.rest, h.period});
        }
    }
    map.written_ = std::move(written);
    return map;
}

const HeardNote* ScoreMap::at(size_t c, int64_t sample) const {
    if (c >= channels_.size()) return nullptr;
    const auto& notes = channels_[c].notes;
    auto next = std::upper_bound(notes.begin(), notes.end(), sample,
                                 [](int64_t s, const HeardNote& n) { return s < n.from; });
    if (next == notes.begin()) return nullptr;
    const HeardNote& note = *(next - 1);
    return sample < note.to ? &note : nullptr;
}

int64_t ScoreMap::firstHeard(int64_t line, int64_t column) const {
    if (!written_) return -1;
    const ScorePlaces& places = written_->places;
    // Texts of commands never overlap: the first command over all channels whose text ends
    // past the place is the one covering it, or else the next one.
    bool found = false;
    size_t channel = 0;
    TextPlace best;
    for (size_t c = 0; c < channels_.size(); ++c) {
        const auto ch = static_cast<int32_t>(c);
        auto editor = [&](size_t i) { return places.readAt(ch, i); };
        // The first command whose text ends past the place, and the first note from there.
        const size_t count = places.readCount(ch);
        size_t lo = 0, hi = count;
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            const TextPlace p = editor(mid);
            if (p.line < line || (p.line == line && p.column + p.length <= column))
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo == count) continue; // nothing past the place, or nothing written at all
        const auto& notes = written_->notes[c];
        while (lo < count && !notes[lo])
            ++lo;
        if (lo == count) continue;
        const TextPlace p = editor(lo);
        if (!found || std::tie(p.line, p.column) < std::tie(best.line, best.column)) {
            found = true;
            channel = c;
            best = p;
        }
    }
    if (!found) return -1;
    for (const HeardNote& n : channels_[channel].notes)
        if (n.line == best.line && n.column == best.column) return n.from;
    return -1;
}

void renderWithout(Sound& sound, std::span<uint8_t> buffer, int32_t rate,
                   const std::vector<std::string>& silenced) {
    std::vector<std::pair<std::string, int32_t>> out;
    for (const std::string& name : silenced) {
        const auto found = sound.channelIndex.find(name);
        if (found == sound.channelIndex.end())
            throw SoundError("the score has no channel named '" + name + "'");
        const std::pair<std::string, int32_t> channel(found->first, found->second);
        if (std::find(out.begin(), out.end(), channel) == out.end()) out.push_back(channel);
    }
    // A channel without commands adds nothing, as if its lines were not there: the silenced
    // ones lend their lists (and read positions) for the rendering and get them back after.
    struct Lent {
        Sound& sound;
        std::vector<std::pair<std::string, int32_t>>& out;
        std::vector<CommandList> lists;
        std::vector<int32_t> positions;
        ~Lent() {
            for (size_t i = 0; i < lists.size(); ++i) {
                sound.channels[static_cast<size_t>(out[i].second)] = std::move(lists[i]);
                sound.channelPos[out[i].first] = positions[i];
            }
        }
    } lent{sound, out, {}, {}};
    lent.lists.reserve(out.size());
    lent.positions.reserve(out.size());
    for (const auto& [name, index] : out) {
        lent.positions.push_back(sound.channelPos[name]);
        lent.lists.push_back(std::exchange(sound.channels[static_cast<size_t>(index)], {}));
    }
    sound.render(buffer, rate);
}
