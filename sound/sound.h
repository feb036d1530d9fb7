// The sound engine: one score, its loader (MML text to per-channel command
// lists) and its renderer (command lists to unsigned 8-bit mono PCM).
// Standard library only: the engine knows nothing of windows or devices.
#pragma once

#include "sound/mml_lexicon.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// One command of a channel. `cmd` is always upper case; `value` packs
// length * 256 + dots for notes and rests, and is the plain number otherwise.
struct CMDstruct {
    std::string cmd;
    int32_t value = 0;

    bool operator==(const CMDstruct&) const = default;
};

// A channel's command list. Its length follows the growth rule of the score
// (1024 records, doubling as it fills, trimmed after loading), but records that
// were never written are not stored: they read as default records. Records are
// kept in eight bytes each, in blocks that double in size and never move, so
// appending costs no copying and the largest score stays small; the rare text
// longer than three bytes (never one the loader makes) is kept aside.
class CommandList {
public:
    CommandList() = default;
    explicit CommandList(size_t length) : length_(length) {}
    CommandList(const CommandList& other);
    CommandList& operator=(const CommandList& other);
    CommandList(CommandList&& other) noexcept { swap(other); }
    CommandList& operator=(CommandList&& other) noexcept {
        CommandList(std::move(other)).swap(*this);
        return *this;
    }
    ~CommandList();

    size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }

    // Sets the length; records past it are dropped, new ones read as default.
    void resize(size_t length);

    // A copy of record i (i below the length).
    CMDstruct operator[](size_t i) const { return {std::string(text(i)), value(i)}; }
    std::string_view text(size_t i) const;
    int32_t value(size_t i) const { return i < written_ ? slot(i).value : 0; }

    // Writes record i, which must lie inside the length.
    void set(size_t i, std::string_view cmd, int32_t value) {
        if (i == written_ && i < length_ && cmd.size() <= sizeof(Slot::text) && next_ != end_) {
            // The loader's case: the next record, with a short text, in a block
            // that has room.
            Slot s{value, static_cast<uint8_t>(cmd.size()), {}};
            for (size_t k = 0; k < cmd.size(); ++k)
                s.text[k] = cmd[k];
            *next_++ = s; // one store of the whole record
            ++written_;
            return;
        }
        setSlow(i, cmd, value);
    }

    // Appends copies of the written records [from, to) until `count` more
    // records have been written after the last written one.
    void appendCopies(size_t from, size_t to, size_t count);

private:
    static constexpr uint8_t kLong = 0xFF;
    static constexpr size_t kFirstBlock = 64;
    struct Slot {
        int32_t value;
        uint8_t size;
        char text[3];
    };

    // Block k holds kFirstBlock << k slots and starts at kFirstBlock * (2^k - 1).
    static size_t blockOf(size_t i);
    static size_t blockStart(size_t k) { return kFirstBlock * ((size_t{1} << k) - 1); }
    const Slot& slot(size_t i) const {
        const size_t k = blockOf(i);
        return blocks_[k][i - blockStart(k)];
    }
    Slot& slot(size_t i) { return const_cast<Slot&>(std::as_const(*this).slot(i)); }
    void setSlow(size_t i, std::string_view cmd, int32_t value);
    void swap(CommandList& other) noexcept;
    // Blocks come from, and go back to, a small per-thread cache: loading one
    // score after another then reuses memory instead of faulting in new pages.
    struct BlockCache;
    static BlockCache& blockCache();
    static std::unique_ptr<Slot[]> takeBlock(size_t k);
    static void giveBlock(size_t k, std::unique_ptr<Slot[]> block);
    void pushSlot(const Slot& s);
    void dropFrom(size_t written);

    std::vector<std::unique_ptr<Slot[]>> blocks_;
    std::unordered_map<size_t, std::string> longTexts_;
    Slot* next_ = nullptr; // where the next record goes, within the last block
    Slot* end_ = nullptr;  // the last block's end
    size_t written_ = 0;
    size_t length_ = 0;
};

