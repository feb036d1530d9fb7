#include "sound/score_file.h"

#include "sound/utf8_path.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <ios>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The system's calls by one name on both systems.
#ifdef _WIN32
using Status = struct _stat64;
constexpr auto pathStatus = _wstat64;
constexpr auto fileStatus = _fstat64;
constexpr auto readSome = _read;
constexpr auto closeFile = _close;
#else
using Status = struct stat;
constexpr auto pathStatus = ::stat;
constexpr auto fileStatus = ::fstat;
constexpr auto readSome = ::read;
constexpr auto closeFile = ::close;
#endif

int openForReading(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
#else
    // Not blocking, in case the name has become a pipe since it was looked at; on a regular
    // file the flag changes nothing.
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
#endif
}

ScoreFile::Kind kindOf(const Status& s) {
    switch (s.st_mode & S_IFMT) {
    case S_IFREG:
        return ScoreFile::Kind::Regular;
    case S_IFDIR:
        return ScoreFile::Kind::Folder;
#ifdef S_IFIFO
    case S_IFIFO:
        return ScoreFile::Kind::Pipe;
#endif
    case S_IFCHR:
#ifdef S_IFBLK
    case S_IFBLK:
#endif
        return ScoreFile::Kind::Device;
#ifdef S_IFSOCK
    case S_IFSOCK:
        return ScoreFile::Kind::Socket;
#endif
    default:
        return ScoreFile::Kind::Other;
    }
}

} // namespace

ScoreFile::ScoreFile(const std::string& utf8Name) {
    const std::filesystem::path path = pathFromUtf8(utf8Name);
    // Looked at before it is opened: opening some devices already does something.
    Status status{};
    if (pathStatus(path.c_str(), &status) != 0) return;
    kind_ = kindOf(status);
    if (kind_ != Kind::Regular) return;
    fd_ = openForReading(path);
    if (fd_ < 0) {
        kind_ = Kind::Unopened;
        return;
    }
    // And again once open, for the file really read.
    kind_ = fileStatus(fd_, &status) == 0 ? kindOf(status) : Kind::Unopened;
    if (kind_ != Kind::Regular) {
        closeFile(fd_);
        fd_ = -1;
        return;
    }
    size_ = static_cast<int64_t>(status.st_size);
}

ScoreFile::~ScoreFile() {
    if (fd_ >= 0) closeFile(fd_);
}

const char* ScoreFile::describe(Kind kind) {
    // In the order of Kind: what was never opened, or is none of these, is a special file.
    static constexpr const char* kDescriptions[] = {"a special file",      "a file",   "a folder",
                                                    "a named pipe (FIFO)", "a device", "a socket",
                                                    "a special file"};
    const auto i = static_cast<size_t>(kind);
    return i < std::size(kDescriptions) ? kDescriptions[i] : "a special file";
}

std::streamsize ScoreFile::readFile(char* to, std::streamsize count) {
    if (fd_ < 0) return 0;
    for (;;) {
        const auto n =
            readSome(fd_, to, static_cast<unsigned>(std::min<std::streamsize>(count, 1 << 30)));
        if (n >= 0) return n;
        // The stream above turns this into its bad state: a read that failed.
        if (errno != EINTR) throw std::ios_base::failure("cannot read the score");
    }
}

ScoreFile::int_type ScoreFile::underflow() {
    const std::streamsize n = readFile(buffer_, sizeof buffer_);
    if (n == 0) return traits_type::eof();
    setg(buffer_, buffer_, buffer_ + n);
    return traits_type::to_int_type(buffer_[0]);
}

std::streamsize ScoreFile::xsgetn(char* to, std::streamsize count) {
    std::streamsize done = std::min<std::streamsize>(egptr() - gptr(), count);
    std::copy(gptr(), gptr() + done, to);
    gbump(static_cast<int>(done));
    while (done < count) {
        const std::streamsize n = readFile(to + done, count - done);
        if (n == 0) break;
        done += n;
    }
    return done;
}
