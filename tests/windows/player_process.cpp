#include "tests/windows/player_process.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace playerTest {

namespace {

// Control identifiers of the common open dialog: the file-name combo box (cmb13) and, in
// dialogs without it, the plain edit field (edt1).
constexpr int fileNameCombo = 0x47C;
constexpr int fileNameEdit = 0x480;

std::wstring tempRoot() {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring full = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

std::string readWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

HANDLE inheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, 0, nullptr);
}

struct Search {
    DWORD process;
    const wchar_t* className;
    const wchar_t* caption;
    HWND found;
};

// FindWindow would take any window of the name on the desktop (a player the user has
// open, or the same suite running twice at once): only the child's own windows count.
BOOL CALLBACK matchOwnWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->process || !IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = {}, caption[64] = {};
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, caption, 64);
    if (std::wstring(className) == search->className &&
        (!search->caption || std::wstring(caption) == search->caption)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findOwnWindow(DWORD process, const wchar_t* className, const wchar_t* caption) {
    Search search{process, className, caption, nullptr};
    EnumWindows(matchOwnWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs a program to its end with its standard output going to `output`; its exit status.
long runToEnd(const std::wstring& program, std::wstring commandLine, const std::wstring& output) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = inheritableFile(output);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL made = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                     nullptr, nullptr, &startup, &info);
    CloseHandle(startup.hStdOutput);
    if (!made) return -1;
    WaitForSingleObject(info.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<long>(code);
}

} // namespace

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    dir.erase(dir.find_last_of(L"\\/") + 1);
    return dir + name;
}

TempFolder::TempFolder(const std::wstring& leaf) {
    static unsigned serial = 0;
    path_ = tempRoot() + L"marrowtone-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++serial);
    CreateDirectoryW(path_.c_str(), nullptr);
    if (!leaf.empty()) {
        path_ += L"\\" + leaf;
        CreateDirectoryW(path_.c_str(), nullptr);
    }
}

TempFolder::~TempFolder() {
    std::wstring top = path_;
    const size_t marker = top.find(L"marrowtone-");
    const size_t end = top.find(L'\\', marker);
    if (end != std::wstring::npos) top.erase(end);
    removeTree(top);
}

std::wstring TempFolder::write(const std::wstring& name, const std::string& bytes) const {
    const std::wstring path = path_ + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

Player::Player() {
    const std::wstring program = besideThisProgram(L"marrowtone.exe");
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = inheritableFile(outputs_.path() + L"\\out.txt");
    startup.hStdError = inheritableFile(outputs_.path() + L"\\err.txt");
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &info_))
        info_ = PROCESS_INFORMATION{};
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
}

