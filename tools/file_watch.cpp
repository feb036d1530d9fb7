#include "tools/file_watch.h"

#include "sound/utf8_path.h"

#include <algorithm>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

#ifdef _WIN32

FileWatch::FileWatch(const std::string& utf8Path) : path_(pathFromUtf8(utf8Path)) {
    existed_ = stamp(time_, size_);
}

FileWatch::~FileWatch() = default;

bool FileWatch::stamp(std::filesystem::file_time_type& time, uintmax_t& size) const {
    std::error_code ec;
    time = std::filesystem::last_write_time(path_, ec);
    if (ec) return false;
    size = std::filesystem::file_size(path_, ec);
    return !ec;
}

bool FileWatch::waitForSave(std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::filesystem::file_time_type time;
        uintmax_t size = 0;
        // While an editor renames, the name may be missing for a moment: not a save.
        if (stamp(time, size) && (!existed_ || time != time_ || size != size_)) {
            time_ = time;
            size_ = size;
            existed_ = true;
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            until - now, std::chrono::milliseconds(50)));
    }
}

#else

FileWatch::FileWatch(const std::string& utf8Path) : path_(pathFromUtf8(utf8Path)) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        problem_ = std::string("cannot watch for changes: ") + std::strerror(errno);
        return;
    }
    follow();
    if (watched_.empty()) {
        std::filesystem::path folder = path_.parent_path();
        problem_ = "cannot watch '" + (folder.empty() ? std::string(".") : folder.string()) +
                   "': " + std::strerror(errno);
        close(fd_);
        fd_ = -1;
    }
}

void FileWatch::follow() {
    std::vector<Watched> now;
    std::filesystem::path path = path_;
    for (int hops = 0; hops < 40; ++hops) {
        const std::filesystem::path folder = path.parent_path();
        const int watch = inotify_add_watch(fd_, folder.empty() ? "." : folder.c_str(),
                                            IN_CLOSE_WRITE | IN_MOVED_TO);
        if (watch < 0) break;
        now.push_back({watch, path.filename().string()});
        std::error_code ec;
        if (!std::filesystem::is_symlink(path, ec)) break;
        const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) break;
        path = next.is_absolute() ? next : folder / next;
    }
    // Folders no longer on the way are let go.
    for (const Watched& old : watched_)
        if (std::none_of(now.begin(), now.end(),
                         [&](const Watched& w) { return w.folder == old.folder; }))
            inotify_rm_watch(fd_, old.folder);
    watched_ = std::move(now);
}

FileWatch::~FileWatch() {
    if (fd_ >= 0) close(fd_);
}

bool FileWatch::waitForSave(std::chrono::milliseconds timeout) {
    if (fd_ < 0) {
        std::this_thread::sleep_for(timeout);
        return false;
    }
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    bool saved = false;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) break; // EAGAIN: everything pending has been read
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            for (const Watched& w : watched_)
                if (event->len > 0 && w.folder == event->wd && w.name == event->name) saved = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (saved) follow();
    return saved;
}

#endif
