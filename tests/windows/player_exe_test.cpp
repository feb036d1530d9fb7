// The real marrowtone.exe on the real Windows services: started as a user would start it,
// inspected from outside through user32, and ended through its "Exit" item.
#include "tests/windows/player_process.h"

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

using namespace playerTest;

TEST(PlayerProgram, ShowsItsWindowAndExitEndsItWithStatusZero) {
    Player player;
    ASSERT_TRUE(player.started()) << "cannot start marrowtone.exe, error " << GetLastError();
    HWND window = player.window();
    ASSERT_NE(window, nullptr) << "the window was not shown with its menu bar and status bar";

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

    HWND status = player.statusBar();
    ASSERT_NE(status, nullptr) << "no status bar";
    EXPECT_TRUE(IsWindowVisible(status));
    EXPECT_EQ(GetWindowTextLengthW(status), 0);
    EXPECT_TRUE(GetWindowLongW(status, GWL_STYLE) & SBARS_SIZEGRIP);
    RECT bar{};
    GetWindowRect(status, &bar);
    POINT bottom{0, client.bottom};
    ClientToScreen(window, &bottom);
    EXPECT_EQ(bar.bottom, bottom.y) << "the status bar is not along the bottom edge";

    player.chooseExit();
    EXPECT_EQ(player.waitForExit(), 0) << "the program did not end with 0 after Exit";
    EXPECT_EQ(player.standardOutput(), "");
}

namespace {

// What the screen shows inside `r`, one 0x00RRGGBB value a pixel, read back from the
// display itself: what the program painted, not what it would paint if asked.
std::vector<uint32_t> screenPixels(const RECT& r) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size() * sizeof(uint32_t));
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (auto& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

// Waits until the program has painted everything it was asked to, and the screen shows
// the same thing twice in a row.
std::vector<uint32_t> settledPixels(HWND window, HWND bar) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored);
    waitFor(
        [&] {
            return !GetUpdateRect(window, nullptr, FALSE) && !GetUpdateRect(bar, nullptr, FALSE);
        },
        10000);
    // The update region empties when painting begins; a sent message is answered only once
    // the painting thread is back in its loop, with the painting done.
    SendMessageTimeoutW(bar, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored);
    RECT r{};
    GetWindowRect(bar, &r);
    std::vector<uint32_t> last = screenPixels(r), now;
    waitFor(
        [&] {
            now = screenPixels(r);
            if (now == last) return true;
            last = now;
            return false;
        },
        10000);
    return now;
}

size_t differingPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return std::max(a.size(), b.size());
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

} // namespace

// Dragging the window's edge to widen it step by step must leave one size grip in the
// status bar, not one at every width the bar had on the way.
TEST(PlayerProgram, AfterResizingTheStatusBarShowsWhatAFreshPaintShows) {
    Player player;
    HWND window = player.window();
    ASSERT_NE(window, nullptr);
    HWND bar = player.statusBar();
    ASSERT_NE(bar, nullptr);
    for (int step = 1; step <= 12; ++step) {
        SetWindowPos(window, nullptr, 0, 0, 300 + 20 * step, 128 + 5 * step,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        settledPixels(window, bar);
    }
    const std::vector<uint32_t> dragged = settledPixels(window, bar);
    // The reference: the same bar, asked to paint itself whole.
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    const std::vector<uint32_t> fresh = settledPixels(window, bar);
    std::set<uint32_t> colours(fresh.begin(), fresh.end());
    EXPECT_GE(colours.size(), 2u) << "the screen shows nothing of the bar: cannot compare";
    EXPECT_EQ(differingPixels(dragged, fresh), 0u)
        << "the status bar keeps what earlier sizes painted";
    player.chooseExit();
    EXPECT_EQ(player.waitForExit(), 0);
}

// Explorer shows the programs with the project's icon, and their properties name the
// product and its version.
class ProgramFile : public testing::TestWithParam<const wchar_t*> {};

TEST_P(ProgramFile, CarriesTheIconAndAVersionResource) {
    const std::wstring path = besideThisProgram(GetParam());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    auto text = [&](const wchar_t* name) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || !value)
            return std::string();
        return narrow(static_cast<const wchar_t*>(value));
    };
    EXPECT_EQ(text(L"ProductName"), "Marrowtone");
    const std::string version = text(L"FileVersion");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(version, numbers);

    HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(FindResourceW(image, MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr) << "no icon";
    HICON large = nullptr;
    EXPECT_EQ(ExtractIconExW(path.c_str(), 0, &large, nullptr, 1), 1u);
    if (large) DestroyIcon(large);
    FreeLibrary(image);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, ProgramFile,
                         testing::Values(L"marrowtone.exe", L"marrowtone-render.exe"));
