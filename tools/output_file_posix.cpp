#include "tools/output_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What ends the process with a temporary file to remove.
constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file being written, for the signal handler, which may neither allocate nor
// lock: a fixed buffer, and a flag set only while the buffer holds a whole name.
char temporaryName[4096 + 64];
volatile std::sig_atomic_t temporaryKept = 0;

void keepTemporary(const std::string& name) {
    temporaryKept = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (name.size() >= sizeof temporaryName) return; // longer than any path the system takes
    std::memcpy(temporaryName, name.c_str(), name.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    temporaryKept = 1;
}

void forgetTemporary() {
    temporaryKept = 0;
}

extern "C" void removeTemporaryAndEnd(int signal) {
    if (temporaryKept) unlink(temporaryName);
    // SA_RESETHAND has made the action the default again: raised anew, the signal ends the
    // process as it would have without this handler, once the handler returns.
    raise(signal);
}

std::string cannotWrite(const std::string& name, const std::string& why) {
    return "cannot write '" + name + "': " + why;
}

// The file a chain of symbolic links leads to: the name itself when it is no link.
std::optional<std::string> followLinks(const std::string& name, std::string& problem) {
    namespace fs = std::filesystem;
    fs::path path = name;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(path, ec)) return path.string();
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) {
            problem = cannotWrite(name, ec.message());
            return std::nullopt;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    problem = cannotWrite(name, std::strerror(ELOOP));
    return std::nullopt;
}

// Writes every piece; 0, or the errno of the write that failed.
int writePieces(int fd, const OutputPieces& pieces) {
    for (const auto& piece : pieces) {
        size_t done = 0;
        while (done < piece.size()) {
            // In steps, so that an interruption is seen between them.
            const size_t step = std::min<size_t>(piece.size() - done, size_t{1} << 20);
            const ssize_t n = write(fd, piece.data() + done, step);
            if (n > 0)
                done += static_cast<size_t>(n);
            else if (n < 0 && errno != EINTR)
                return errno;
            else if (n == 0)
                return EIO;
        }
    }
    return 0;
}

// Into a pipe, a terminal or a device, as it is: the bytes straight in.
std::string writeStraight(const std::string& name, const std::string& target,
                          const OutputPieces& pieces) {
    const int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return cannotWrite(name, std::strerror(errno));
    // A reader that goes away is a failed write to tell, not a signal that ends the process
    // without a word: SIGPIPE is held back on this thread meanwhile, and taken back if sent.
    sigset_t pipeSignal, before;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    int error = writePieces(fd, pieces);
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == EPIPE && !sigismember(&before, SIGPIPE)) {
        const timespec now{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return error != 0 ? cannotWrite(name, std::strerror(error)) : "";
}

// The replaced file's mode, and its owner where we may give it.
int keepModeOf(int fd, const struct stat& old) {
    if (old.st_uid != geteuid() || old.st_gid != getegid()) {
        // Only root may: anyone else's new file is their own, as cp makes it.
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        }
    }
    return fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
}

// A temporary file beside `target`, renamed over it once whole and synced.
std::string replaceFile(const std::string& name, const std::string& target, const struct stat* old,
                        const OutputPieces& pieces) {
    std::random_device random;
    std::string temporary;
    int fd = -1;
    // The handler knows the name from the moment the file exists: an interruption waits for
    // that meanwhile.
    sigset_t interruptions, before;
    sigemptyset(&interruptions);
    for (int signal : kInterruptions)
        sigaddset(&interruptions, signal);
    pthread_sigmask(SIG_BLOCK, &interruptions, &before);
    for (int attempt = 0; fd < 0 && attempt < 8; ++attempt) {
        temporary = target + ".tmp-" + std::to_string(random());
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                  old ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    const int opening = errno;
    if (fd >= 0) keepTemporary(temporary);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) return cannotWrite(name, std::strerror(opening));
    int error = old ? keepModeOf(fd, *old) : 0;
    if (error == 0) error = writePieces(fd, pieces);
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) unlink(temporary.c_str());
    forgetTemporary();
    return error != 0 ? cannotWrite(name, std::strerror(error)) : "";
}

} // namespace

std::string writeOutputFile(const std::string& path, const OutputPieces& pieces) {
    // What the name stands for, as the system follows it: also through the links of
    // /dev/stdout and /proc, whose text names no file.
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return cannotWrite(path, "it is a folder");
        if (!S_ISREG(status.st_mode)) return writeStraight(path, path, pieces);
    }
    std::string problem;
    const std::optional<std::string> target = followLinks(path, problem);
    if (!target) return problem;
    if (stat(target->c_str(), &status) != 0) {
        if (errno != ENOENT) return cannotWrite(path, std::strerror(errno));
        return replaceFile(path, *target, nullptr, pieces);
    }
    if (!S_ISREG(status.st_mode)) return cannotWrite(path, "it is no longer a regular file");
    if (access(target->c_str(), W_OK) != 0)
        return cannotWrite(path, errno == EACCES ? "the file is read-only (Permission denied)"
                                                 : std::strerror(errno));
    return replaceFile(path, *target, &status, pieces);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void cleanUpOnInterruption() {
    struct sigaction action {};
    action.sa_handler = removeTemporaryAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : kInterruptions) {
        // A signal the process was started to ignore (nohup, a background job) stays ignored.
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}
