// The MML loader: bytes in, one flat command list per channel out. Repeats are
// expanded here so that the renderer only ever walks flat lists.
#include "sound/score_file.h"
#include "sound/sound.h"

#include <array>
#include <istream>

namespace {

enum ByteClass : uint8_t { Other, Blank, Note, Param, Paren, Octave, Open, Close, Comment };

constexpr std::array<uint8_t, 256> makeClasses() {
    std::array<uint8_t, 256> t{};
    t[' '] = t['\t'] = Blank;
    for (char c : std::string_view("abcdefgrABCDEFGR"))
        t[static_cast<uint8_t>(c)] = Note;
    for (char c : std::string_view("tovqlTOVQL"))
        t[static_cast<uint8_t>(c)] = Param;
    t['('] = t[')'] = Paren;
    t['<'] = t['>'] = Octave;
    t['['] = Open;
    t[']'] = Close;
    t[';'] = Comment;
    return t;
}
constexpr std::array<uint8_t, 256> byteClass = makeClasses();

inline bool isBlank(uint8_t c) {
    return c == ' ' || c == '\t';
}
inline bool isDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}
inline bool isLineEnd(uint8_t c) {
    return c == '\n' || c == '\r' || c == 0xFF;
}

// Hands out the file's lines without their line ends. A line end is LF, CR,
// CR LF or the byte 0xFF. Lines are views into the read buffer when they fit in
// it, so the common case copies nothing. With Observed it also keeps the byte that
// ended the line, which only tools that point into the file need.
template <bool Observed> class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in), buffer_(1 << 20) {}

    bool next(std::string_view& line) {
        carry_.clear();
        bool carrying = false;
        for (;;) {
            if (begin_ == end_) {
                if (!refill()) {
                    if (!carrying) return false;
                    line = carry_;
                    ++number_;
                    if constexpr (Observed) ending_ = -1;
                    return true;
                }
                continue;
            }
            if (afterCR_) {
                afterCR_ = false;
                if (buffer_[begin_] == '\n') {
                    ++begin_;
                    continue;
                }
            }
            const char* data = buffer_.data();
            size_t k = begin_;
            while (k < end_ && !isLineEnd(static_cast<uint8_t>(data[k])))
                ++k;
            if (k == end_) {
                carry_.append(data + begin_, end_ - begin_);
                carrying = true;
                begin_ = end_;
                continue;
            }
            if (carrying) {
                carry_.append(data + begin_, k - begin_);
                line = carry_;
            } else {
                line = std::string_view(data + begin_, k - begin_);
            }
            afterCR_ = data[k] == '\r';
            if constexpr (Observed) ending_ = static_cast<uint8_t>(data[k]);
            begin_ = k + 1;
            ++number_;
            return true;
        }
    }

    int64_t number() const { return number_; }
    int ending() const { return ending_; }
    bool failed() const { return failed_; }

