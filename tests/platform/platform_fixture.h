// The fixture of the platform's suites: every test starts on a reset platform, with a class
// of recording windows registered.
#pragma once

#include "platform/testing/testing.h"
#include "platform/win32.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform_test {

namespace comctl = platform::comctl;
namespace headless = platform::headless;
namespace user = platform::user;

using message_recorder::Hook;
using message_recorder::messagesOf;
using message_recorder::Seen;
using message_recorder::seen;
using message_recorder::setHook;

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