Player::~Player() {
    if (!info_.hProcess) return;
    if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 10000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

HWND Player::window() {
    if (window_ || !started()) return window_;
    HWND found = nullptr;
    waitFor(
        [&] {
            return (found = findOwnWindow(info_.dwProcessId, L"Marrowtone", L"Marrowtone")) !=
                   nullptr;
        },
        30000);
    if (!found) return nullptr;
    // The window exists as soon as CreateWindow registers it, before its menu is attached,
    // its status bar laid out and it is shown: wait for the finished window.
    WaitForInputIdle(info_.hProcess, 30000);
    const bool ready = waitFor(
        [&] {
            return IsWindowVisible(found) && GetMenu(found) != nullptr &&
                   FindWindowExW(found, nullptr, STATUSCLASSNAMEW, nullptr) != nullptr;
        },
        30000);
    if (ready) window_ = found;
    return window_;
}

HWND Player::statusBar() {
    HWND w = window();
    return w ? FindWindowExW(w, nullptr, STATUSCLASSNAMEW, nullptr) : nullptr;
}

HWND Player::findDialog() const {
    return findOwnWindow(info_.dwProcessId, L"#32770", nullptr);
}

bool Player::showDialog(std::string& why, HWND& dialog) {
    HWND w = window();
    if (!w) {
        why = "the player's window did not appear";
        return false;
    }
    PostMessageW(w, WM_COMMAND, MAKEWPARAM(257, 0), 0);
    if (!waitFor([&] { return (dialog = findDialog()) != nullptr; }, 30000)) {
        why = "the open dialog did not appear";
        return false;
    }
    // The dialog is shown before it has filled its lists; it takes input once idle.
    WaitForInputIdle(info_.hProcess, 30000);
    return true;
}

bool Player::openAndLeave(const std::wstring& path, std::string& why) {
    HWND dialog = nullptr;
    if (!showDialog(why, dialog)) return false;
    if (path.empty()) {
        SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        return true;
    }
    HWND field = GetDlgItem(dialog, fileNameCombo);
    if (!field) field = GetDlgItem(dialog, fileNameEdit);
    if (!field) {
        why = "the open dialog has no file-name field";
        return false;
    }
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    // Posted: pressing Open may end the program (a score that cannot be loaded), and a sent
    // message would wait for an answer that never comes.
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    return true;
}

bool Player::open(const std::wstring& path, std::string& why) {
    if (!openAndLeave(path, why)) return false;
    if (!waitFor([&] { return findDialog() == nullptr; }, 30000)) {
        why = "the open dialog did not close for " + narrow(path);
        return false;
    }
    // The dialog disappears before GetOpenFileNameW returns (without a window manager Wine
    // waits up to 2 s for the hidden dialog to be withdrawn), and the score is loaded,
    // rendered and the wave output opened after that, inside the command. A sent message
    // is answered once the command's handling is over and the program waits for input.
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window(), WM_NULL, 0, 0, SMTO_BLOCK, 30000, &ignored)) {
        why = "the player did not finish handling the chosen file";
        return false;
    }
    return true;
}

void Player::chooseExit() {
    if (HWND w = window()) PostMessageW(w, WM_COMMAND, MAKEWPARAM(260, 0), 0);
}

void Player::clickCloseBox() {
    if (HWND w = window()) PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
}

long Player::waitForExit(DWORD timeoutMs) {
    if (!started() || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
}

std::string Player::standardOutput() const {
    return readWholeFile(outputs_.path() + L"\\out.txt");
}

std::string Player::standardError() const {
    return readWholeFile(outputs_.path() + L"\\err.txt");
}

Recording::Recording() {
    // A Unix path: Wine shows the whole file system as drive Z.
    const char* unixPath = std::getenv("MARROWTONE_RECORDING");
    if (!unixPath || !*unixPath) return;
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    path_ = path;
    restart();
}

uint64_t Recording::fileSize() const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

void Recording::restart() {
    start_ = fileSize();
}

uint64_t Recording::recordedBytes() const {
    const uint64_t size = fileSize();
    return size > start_ ? size - start_ : 0;
}

std::vector<uint8_t> Recording::readFrom(uint64_t offset) const {
    const std::string all = readWholeFile(path_);
    if (all.size() <= offset) return {};
    return std::vector<uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(offset), all.end());
}

std::vector<uint8_t> Recording::heard() const {
    std::vector<uint8_t> sound;
    for (uint8_t b : readFrom(start_))
        if (b != 128) sound.push_back(b);
    return sound;
}

bool Recording::waitForSound(size_t bytes, DWORD timeoutMs) const {
    return waitFor([&] { return heard().size() >= bytes; }, timeoutMs);
}

std::vector<uint8_t> renderedByTool(const std::wstring& score) {
    TempFolder folder;
    const std::wstring output = folder.path() + L"\\rendered.raw";
    const std::wstring tool = besideThisProgram(L"marrowtone-render.exe");
    const long status = runToEnd(tool, L"\"" + tool + L"\" \"" + score + L"\" -", output);
    if (status != 0) return {};
    const std::string bytes = readWholeFile(output);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

} // namespace playerTest
