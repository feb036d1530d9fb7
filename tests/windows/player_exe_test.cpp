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

HWND waitForWindow(const wchar_t* className, const wchar_t* caption) {
    for (int i = 0; i < 600; ++i) {
        if (HWND w = FindWindowW(className, caption)) return w;
        Sleep(50);
    }
    return nullptr;
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

    HWND window = waitForWindow(L"Marrowtone", L"Marrowtone");
    ASSERT_NE(window, nullptr) << "no window with the caption Marrowtone appeared";

    EXPECT_TRUE(IsWindowVisible(window));
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
