// Helpers shared by the sound tests: scores written to temporary files.
#pragma once

#include "sound/sound.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "marrowtone-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string write(const std::string& name, const std::string& bytes) const {
        const auto file = path_ / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Loads `text` as an MML file.
inline Sound loadText(const std::string& text) {
    TempDir dir;
    Sound sound;
    sound.load(dir.write("score.mml", text));
    return sound;
}

using Records = std::vector<std::pair<std::string, int32_t>>;

inline Records recordsOf(const Sound& sound, const std::string& channel) {
    Records out;
    const auto& list = sound.channels.at(sound.channelIndex.at(channel));
    for (size_t i = 0; i < list.size(); ++i)
        out.emplace_back(list[i].cmd, list[i].value);
    return out;
}

// The command names of a channel, joined by spaces: "C D E".
inline std::string namesOf(const Sound& sound, const std::string& channel) {
    std::string out;
    for (const auto& [cmd, value] : recordsOf(sound, channel))
        out += (out.empty() ? "" : " ") + cmd;
    return out;
}

// A score built directly through the model, as the loader would.
inline Sound scoreOf(const std::vector<std::pair<std::string, Records>>& channels) {
    Sound sound;
    sound.channels.assign(Sound::initialChannels, CommandList());
    for (const auto& [name, records] : channels) {
        sound.declareChannel(name);
        for (const auto& [cmd, value] : records)
            sound.addCommand(name, cmd, value);
    }
    sound.finishLoad();
    return sound;
}

inline std::vector<uint8_t> renderOf(Sound& sound, size_t samples, int32_t rate = 11025) {
    std::vector<uint8_t> buffer(samples, 0xAA);
    sound.render(buffer, rate);
    return buffer;
}