private:
    bool refill() {
        if (eof_) return false;
        in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        end_ = static_cast<size_t>(in_.gcount());
        begin_ = 0;
        if (in_.bad()) failed_ = true;
        if (end_ == 0) eof_ = true;
        return end_ > 0;
    }

    std::istream& in_;
    std::vector<char> buffer_;
    std::string carry_;
    size_t begin_ = 0;
    size_t end_ = 0;
    int64_t number_ = 0;
    int ending_ = -1;
    bool afterCR_ = false;
    bool eof_ = false;
    bool failed_ = false;
};

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
        const auto* s = reinterpret_cast<const uint8_t*>(text.data());
        const size_t n = text.size();
        size_t p = 0;
        while (p < n && isBlank(s[p]))
            ++p;
        if (p == n || s[p] == ';') return;
        size_t nameBegin = p;
        while (p < n && !isBlank(s[p]))
            ++p;
        selectChannel(text.substr(nameBegin, p - nameBegin), nameBegin);
        int64_t depth = 0;

        for (;;) {
            while (p < n && isBlank(s[p]))
                ++p;
            if (p == n) {
                if constexpr (Observed) unclosed(depth);
                return;
            }
            const uint8_t c = s[p];
            [[maybe_unused]] const size_t at = p;
            switch (byteClass[c]) {
            case Comment:
                if constexpr (Observed) unclosed(depth);
                return;
            case Note: {
                char cmd[2] = {upper(c), 0};
                size_t len = 1;
                ++p;
                int32_t value = 0;
                if (p < n && (s[p] == '+' || s[p] == '-')) cmd[len++] = static_cast<char>(s[p++]);
                if (p < n && isDigit(s[p]))
                    value = static_cast<int32_t>(static_cast<uint32_t>(number(s, n, p)) << 8);
                if (p < n && s[p] == '.') {
                    size_t dots = 0;
                    while (p < n && s[p] == '.')
                        ++dots, ++p;
                    value |= static_cast<int32_t>(dots & 0xFF);
                }
                append(cmd, len, value, at, p);
                break;
            }
            case Param: {
                char cmd = upper(c);
                ++p;
                if (p < n && isDigit(s[p])) {
                    const int32_t value = number(s, n, p);
                    append(&cmd, 1, value, at, p);
                } else if constexpr (Observed) {
                    drop(SoundObserver::Dropped::NoNumber, at, 1, s);
                }
                break;
            }
            case Paren: {
                char cmd = static_cast<char>(c);
                ++p;
                int32_t value = p < n && isDigit(s[p]) ? number(s, n, p) : 0;
                append(&cmd, 1, value, at, p);
                break;
            }
            case Octave: {
                char cmd = static_cast<char>(c);
                ++p;
                append(&cmd, 1, 0, at, p);
                break;
            }
            case Open:
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
                ++p;
                break;
            case Close: {
                ++p;
                // A "]" with nothing open is just another ignored byte.
                if (depth == 0) {
                    if constexpr (Observed) drop(SoundObserver::Dropped::UnopenedClose, at, 1, s);
                    break;
                }
                int64_t times = p < n && isDigit(s[p]) ? number(s, n, p) : 1;
                if constexpr (Observed)
                    if (times == 0) drop(SoundObserver::Dropped::ZeroRepeat, at, p - at, s);
                --depth;
                loopEnd_[depth] = *pos_;
                repeat(loopStart_[depth], *pos_, times, at);
                break;
            }
            default:
                ++p;
                if constexpr (Observed) drop(SoundObserver::Dropped::Bytes, at, 1, s);
                break;
            }
        }
    }

private:
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

#if defined(__GNUC__)
    [[gnu::always_inline]]
#endif
    inline int32_t
    number(const uint8_t* s, size_t n, size_t& p) {
        // The common case: a short number, well inside 32 bits.
        uint32_t v = static_cast<uint32_t>(s[p] - '0');
        size_t q = p + 1;
        for (; q < n && q < p + 9 && isDigit(s[q]); ++q)
            v = v * 10 + (s[q] - '0');
        if (q == n || !isDigit(s[q])) {
            p = q;
            return static_cast<int32_t>(v);
        }
        return longNumber(s, n, p);
    }

#if defined(__GNUC__)
    [[gnu::noinline]]
#endif
    int32_t
    longNumber(const uint8_t* s, size_t n, size_t& p) {
        const size_t begin = p;
        uint64_t v = 0;
        bool tooLarge = false;
        for (; p < n && isDigit(s[p]); ++p) {
            if (tooLarge) continue;
            v = v * 10 + (s[p] - '0');
            tooLarge = v > 2147483647u;
        }
        if (tooLarge) {
            std::string digits(reinterpret_cast<const char*>(s + begin),
                               std::min<size_t>(p - begin, 40));
            if (p - begin > 40) digits += "...";
            fail("the number " + digits + " does not fit into 32 bits (the largest is 2147483647)",
                 begin);
        }
        return static_cast<int32_t>(v);
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
    LineReader<Observed> reader(in);
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
