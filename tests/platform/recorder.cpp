#include "recorder.h"

namespace platform_test {

namespace {

Hook currentHook;

LRESULT CALLBACK recorderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen().push_back({hwnd, message, wParam, lParam});
    LRESULT result = 0;
    if (currentHook && currentHook(hwnd, message, wParam, lParam, &result)) return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

const WCHAR* const kRecorderClass = u"PlatformRecorder";

std::vector<Seen>& seen() {
    static std::vector<Seen> s;
    return s;
}

std::vector<UINT> messagesOf(HWND hwnd, const std::vector<UINT>& only) {
    std::vector<UINT> out;
    for (const Seen& s : seen()) {
        if (s.hwnd != hwnd) continue;
        if (!only.empty() && std::find(only.begin(), only.end(), s.message) == only.end()) continue;
        out.push_back(s.message);
    }
    return out;
}

void setHook(Hook hook) {
    currentHook = std::move(hook);
}

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
    platform::resetForTests();
    seen().clear();
    currentHook = nullptr;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = recorderProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    wc.lpszClassName = kRecorderClass;
    ASSERT_NE(RegisterClassExW(&wc), 0);
    // A test that waits for a message it never gets fails instead of hanging.
    platform::setMessageWaitLimit(std::chrono::milliseconds(5000));
}

void PlatformTest::TearDown() {
    currentHook = nullptr;
    platform::resetForTests();
}

} // namespace platform_test
