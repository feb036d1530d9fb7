// The MML loader: bytes in, one flat command list per channel out. Repeats are
// expanded here so that the renderer only ever walks flat lists.
#include "sound/line_reader.h"
#include "sound/mml_lexicon.h"
#include "sound/number_reader.h"
#include "sound/score_file.h"
#include "sound/sound.h"

#include <istream>

namespace {

using mml::isBlank;
using mml::Kind;

// With Observed, the loader also tells the sound's observer what it reads and
// where; without, that code is not there at all, so the player's loads pay
// nothing for it.
template <bool Observed> class Loader {
public:
    Loader(Sound& sound, const std::string& fileName) : sound_(sound), fileName_(fileName) {
        if constexpr (Observed) observer_ = sound.observer;
    }

    void line(std::string_view text, int64_t lineNo) {
        lineNumber_ = lineNo;
        const mml::Span name = mml::nameOf(text);
        if (name.begin == name.end) {
            if (name.begin < text.size()) told(Kind::Comment, name.begin, text.size());
            return;
        }
        selectChannel(text.substr(name.begin, name.end - name.begin), name.begin);
        told(Kind::Name, name.begin, name.end);
        commands(reinterpret_cast<const uint8_t*>(text.data()), text.size(), name.end);
    }

private:
    // The words after the channel's name, each as the lexicon's kind of its first byte reads.
    void commands(const uint8_t* s, size_t n, size_t p) {
        int64_t depth = 0;
        for (;;) {
            while (p < n && isBlank(s[p]))
                ++p;
            if (p == n) break;
            const size_t at = p;
            switch (mml::kindOf(s[at])) {
            case Kind::Note:
            case Kind::Rest:
                p = note(s, n, at);
                break;
            case Kind::Setting:
                p = setting(s, n, at);
                break;
            case Kind::Marker:
            case Kind::Octave:
                p = plain(s, n, at);
                break;
            case Kind::Open:
                p = open(depth, at);
                break;
            case Kind::Close:
                p = close(s, n, depth, at);
                break;
            case Kind::Comment:
                p = told(Kind::Comment, at, n);
                break;
            default:
                p = skipped(SoundObserver::Dropped::Bytes, s, at);
                break;
            }
        }
        if constexpr (Observed) unclosed(depth);
    }

    template <Kind K> mml::Parts parts(const uint8_t* s, size_t n, size_t at) {
        return mml::readParts<K>(s, n, at, [this](const uint8_t* b, size_t size, size_t& q) {
            return number(b, size, q);
        });
    }

    // A note or a rest: its letter and sign name the command; its length and dots share the
    // value.
    size_t note(const uint8_t* s, size_t n, size_t at) {
        static_assert(mml::shapeOf(Kind::Note) == mml::shapeOf(Kind::Rest));
        const mml::Parts w = parts<Kind::Note>(s, n, at);
        const char cmd[2] = {upper(s[at]), w.sign};
        int32_t value =
            w.hasNumber ? static_cast<int32_t>(static_cast<uint32_t>(w.number) << 8) : 0;
        value |= static_cast<int32_t>(w.dots & 0xFF);
        append(cmd, w.sign != 0 ? 2 : 1, value, at, w.end);
        return told(mml::kindOf(s[at]), at, w.end);
    }

    size_t setting(const uint8_t* s, size_t n, size_t at) {
        const mml::Parts w = parts<Kind::Setting>(s, n, at);
        if (!w.hasNumber) return skipped(SoundObserver::Dropped::NoNumber, s, at);
        const char cmd = upper(s[at]);
        append(&cmd, 1, w.number, at, w.end);
        return told(Kind::Setting, at, w.end);
    }

    // '(', ')', '<' and '>': the byte itself is the command, with its number where it takes one.
    size_t plain(const uint8_t* s, size_t n, size_t at) {
        const Kind kind = mml::kindOf(s[at]);
        const mml::Parts w =
            kind == Kind::Marker ? parts<Kind::Marker>(s, n, at) : parts<Kind::Octave>(s, n, at);
        const char cmd = static_cast<char>(s[at]);
        append(&cmd, 1, w.number, at, w.end);
        return told(kind, at, w.end);
    }

    size_t open(int64_t& depth, size_t at) {
        loopStart_[depth] = *pos_;
        if constexpr (Observed) {
            if (openColumn_.size() <= static_cast<size_t>(depth))
                openColumn_.resize(static_cast<size_t>(depth) + 1);
            openColumn_[depth] = at;
        }
        ++depth;
        if (static_cast<size_t>(depth) == loopStart_.size()) {
            loopStart_.resize(loopStart_.size() * 2);
            loopEnd_.resize(loopEnd_.size() * 2);
        }
        return told(Kind::Open, at, at + 1);
    }

    size_t close(const uint8_t* s, size_t n, int64_t& depth, size_t at) {
        // A "]" with nothing open is just another ignored byte.
        if (depth == 0) return skipped(SoundObserver::Dropped::UnopenedClose, s, at);
        const mml::Parts w = parts<Kind::Close>(s, n, at);
        const int64_t times = w.hasNumber ? w.number : 1;
        if constexpr (Observed)
            if (times == 0) drop(SoundObserver::Dropped::ZeroRepeat, at, w.end - at, s);
        --depth;
        loopEnd_[depth] = *pos_;
        repeat(loopStart_[depth], *pos_, times, at);
        return told(Kind::Close, at, w.end);
    }

    size_t skipped([[maybe_unused]] SoundObserver::Dropped what, [[maybe_unused]] const uint8_t* s,
                   size_t at) {
        if constexpr (Observed) drop(what, at, 1, s);
        return told(Kind::Skipped, at, at + 1);
    }

    // The observer hears of each word once it is read; returns where the word ends.
    size_t told([[maybe_unused]] Kind kind, [[maybe_unused]] size_t at, size_t end) {
        if constexpr (Observed)
            observer_->word(kind, lineNumber_, static_cast<int64_t>(at) + 1,
                            static_cast<int64_t>(end - at));
        return end;
    }

    static char upper(uint8_t c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); }

