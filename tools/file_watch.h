// Noticing that an editor saved a score: written in place, or written beside it and
// renamed over it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class FileWatch {
public:
    // Watches the file named `utf8Path` (which need not exist yet).
    explicit FileWatch(const std::string& utf8Path);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // Empty when watching works, else why it does not.
    const std::string& problem() const { return problem_; }

    // Waits at most `timeout` for a save; true when the file was saved since the last call
    // (several saves in a row count as one).
    bool waitForSave(std::chrono::milliseconds timeout);

private:
    std::filesystem::path path_;
    std::string problem_;
#ifdef _WIN32
    // Windows: the file's write time and size, looked at on every call. A rename over the
    // file changes them as a write does.
    bool stamp(std::filesystem::file_time_type& time, uintmax_t& size) const;
    std::filesystem::file_time_type time_{};
    uintmax_t size_ = 0;
    bool existed_ = false;
#else
    // Linux: inotify on the folder, for the name: a rename over the file replaces the
    // inode that a watch on the file itself would follow. A score that is a symbolic link
    // is saved where the link leads: each name along the way is watched in its folder, and
    // the way is followed anew after every save (the link may have been pointed elsewhere).
    struct Watched {
        int folder; // the inotify watch
        std::string name;
    };
    void follow();
    int fd_ = -1;
    std::vector<Watched> watched_;
#endif
};