// Everything `load` raises: a file that cannot be opened, a number that does
// not fit into 32 bits, a score too large to hold.
class SoundError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The high phases of a pulse voice: a third of each period of `period` samples,
// counted from sample 0, clipped to [from, to). The renderer adds its level over
// exactly these runs, and tools that explain a score walk the same ones.
template <typename Run>
inline void forEachHighRun(int64_t from, int64_t to, int64_t period, Run run) {
    const int64_t high = period / 3;
    for (int64_t start = from - from % period; start < to; start += period) {
        const int64_t lo = start > from ? start : from;
        const int64_t hi = start + high < to ? start + high : to;
        if (lo < hi) run(lo, hi);
    }
}

// Watches a load and a rendering from inside, for tools that tell an author what
// will be heard. The player sets none; a Sound without one loads and renders
// through code that has no trace of it. Channels are indices into `channels`,
// commands indices into a channel's list, lines and columns count from 1
// (columns in bytes).
class SoundObserver {
public:
    virtual ~SoundObserver() = default;

    // What the loader drops or reads differently from how it looks.
    enum class Dropped {
        Bytes,         // bytes that are no command: skipped
        NoNumber,      // t, o, v, q or l without a number: skipped
        UnopenedClose, // a ']' with no '[' open on its line
        UnclosedOpen,  // a '[' still open at the end of its line: its part plays once
        ZeroRepeat,    // ']0': the part plays once
    };
    virtual void dropped(Dropped, int64_t /*line*/, int64_t /*column*/, std::string_view /*text*/) {
    }
    // A line as the loader splits the file, empty ones too, before any of it is read: its
    // bytes without the line end, and the byte that ended it ('\n'; '\r', also for CR LF;
    // 0xFF), or -1 for a last line without one. What an editor shows as one line may be
    // several here, and the places told count these lines.
    virtual void line(int64_t /*line*/, std::string_view /*text*/, int /*ending*/) {}
    // The load stops at this place for `reason`; the SoundError follows.
    virtual void failed(int64_t /*line*/, int64_t /*column*/, std::string_view /*reason*/) {}
    // Command `command` of `channel` was read at this place, from `length` bytes of the line.
    virtual void read(int32_t /*channel*/, int32_t /*command*/, int64_t /*line*/,
                      int64_t /*column*/, int64_t /*length*/) {}
    // A channel's first appearance, at its name.
    virtual void declared(int32_t /*channel*/, int64_t /*line*/, int64_t /*column*/) {}
    // The commands [from, to) of `channel` were copied `count` more commands after
    // `to`, by a repeat.
    virtual void repeated(int32_t /*channel*/, int32_t /*from*/, int32_t /*to*/,
                          int64_t /*count*/) {}
    // Every word of a line once the loader has read it, `length` bytes at this place: its
    // name, its commands, the bytes it skipped, its comment. Blanks are no words.
    virtual void word(mml::Kind, int64_t /*line*/, int64_t /*column*/, int64_t /*length*/) {}

    // The renderer. Samples count from the start of the buffer.
    enum class Silence { Octave, TooHigh, Gate, Volume };
    enum class Ignored { Tempo, Length }; // t0, l0
    virtual void ignored(int32_t /*channel*/, int32_t /*command*/, Ignored) {}
    // A note adds nothing; `setting` is the voice's octave, gate or volume that
    // silences it, or the pulse period for a note too high.
    virtual void silent(int32_t /*channel*/, int32_t /*command*/, int64_t /*sample*/, Silence,
                        int64_t /*setting*/) {}
    // A note adds `level` over the high runs of `period` in [from, to).
    virtual void sounds(int32_t /*channel*/, int32_t /*command*/, int64_t /*from*/, int64_t /*to*/,
                        int64_t /*period*/, uint8_t /*level*/) {}
    // A note or a rest takes the samples [from, to) (its whole length, sounding or not,
    // clipped to the buffer): where an author's cursor stands while it plays.
    virtual void played(int32_t /*channel*/, int32_t /*command*/, int64_t /*from*/,
                        int64_t /*to*/) {}
    // The channel rewinds to its first command at `sample`, after a pass that
    // held a note or a rest.
    virtual void rewound(int32_t /*channel*/, int64_t /*sample*/) {}
    // The channel holds nothing to play and adds nothing from `sample` on.
    virtual void stopped(int32_t /*channel*/, int64_t /*sample*/) {}
};