    void drop(SoundObserver::Dropped what, size_t at, size_t length, const uint8_t* s) {
        observer_->dropped(what, lineNumber_, static_cast<int64_t>(at) + 1,
                           std::string_view(reinterpret_cast<const char*>(s + at), length));
    }

    // The '['s still open at the end of a line, outermost first.
    void unclosed(int64_t depth) {
        for (int64_t d = 0; d < depth; ++d)
            observer_->dropped(SoundObserver::Dropped::UnclosedOpen, lineNumber_,
                               static_cast<int64_t>(openColumn_[d]) + 1, "[");
    }

    void selectChannel(std::string_view name, size_t column) {
        if (name != currentName_ || list_ == nullptr) {
            currentName_.assign(name);
            auto found = sound_.channelIndex.find(currentName_);
            if (found == sound_.channelIndex.end()) {
                if (sound_.channelCount >= Sound::channelLimit)
                    fail("more than " + std::to_string(Sound::channelLimit) + " channels", column);
                sound_.declareChannel(currentName_);
                found = sound_.channelIndex.find(currentName_);
                if constexpr (Observed)
                    observer_->declared(found->second, lineNumber_,
                                        static_cast<int64_t>(column) + 1);
            }
            index_ = found->second;
            pos_ = &sound_.channelPos.find(currentName_)->second;
        }
        // Declaring a channel may have moved the table of lists.
        list_ = &sound_.channels[index_];
    }

    // The digits from `p` (a digit), which the loader refuses past 32 bits.
#if defined(__GNUC__)
    [[gnu::always_inline]]
#endif
    inline int32_t
    number(const uint8_t* s, size_t n, size_t& p) {
        return mml::readNumber(s, n, p, [this](std::string_view digits, size_t begin) {
            fail(mml::tooLargeNumber(digits), begin);
        });
    }

