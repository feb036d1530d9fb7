// marrowtone-render's entry: the arguments as UTF-8, the real streams, and, for --play,
// the sound driver, the wave output and Ctrl+C.
#include "platform/drivers/driver_set.h"
#include "tools/output_file.h"
#include "tools/playback.h"
#include "tools/render_tool.h"

#include <atomic>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <io.h>
#else
#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

std::atomic<bool> interrupted{false};

#ifdef _WIN32
BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    interrupted.store(true);
    return TRUE;
}
#else
void onInterrupt(int) {
    interrupted.store(true);
}
#endif

bool soundStarted = false;

std::unique_ptr<SoundOutput> prepareToPlay() {
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
    // Only now: a render that does not play loads nothing of the sound server.
    if (platform::startDrivers().empty()) soundStarted = true;
    return std::make_unique<WavePlayer>();
}

int runWith(const std::vector<std::string>& args) {
    cleanUpOnInterruption();
    ToolStreams streams;
#ifdef _WIN32
    streams.terminal = _isatty(_fileno(stderr)) != 0;
    streams.outTerminal = _isatty(_fileno(stdout)) != 0;
    CONSOLE_SCREEN_BUFFER_INFO console{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &console))
        streams.columns = console.srWindow.Right - console.srWindow.Left + 1;
#else
    streams.terminal = isatty(STDERR_FILENO) != 0;
    streams.outTerminal = isatty(STDOUT_FILENO) != 0;
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0) streams.columns = size.ws_col;
#endif
    streams.interrupted = &interrupted;
    streams.soundOutput = prepareToPlay;
    const int status = runRenderTool(args, streams);
    if (soundStarted) platform::stopDrivers(status);
    return status;
}

} // namespace

#ifdef _WIN32
// The narrow command line is in the ANSI code page, which cannot hold most file names:
// the arguments are taken wide (-municode) and turned into UTF-8 once, here.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
        arg.resize(arg.size() - 1); // the terminating zero
        args.push_back(std::move(arg));
    }
    return runWith(args);
}
#else
int main(int argc, char** argv) {
    return runWith(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
