#include "tests/support/message_recorder.h"

#include <algorithm>

namespace message_recorder {

namespace {

Hook currentHook;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen().push_back({hwnd, message, wParam, lParam});
    LRESULT result = 0;
    if (currentHook && currentHook(hwnd, message, wParam, lParam, &result)) return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

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

bool registerRecordingClass(const WCHAR* className) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = recordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0;
}

std::map<HWND, MessageSpy*>& MessageSpy::spies() {
    static std::map<HWND, MessageSpy*> all;
    return all;
}

MessageSpy::MessageSpy(HWND window, std::function<void(const Seen&)> inspector)
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

std::vector<Seen> MessageSpy::only(UINT message) const {
    std::vector<Seen> result;
    for (const auto& m : seen)
        if (m.message == message) result.push_back(m);
    return result;
}

LRESULT CALLBACK MessageSpy::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto it = spies().find(hwnd);
    if (it == spies().end()) return DefWindowProcW(hwnd, message, wParam, lParam);
    MessageSpy* spy = it->second;
    const Seen m{hwnd, message, wParam, lParam};
    spy->seen.push_back(m);
    if (spy->inspector) spy->inspector(m);
    return CallWindowProcW(spy->previous, hwnd, message, wParam, lParam);
}

} // namespace message_recorder
