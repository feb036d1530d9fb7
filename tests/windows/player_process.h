// marrowtone.exe started as a user starts it, seen and driven from outside through user32
// only: its window, its open dialog, its standard output and error, its exit status.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace playerTest {

// A file beside this test program (the build puts marrowtone.exe there).
std::wstring besideThisProgram(const wchar_t* name);

// Waits until `ready` holds, checking every 20 ms; false if it still does not after
// `timeoutMs`. The machine may be loaded, so callers give generous limits.
template <typename Ready> bool waitFor(Ready ready, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (ready()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(20);
    }
}

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& leaf = L"");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return path_; }
    // Writes `bytes` into the file `name` inside the folder and returns its full path.
    std::wstring write(const std::wstring& name, const std::string& bytes) const;

private:
    std::wstring path_;
};

class Player {
public:
    // Starts marrowtone.exe with its standard output and error going to files.
    Player();
    // Ends the program if it still runs, so that a failed check never leaves it behind.
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool started() const { return info_.hProcess != nullptr; }
    // The program's own main window once it is shown with its menu and status bar.
    HWND window();
    HWND statusBar();

    // "File", "MML Open", then the path typed into the dialog's file-name field and its
    // Open button pressed; waits until the dialog is gone. An empty path cancels instead.
    // False, with `why` set, when the dialog did not behave.
    bool open(const std::wstring& path, std::string& why);
    // "File", "MML Open", and the dialog's file-name field and Open button, but returns as
    // soon as the button is pressed (the program may end while accepting the file).
    bool openAndLeave(const std::wstring& path, std::string& why);
    void chooseExit();
    void clickCloseBox();

    // Waits for the program to end; its exit status, or -1 if it did not end in time.
    long waitForExit(DWORD timeoutMs = 30000);
    std::string standardOutput() const;
    std::string standardError() const;

private:
    HWND findDialog() const;
    bool showDialog(std::string& why, HWND& dialog);

    TempFolder outputs_;
    PROCESS_INFORMATION info_{};
    HWND window_ = nullptr;
};

// The sound that the test's audio server played since this object was made: the server's
// recording of its sink (its path in MARROWTONE_RECORDING). Where no stream feeds the sink,
// or a stream runs dry, the server plays its filler, the level 128.
class Recording {
public:
    Recording();
    bool available() const { return !path_.empty(); }
    const std::wstring& path() const { return path_; }
    // Everything the server recorded since the start, its filler included.
    std::vector<uint8_t> raw() const { return readFrom(start_); }
    // Everything heard since the start, the filler set aside.
    std::vector<uint8_t> heard() const;
    // Waits until at least `bytes` bytes of sound were heard since the start.
    bool waitForSound(size_t bytes, DWORD timeoutMs) const;
    // Everything the server recorded since the start, filler included.
    uint64_t recordedBytes() const;
    // Starts counting afresh from what the server has recorded so far.
    void restart();

private:
    std::vector<uint8_t> readFrom(uint64_t offset) const;
    uint64_t fileSize() const;
    std::wstring path_;
    uint64_t start_ = 0;
};

// What marrowtone-render.exe makes of a score: its raw samples.
std::vector<uint8_t> renderedByTool(const std::wstring& score);

// UTF-16 as UTF-8, for messages.
std::string narrow(const std::wstring& text);

} // namespace playerTest
