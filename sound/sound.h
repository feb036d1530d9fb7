// The sound engine: one score, its loader (MML text to per-channel command
// lists) and its renderer (command lists to unsigned 8-bit mono PCM).
// Standard library only: the engine knows nothing of windows or devices.
#pragma once

#include <cstddef>
#include <cstdint>
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
    // failures are raised as SoundError.
    virtual int32_t load(const std::string& fileName);

    // Clears `buffer` and adds every channel's samples into it. Always returns 0.
    virtual int32_t render(std::span<uint8_t> buffer, int32_t sampleRate);

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

private:
    void beginLoad();
    void renderChannel(std::span<uint8_t> buffer, int32_t sampleRate, int32_t index,
                       int32_t& position);
};
