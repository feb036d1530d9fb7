#include "test_support.h"

#include "framework/window_base.h"

#include <atomic>

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

std::map<HWND, MessageSpy*>& MessageSpy::spies() {
    static std::map<HWND, MessageSpy*> all;
    return all;
}

MessageSpy::MessageSpy(HWND window, std::function<void(const SeenMessage&)> inspector)
    : window(window), inspector(std::move(inspector)) {
    spies()[window] = this;
    previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageSpy::proc)));
}

MessageSpy::~MessageSpy() {
    if (GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&MessageSpy::proc)) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    }
    spies().erase(window);
}

std::vector<SeenMessage> MessageSpy::only(UINT message) const {
    std::vector<SeenMessage> result;
    for (const auto& m : seen)
        if (m.message == message) result.push_back(m);
    return result;
}

LRESULT CALLBACK MessageSpy::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto it = spies().find(hwnd);
    if (it == spies().end()) return DefWindowProcW(hwnd, message, wParam, lParam);
    MessageSpy* spy = it->second;
    const SeenMessage m{message, wParam, lParam};
    spy->seen.push_back(m);
    if (spy->inspector) spy->inspector(m);
    return CallWindowProcW(spy->previous, hwnd, message, wParam, lParam);
}