// A voice's settings as the renderer holds them: a whole note in samples, the octave, the
// volume, the gate (eighths of each note that sound) and the length of a note written without
// one. A channel starts with these.
struct VoiceSettings {
    int32_t whole = 32000;
    int32_t octave = 3;
    int32_t volume = 50;
    int32_t gate = 6;
    int32_t length = 4;
};

class Sound {
public:
    // A score holds at most this many commands over all its channels, and at
    // most this many channels, so no file can take unbounded memory.
    static constexpr int64_t commandLimit = 16'777'216;
    static constexpr int64_t channelLimit = 1'048'576;
    static constexpr int32_t initialChannels = 8;
    static constexpr int32_t initialRecords = 1024;

    Sound();
    virtual ~Sound() = default;

    Sound(const Sound&) = default;
    Sound& operator=(const Sound&) = default;

    // Reads an MML file (path in UTF-8) into the channels. Always returns 0;
    // failures are raised as SoundError. Only a regular file is read: a pipe or a
    // device is a file that cannot be opened, told at once.
    virtual int32_t load(const std::string& fileName);
    // The same from an open stream, told in errors as `name`: a score piped to a tool.
    int32_t load(std::istream& in, const std::string& name);

    // Clears `buffer` and adds every channel's samples into it. Always returns 0.
    virtual int32_t render(std::span<uint8_t> buffer, int32_t sampleRate);
    // Tells the observer what a rendering of `samples` samples would, and moves the read
    // positions as it would, without a buffer: for tools that look at a rendering again.
    void trace(int64_t samples, int32_t sampleRate);
    // Tells the observer of one pass of channel `index` from its first command, as a rendering
    // from the start plays it, to its first rewind however long that takes: what lies past a
    // buffer's end. The read positions stay.
    void tracePass(int32_t index, int32_t sampleRate);

    // Walks one pass of channel `index` from its first command, as the renderer reads it, up to
    // where it rewinds: `step` is told each command with the voice's settings once it has taken
    // effect (a note's or a rest's: those it plays with), for tools that explain a command.
    void walkSettings(int32_t index,
                      const std::function<void(int64_t command, const VoiceSettings&)>& step) const;

    // The semitone above C of a note's command text ("A+" is 10), or -1 for any other text.
    static int32_t semitoneOf(std::string_view cmd);

    void addCommand(const std::string& name, const std::string& cmd, int32_t value);
    void declareChannel(const std::string& name);
    void finishLoad();
    void resetPositions();
    int32_t resetChannel(const std::string& name);
    CMDstruct nextCommand(const std::string& name);

    std::vector<std::vector<double>> noteFreq;
    std::vector<CommandList> channels;
    std::unordered_map<std::string, int32_t> channelPos;
    std::unordered_map<std::string, int32_t> channelIndex;
    int32_t channelCount = 0;

    // Told what the next loads and renderings do; null (the player's case) for none.
    SoundObserver* observer = nullptr;

    // Called now and then while a score loads or renders (every few thousand lines,
    // records, notes or channels), between two steps, so that a program with one thread
    // can let its host breathe meanwhile (a browser suspends the program there and keeps
    // its page responsive). It must not touch the sound. Null, the default, for none.
    static inline void (*breather)() noexcept = nullptr;
    static void breatheEvery(uint32_t& count, uint32_t mask) noexcept {
        if ((++count & mask) == 0 && breather) breather();
    }

private:
    void beginLoad();
};
