// A score file open for reading. Opening it never waits: a named pipe without a writer, a
// terminal or a device would hold the reader for ever, or pour bytes into memory without end,
// so only a regular file is read, and anything else is told by its kind.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>

class ScoreFile : public std::streambuf {
public:
    enum class Kind { Unopened, Regular, Folder, Pipe, Device, Socket, Other };

    // Opens the file named `utf8Name` when it is a regular file.
    explicit ScoreFile(const std::string& utf8Name);
    ~ScoreFile() override;
    ScoreFile(const ScoreFile&) = delete;
    ScoreFile& operator=(const ScoreFile&) = delete;

    // What the name stands for; only a Regular file is open and can be read.
    Kind kind() const { return kind_; }
    // Its size when it was opened.
    int64_t size() const { return size_; }

    // "a named pipe (FIFO)", "a device", ...: for messages that say why it is not read.
    static const char* describe(Kind kind);

protected:
    int_type underflow() override;
    // Large reads (the loader's) go straight from the file into the reader's buffer.
    std::streamsize xsgetn(char* to, std::streamsize count) override;

private:
    // Up to `count` bytes into `to`: 0 at the end; throws when the file cannot be read.
    std::streamsize readFile(char* to, std::streamsize count);

    int fd_ = -1;
    Kind kind_ = Kind::Unopened;
    int64_t size_ = 0;
    char buffer_[1 << 16];
};
