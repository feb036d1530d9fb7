#include "tests/platform/platform_fixture.h"

namespace platform_test {

const WCHAR* const kRecorderClass = u"PlatformRecorder";

HWND makeTopLevel(const WCHAR* title, DWORD style, int x, int y, int width, int height,
                  HMENU menu) {
    return CreateWindowExW(0, kRecorderClass, title, style, x, y, width, height, nullptr, menu,
                           GetModuleHandleW(nullptr), nullptr);
}

HWND makeChild(HWND parent, UINT id, int x, int y, int width, int height, DWORD style) {
    return CreateWindowExW(0, kRecorderClass, u"child", style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

void PlatformTest::SetUp() {
    seen().clear();
    setHook(nullptr);
    ASSERT_TRUE(message_recorder::registerRecordingClass(kRecorderClass));
    // A test that waits for a message it never gets fails instead of hanging.
    platform::setMessageWaitLimit(std::chrono::milliseconds(5000));
}

void PlatformTest::TearDown() {
    setHook(nullptr);
}

} // namespace platform_test
