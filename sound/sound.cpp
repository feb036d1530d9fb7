#include "sound.h"

#include <cmath>
#include <string>

namespace {

[[noreturn]] void unknownChannel(const std::string& name, int line) {
    throw std::out_of_range("sound/sound.cpp:" + std::to_string(line) + ": no channel named '" +
                            name + "'");
}

} // namespace

void CommandList::resize(size_t length) {
    length_ = length;
    if (items_.size() > length) items_.resize(length);
}

void CommandList::set(size_t i, std::string_view cmd, int32_t value) {
    if (i >= length_) throw std::out_of_range("command record outside its list");
    if (i >= items_.size()) items_.resize(i + 1);
    items_[i].cmd.assign(cmd);
    items_[i].value = value;
}

const CMDstruct& CommandList::defaultRecord() {
    static const CMDstruct record;
    return record;
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
    for (const auto& [name, index] : channelIndex) channels[index].resize(channelPos[name]);
    resetPositions();
}

void Sound::resetPositions() {
    for (const auto& entry : channelIndex) channelPos[entry.first] = 0;
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
