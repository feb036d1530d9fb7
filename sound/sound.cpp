#include "sound/sound.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

namespace {

[[noreturn]] void unknownChannel(const std::string& name, int line) {
    throw std::out_of_range("sound/sound.cpp:" + std::to_string(line) + ": no channel named '" +
                            name + "'");
}

} // namespace

size_t CommandList::blockOf(size_t i) {
    return static_cast<size_t>(std::bit_width(i / kFirstBlock + 1)) - 1;
}

// Retained blocks by size class; bounded so that one huge score does not stay
// resident after it is gone.
struct CommandList::BlockCache {
    static constexpr size_t limitBytes = size_t{64} << 20;
    std::vector<std::unique_ptr<Slot[]>> free[48];
    size_t bytes = 0;
};

CommandList::BlockCache& CommandList::blockCache() {
    static thread_local BlockCache cache;
    return cache;
}

std::unique_ptr<CommandList::Slot[]> CommandList::takeBlock(size_t k) {
    auto& cache = blockCache();
    if (k < std::size(cache.free) && !cache.free[k].empty()) {
        auto block = std::move(cache.free[k].back());
        cache.free[k].pop_back();
        cache.bytes -= (kFirstBlock << k) * sizeof(Slot);
        return block;
    }
    // Left uninitialised: a new block's pages are touched only as records arrive.
    return std::make_unique_for_overwrite<Slot[]>(kFirstBlock << k);
}

void CommandList::giveBlock(size_t k, std::unique_ptr<Slot[]> block) {
    auto& cache = blockCache();
    const size_t bytes = (kFirstBlock << k) * sizeof(Slot);
    if (k >= std::size(cache.free) || cache.bytes + bytes > cache.limitBytes) return;
    cache.bytes += bytes;
    cache.free[k].push_back(std::move(block));
}

CommandList::~CommandList() {
    // A score of a million channels takes a while to give back, too.
    static thread_local uint32_t freed = 0;
    Sound::breatheEvery(freed, 0x3FFF);
    dropFrom(0);
}

void CommandList::swap(CommandList& other) noexcept {
    std::swap(blocks_, other.blocks_);
    std::swap(longTexts_, other.longTexts_);
    std::swap(next_, other.next_);
    std::swap(end_, other.end_);
    std::swap(written_, other.written_);
    std::swap(length_, other.length_);
}

CommandList::CommandList(const CommandList& other) : length_(other.length_) {
    for (size_t i = 0; i < other.written_; ++i)
        pushSlot(other.slot(i));
    longTexts_ = other.longTexts_;
}

CommandList& CommandList::operator=(const CommandList& other) {
    if (this != &other) *this = CommandList(other);
    return *this;
}

void CommandList::pushSlot(const Slot& s) {
    if (next_ == end_) {
        const size_t size = kFirstBlock << blocks_.size();
        blocks_.push_back(takeBlock(blocks_.size()));
        next_ = blocks_.back().get();
        end_ = next_ + size;
    }
    *next_++ = s;
    ++written_;
}

void CommandList::dropFrom(size_t written) {
    if (written >= written_ && (written > 0 || blocks_.empty())) return;
    std::erase_if(longTexts_, [written](const auto& entry) { return entry.first >= written; });
    written_ = written;
    const size_t keep = written == 0 ? 0 : blockOf(written - 1) + 1;
    while (blocks_.size() > keep) {
        giveBlock(blocks_.size() - 1, std::move(blocks_.back()));
        blocks_.pop_back();
    }
    if (keep == 0) {
        next_ = end_ = nullptr;
    } else {
        next_ = blocks_.back().get() + (written - blockStart(keep - 1));
        end_ = blocks_.back().get() + (kFirstBlock << (keep - 1));
    }
}

void CommandList::resize(size_t length) {
    length_ = length;
    dropFrom(length);
}

std::string_view CommandList::text(size_t i) const {
    if (i >= written_) return {};
    const Slot& s = slot(i);
    if (s.size == kLong) return longTexts_.at(i);
    return std::string_view(s.text, s.size);
}

void CommandList::setSlow(size_t i, std::string_view cmd, int32_t value) {
    if (i >= length_) throw std::out_of_range("command record outside its list");
    while (written_ <= i)
        pushSlot(Slot{0, 0, {}});
    Slot& s = slot(i);
    s.value = value;
    if (cmd.size() <= sizeof s.text) {
        s.size = static_cast<uint8_t>(cmd.size());
        std::copy(cmd.begin(), cmd.end(), s.text);
        longTexts_.erase(i);
    } else {
        s.size = kLong;
        longTexts_[i] = std::string(cmd);
    }
}

void CommandList::appendCopies(size_t from, size_t to, size_t count) {
    const size_t start = written_;
    if (start + count > length_) throw std::out_of_range("command records outside their list");
    const size_t part = to - from;
    uint32_t copied = 0;
    for (size_t k = 0; k < count; ++k) {
        Sound::breatheEvery(copied, 0x3FFFF);
        const size_t source = from + k % part;
        pushSlot(slot(source));
        if (slot(start + k).size == kLong) longTexts_[start + k] = longTexts_.at(source);
    }
}

Sound::Sound() {
    noteFreq.resize(9);
    for (int o = 0; o < 9; ++o) {
        noteFreq[o].resize(12);
        for (int n = 0; n < 12; ++n)
            noteFreq[o][n] = 55.0 * std::pow(2.0, (12.0 * o + n - 9) / 12.0);
    }
}

void Sound::declareChannel(const std::string& name) {
    channelPos[name] = 0;
    channelIndex[name] = channelCount;
    ++channelCount;
    if (static_cast<size_t>(channelCount) > channels.size()) channels.resize(channelCount);
    channels[channelIndex[name]] = CommandList(initialRecords);
    if (static_cast<size_t>(channelCount) == channels.size()) channels.resize(channelCount * 2);
}

void Sound::addCommand(const std::string& name, const std::string& cmd, int32_t value) {
    auto index = channelIndex.find(name);
    auto pos = channelPos.find(name);
    if (index == channelIndex.end() || pos == channelPos.end()) unknownChannel(name, __LINE__);
    CommandList& list = channels.at(index->second);
    std::string upper = cmd;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    list.set(pos->second, upper, value);
    ++pos->second;
    if (static_cast<size_t>(pos->second) == list.size()) list.resize(list.size() * 2);
}

void Sound::finishLoad() {
    channels.resize(channelCount);
    uint32_t trimmed = 0;
    for (const auto& [name, index] : channelIndex) {
        breatheEvery(trimmed, 0x3FFF);
        channels[index].resize(channelPos[name]);
    }
    resetPositions();
}

void Sound::resetPositions() {
    uint32_t reset = 0;
    for (const auto& entry : channelIndex) {
        breatheEvery(reset, 0x3FFF);
        channelPos[entry.first] = 0;
    }
}

int32_t Sound::resetChannel(const std::string& name) {
    if (!channelIndex.contains(name)) return -1;
    channelPos[name] = 0;
    return 0;
}

CMDstruct Sound::nextCommand(const std::string& name) {
    auto index = channelIndex.find(name);
    auto pos = channelPos.find(name);
    if (index == channelIndex.end() || pos == channelPos.end()) unknownChannel(name, __LINE__);
    const CommandList& list = channels.at(index->second);
    if (pos->second < 0 || static_cast<size_t>(pos->second) >= list.size())
        return CMDstruct{"", -1};
    return list[pos->second++];
}
