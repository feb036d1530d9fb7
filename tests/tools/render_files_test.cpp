// What marrowtone-render reads and writes, as a process: never a score over itself; through
// links, into pipes and devices as they are; no score beyond its limit or from a pipe; and
// no temporary file left behind when the write is interrupted or fails.
#include "tests/tools/tool_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string kScore = "A t150 v70 l8 cdefg\nB o2 v30 c2 g2\n";

size_t temporaryFiles(const TempDir& dir) {
    size_t found = 0;
    for (const auto& e : fs::directory_iterator(dir.path()))
        found += e.path().filename().string().find(".tmp-") != std::string::npos;
    return found;
}

mode_t modeOf(const fs::path& path) {
    struct stat s {};
    stat(path.c_str(), &s);
    return s.st_mode;
}

} // namespace

TEST(RenderFiles, AnOutputThatIsAnInputIsRefusedAndTheScoreKept) {
    TempDir dir;
    const std::string x = dir.write("x.txt", kScore), tune = dir.write("tune.wav", kScore);
    const std::string linked = (dir.path() / "linked.txt").string();
    fs::create_hard_link(x, linked);
    const std::string dotted = (dir.path() / "." / "x.txt").string();
    for (const auto& [args, output] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{x, x}, x}, {{x, dotted}, dotted}, {{x, linked}, linked}, {{tune}, tune}}) {
        const Result r = run(dir, args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.err, "marrowtone-render: OUTPUT '" + output + "' is the same file as INPUT '" +
                             args[0] +
                             "': writing it would destroy the score; name another OUTPUT (try "
                             "'marrowtone-render --help')\n");
    }
    EXPECT_EQ(readFile(x), kScore);
    EXPECT_EQ(readFile(tune), kScore);
    EXPECT_EQ(temporaryFiles(dir), 0u);
}

TEST(RenderFiles, ALinkUpdatesTheFileItLeadsToAndAFileKeepsItsMode) {
    TempDir dir;
    const std::string x = dir.write("x.mml", kScore);
    const std::string reference = (dir.path() / "reference.wav").string();
    ASSERT_EQ(run(dir, {x, reference}).status, 0);
    fs::create_directory(dir.path() / "takes");
    const std::string target = dir.write("takes/take.wav", "old");
    const fs::path link = dir.path() / "link.wav";
    fs::create_symlink("takes/take.wav", link);
    const std::string own = dir.write("own.wav", "old");
    for (const std::string& file : {target, own})
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);

    for (const std::string& output : {link.string(), own}) {
        const Result r = run(dir, {x, output});
        EXPECT_EQ(r.status, 0) << r.err;
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "takes/take.wav");
    for (const std::string& file : {target, own}) {
        EXPECT_TRUE(readFile(file) == readFile(reference)) << file;
        EXPECT_EQ(modeOf(file) & 07777, 0600u) << file;
    }
    EXPECT_EQ(temporaryFiles(dir), 0u);
}

TEST(RenderFiles, APipeGetsTheExactBytesAndStaysAPipe) {
    TempDir dir;
    const std::string x = dir.write("x.mml", kScore);
    const std::string reference = (dir.path() / "reference.wav").string();
    ASSERT_EQ(run(dir, {x, reference}).status, 0);
    const std::string pipe = (dir.path() / "pipe.wav").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    Result r{};
    std::thread tool([&] {
        r = run(dir, {x, pipe});
        // Lets the reader below go should the tool never have opened the pipe.
        const int end = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (end >= 0) close(end);
    });
    const std::string received = readFile(pipe);
    tool.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(received == readFile(reference)) << received.size() << " bytes";
    EXPECT_TRUE(S_ISFIFO(modeOf(pipe)));

    // A reader that goes away early: a write error naming the pipe, not a silent end.
    tool = std::thread([&] {
        r = run(dir, {x, pipe});
        const int end = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (end >= 0) close(end);
    });
    const int early = open(pipe.c_str(), O_RDONLY);
    char head[100];
    EXPECT_GT(read(early, head, sizeof head), 0);
    close(early);
    tool.join();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: cannot write '" + pipe + "': Broken pipe\n");
}

