// The sound engine: one score, its loader (MML text to per-channel command
// lists) and its renderer (command lists to unsigned 8-bit mono PCM).
// Standard library only: the engine knows nothing of windows or devices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
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
// were never written are not stored: they read as default records. That keeps a
// score with many channels from costing 1024 records of memory per channel.
class CommandList {
public:
    CommandList() = default;
    explicit CommandList(size_t length) : length_(length) {}

    size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }

    // Sets the length; records past it are dropped, new ones read as default.
    void resize(size_t length);

    const CMDstruct& operator[](size_t i) const {
        return i < items_.size() ? items_[i] : defaultRecord();
    }

    // Writes record i, which must lie inside the length.
    void set(size_t i, std::string_view cmd, int32_t value);

    // The stored prefix: every record up to the last one written.
    std::span<const CMDstruct> written() const { return items_; }

    // Makes room for records up to (not including) index `end` in one step.
    void reserveWritten(size_t end) { items_.reserve(end); }

private:
    static const CMDstruct& defaultRecord();

    std::vector<CMDstruct> items_;
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
