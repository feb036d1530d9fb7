// A window class that records every message it receives, for the platform's suites.
#pragma once

#include "headless.h"
#include "win32.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace platform_test {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Messages received by windows of the recording class, in order.
std::vector<Seen>& seen();
// The messages (only their numbers) one window received, optionally only those listed.
std::vector<UINT> messagesOf(HWND hwnd, const std::vector<UINT>& only = {});
// Runs before the default processing; returning true makes *result the message's result.
using Hook = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT* result)>;
void setHook(Hook hook);

extern const WCHAR* const kRecorderClass;

// Makes windows of the recording class; the class is registered by the fixture.
HWND makeTopLevel(const WCHAR* title = u"Top", DWORD style = WS_OVERLAPPEDWINDOW, int x = 10,
                  int y = 20, int width = 300, int height = 128, HMENU menu = nullptr);
HWND makeChild(HWND parent, UINT id, int x = 0, int y = 0, int width = 50, int height = 40,
               DWORD style = WS_CHILD | WS_VISIBLE);

inline std::u16string text(HWND hwnd) {
    WCHAR buffer[256];
    int n = GetWindowTextW(hwnd, buffer, 256);
    return std::u16string(buffer, static_cast<size_t>(n));
}

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

} // namespace platform_test
