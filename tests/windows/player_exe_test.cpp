// The real marrowtone.exe on the real Windows services: started as a user would start
// it, inspected from outside through user32, and ended through its "Exit" item.
// windows.h must come first.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    dir.erase(dir.find_last_of(L"\\/") + 1);
    return dir + name;
}

struct Search {
    DWORD process;
    HWND found;
};

// FindWindow would take any Marrowtone on the desktop (a player the user has open, or
// the same suite running twice at once): only the child's own window counts.
BOOL CALLBACK matchOwnWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = {}, caption[64] = {};
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, caption, 64);
    if (owner == search->process && std::wstring(className) == L"Marrowtone" &&
        std::wstring(caption) == L"Marrowtone") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND waitForWindow(DWORD process) {
    for (int i = 0; i < 600; ++i) {
        Search search{process, nullptr};
        EnumWindows(matchOwnWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        Sleep(50);
    }
    return nullptr;
}

// The window exists as soon as CreateWindow returns, before its menu is attached, its
// status bar laid out and it is shown: wait until the program sits idle in its message
// loop, then until the window is shown, so that the checks see the finished window.
bool waitUntilReady(HANDLE process, HWND window) {
    WaitForInputIdle(process, 30000);
    for (int i = 0; i < 600; ++i) {
        if (IsWindowVisible(window) && GetMenu(window) != nullptr &&
            FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr) != nullptr)
            return true;
        Sleep(50);
    }
    return false;
}

} // namespace

// Ends the child whatever happens, so that a failed check never leaves it running.
struct Child {
    PROCESS_INFORMATION info{};
    ~Child() {
        if (info.hProcess == nullptr) return;
        if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

TEST(PlayerProgram, ShowsItsWindowAndExitEndsItWithStatusZero) {
    std::wstring program = besideThisProgram(L"marrowtone.exe");
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    Child child;
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &child.info))
        << "cannot start marrowtone.exe, error " << GetLastError();

    HWND window = waitForWindow(child.info.dwProcessId);
    ASSERT_NE(window, nullptr) << "no window with the caption Marrowtone appeared";
    ASSERT_TRUE(waitUntilReady(child.info.hProcess, window))
        << "the window was not shown with its menu bar and status bar";

    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    EXPECT_EQ(outer.right - outer.left, 300);
    EXPECT_EQ(outer.bottom - outer.top, 128);

    // Menus belong to their process (Wine refuses to read another's items), but the bar
    // shows from outside: it is attached, and it takes a row of the frame's height.
    ASSERT_NE(GetMenu(window), nullptr) << "no menu bar";
    const int frameHeight = (outer.bottom - outer.top) - client.bottom;
    EXPECT_GE(frameHeight, GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU));

    HWND status = FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr);
    ASSERT_NE(status, nullptr) << "no status bar";
    EXPECT_TRUE(IsWindowVisible(status));
    EXPECT_EQ(GetWindowTextLengthW(status), 0);
    EXPECT_TRUE(GetWindowLongW(status, GWL_STYLE) & SBARS_SIZEGRIP);
    RECT bar{};
    GetWindowRect(status, &bar);
    POINT bottom{0, client.bottom};
    ClientToScreen(window, &bottom);
    EXPECT_EQ(bar.bottom, bottom.y) << "the status bar is not along the bottom edge";

    // "Exit", as the menu sends it.
    PostMessageW(window, WM_COMMAND, 260, 0);
    const DWORD waited = WaitForSingleObject(child.info.hProcess, 30000);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the program did not end after Exit";
    DWORD code = 12345;
    GetExitCodeProcess(child.info.hProcess, &code);
    EXPECT_EQ(code, 0u);
}