// A device node of the test's own, standing for /dev/full: every write is refused.
TEST(RenderFiles, AFullDeviceIsAWriteErrorAndStaysADevice) {
    TempDir dir;
    const std::string x = dir.write("x.mml", kScore);
    const std::string full = (dir.path() / "full").string();
    if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "device nodes cannot be made here: " << std::strerror(errno);
    if (const int fd = open(full.c_str(), O_WRONLY); fd >= 0)
        close(fd);
    else
        GTEST_SKIP() << "devices cannot be opened on this file system";
    Result r = run(dir, {x, full});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: cannot write '" + full + "': No space left on device\n");
    EXPECT_TRUE(S_ISCHR(modeOf(full)));
    r = run(dir, {x, "-"}, "/dev/null", full);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: cannot write to standard output\n");
    EXPECT_TRUE(S_ISCHR(modeOf(full)));
}

// Each ends at once with its error, rather than waiting on a pipe or filling memory.
TEST(RenderFiles, ScoresAreReadFromRegularFilesOrStandardInputUpToTheLimit) {
    TempDir dir;
    const std::string pipe = (dir.path() / "pipe.mml").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string kind = ", not a regular file; a score is read from a file, or from "
                             "standard input as '-'\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{pipe}, {"--check", pipe}, {"--info", pipe}}) {
        const Result r = run(dir, args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Error: cannot read '" + pipe + "': it is a named pipe (FIFO)" + kind);
    }
    Result r = run(dir, {"/dev/zero"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: cannot read '/dev/zero': it is a device" + kind);

    const std::string limit = ": it holds more than 256 MiB (268435456 bytes), the most a score "
                              "may hold\n";
    const fs::path big = dir.path() / "big.mml";
    std::ofstream(big) << "A c";
    fs::resize_file(big, (uint64_t{256} << 20) + 1);
    r = run(dir, {big.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: cannot read '" + big.string() + "'" + limit);
    r = run(dir, {"-", "-"}, "/dev/zero");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: cannot read standard input" + limit);
    EXPECT_EQ(r.out, "");
}

TEST(RenderFiles, AnInterruptedOrFailedWriteLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string x = dir.write("x.mml", kScore);
    const std::string out = (dir.path() / "out.wav").string();
    // The longest rendering there is: its writing lasts long enough to be interrupted. On a
    // busy machine the signal may still land after the rename; then the output is there, and
    // the interruption is tried again on a fresh start.
    std::vector<std::string> args = {MARROWTONE_RENDER, "--seconds", "24000", x, out};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int status = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        fs::remove(out);
        const int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_CREATE), 0);
        pid_t tool = 0;
        ASSERT_EQ(posix_spawn(&tool, MARROWTONE_RENDER, nullptr, nullptr, argv.data(), environ), 0);
        bool writing = false;
        alignas(inotify_event) char events[4096];
        pollfd p{watch, POLLIN, 0};
        while (!writing && poll(&p, 1, 60000) == 1) {
            const ssize_t n = read(watch, events, sizeof events);
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(events + at);
                writing = writing || std::string(e->name).find(".tmp-") != std::string::npos;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        close(watch);
        EXPECT_TRUE(writing) << "no temporary file appeared";
        kill(tool, SIGTERM);
        ASSERT_EQ(waitpid(tool, &status, 0), tool);
        if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0)) break;
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(temporaryFiles(dir), 0u);
    EXPECT_FALSE(fs::exists(out));

    // Past the file-size limit: an error like any other, not a signal.
    const std::string command = "ulimit -f 100; " + quote(MARROWTONE_RENDER) + " " + quote(x) +
                                " " + quote(out) + " 2>" + quote(out + ".err");
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
    EXPECT_EQ(readFile(out + ".err"), "Error: cannot write '" + out + "': File too large\n");
    EXPECT_EQ(temporaryFiles(dir), 0u);
    EXPECT_FALSE(fs::exists(out));
}
