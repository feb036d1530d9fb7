#include "tests/framework/test_support.h"

#include "framework/window_base.h"

#include <atomic>
#include <map>

std::string uniqueClassName(const std::string& stem) {
    static std::atomic<int> counter{0};
    return "MarrowtoneTest" + stem + std::to_string(++counter);
}

void registerFrameworkClass(const std::string& name) {
    static std::map<std::string, WString> names;
    WString& stored = names[name];
    stored = toWide(name);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &WindowBase::classWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = stored.c_str();
    ASSERT_NE(RegisterClassExW(&wc), 0);
}

RECT rectIn(HWND window, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    POINT origin{0, 0};
    ClientToScreen(parent, &origin);
    return RECT{r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
}

RECT clientRect(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
}

std::string captureStdout(const std::function<void()>& fn) {
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
}

void drainMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) DispatchMessageW(&msg);
    }
}