    void append(const char* cmd, size_t len, int32_t value, size_t at,
                [[maybe_unused]] size_t end) {
        if (total_ >= Sound::commandLimit) tooManyCommands(at);
        ++total_;
        list_->set(static_cast<size_t>(*pos_), std::string_view(cmd, len), value);
        if constexpr (Observed)
            observer_->read(index_, *pos_, lineNumber_, static_cast<int64_t>(at) + 1,
                            static_cast<int64_t>(end - at));
        ++*pos_;
        if (static_cast<size_t>(*pos_) == list_->size()) list_->resize(list_->size() * 2);
    }

    // Appends the records [start, end) times - 1 more times. The whole cost is
    // known up front, so an oversized repeat fails before taking any memory.
    void repeat(int32_t start, int32_t end, int64_t times, size_t at) {
        if (times <= 1 || end <= start) return;
        const int64_t part = end - start;
        const int64_t extra = part * (times - 1);
        if (extra > Sound::commandLimit - total_) tooManyCommands(at);
        total_ += extra;
        const int64_t last = end + extra;
        size_t length = list_->size();
        while (length <= static_cast<size_t>(last))
            length *= 2;
        list_->resize(length);
        list_->appendCopies(static_cast<size_t>(start), static_cast<size_t>(end),
                            static_cast<size_t>(extra));
        if constexpr (Observed) observer_->repeated(index_, start, end, extra);
        *pos_ = static_cast<int32_t>(last);
    }

    [[noreturn]] void tooManyCommands(size_t at) {
        fail("the score holds more than " + std::to_string(Sound::commandLimit) + " commands", at);
    }

    // `at` is where on the line the load stops, for the observer to point at.
    [[noreturn]] void fail(const std::string& what, [[maybe_unused]] size_t at) {
        if constexpr (Observed) observer_->failed(lineNumber_, static_cast<int64_t>(at) + 1, what);
        throw SoundError("File '" + fileName_ + "', line " + std::to_string(lineNumber_) + ": " +
                         what);
    }

    Sound& sound_;
    const std::string& fileName_;
    std::string currentName_;
    CommandList* list_ = nullptr;
    int32_t* pos_ = nullptr;
    int32_t index_ = 0;
    int64_t total_ = 0;
    int64_t lineNumber_ = 0;
    std::vector<int32_t> loopStart_ = std::vector<int32_t>(64);
    std::vector<int32_t> loopEnd_ = std::vector<int32_t>(64);
    SoundObserver* observer_ = nullptr;
    std::vector<size_t> openColumn_; // where each open '[' of the line stands
};

template <bool Observed> void readLines(Sound& sound, std::istream& in, const std::string& name) {
    Loader<Observed> loader(sound, name);
    mml::LineReader<Observed> reader(in);
    std::string_view line;
    uint32_t lines = 0;
    while (reader.next(line)) {
        Sound::breatheEvery(lines, 0xFF);
        if constexpr (Observed) sound.observer->line(reader.number(), line, reader.ending());
        if (!line.empty()) loader.line(line, reader.number());
    }
    if (reader.failed()) throw SoundError("Cannot read file '" + name + "'");
}

} // namespace

void Sound::beginLoad() {
    channelCount = 0;
    channelPos.clear();
    channelIndex.clear();
    channels.assign(initialChannels, CommandList());
}

int32_t Sound::load(const std::string& fileName) {
    // Only a regular file: a pipe or a device chosen as a score would hold the load (and the
    // window) for ever, or fill memory without end.
    ScoreFile file(fileName);
    if (file.kind() != ScoreFile::Kind::Regular)
        throw SoundError("Cannot open or create file '" + fileName + "'");
    std::istream in(&file);
    return load(in, fileName);
}

int32_t Sound::load(std::istream& in, const std::string& name) {
    beginLoad();
    if (observer)
        readLines<true>(*this, in, name);
    else
        readLines<false>(*this, in, name);
    finishLoad();
    return 0;
}
