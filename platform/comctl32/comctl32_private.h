// What the files of comctl32 share; not for its users.
//
// The controls are written as ordinary window classes over the calls of win32.h, the way
// the library is built on Windows: each keeps its state behind a pointer in its window's
// extra bytes, made on WM_NCCREATE and freed on WM_NCDESTROY.
#pragma once

#include "platform/common/geometry.h"
#include "platform/common/handles.h"
#include "platform/common/unicode.h"
#include "platform/win32.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace platform::detail {

template <typename State> State* stateOf(HWND hwnd) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(hwnd, 0));
}

template <typename State> LRESULT createState(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new State()));
    return DefWindowProcW(hwnd, WM_NCCREATE, wParam, lParam);
}

template <typename State> void destroyState(HWND hwnd) {
    delete stateOf<State>(hwnd);
    SetWindowLongPtrW(hwnd, 0, 0);
}

// Fonts are kept for whoever asks; drawing is the display driver's business.
template <typename State>
bool handleFont(HWND hwnd, State* state, UINT message, WPARAM wParam, LPARAM lParam,
                LRESULT& result) {
    if (message == WM_SETFONT) {
        state->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        result = 0;
        return true;
    }
    if (message == WM_GETFONT) {
        result = reinterpret_cast<LRESULT>(state->font);
        return true;
    }
    return false;
}

// The frame of every control's procedure: its state made on WM_NCCREATE and freed on
// WM_NCDESTROY, its font kept, and every other message offered to `handle`, which answers
// with the message's result or, with nothing, leaves it to the default processing.
template <typename State, typename Handler>
LRESULT controlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, Handler handle) {
    if (message == WM_NCCREATE) return createState<State>(hwnd, wParam, lParam);
    State* state = stateOf<State>(hwnd);
    if (!state) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (LRESULT result; handleFont(hwnd, state, message, wParam, lParam, result)) return result;
    if (message == WM_NCDESTROY) {
        destroyState<State>(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (std::optional<LRESULT> result = handle(state)) return *result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Controls ask their parent once, when they are made, which kind of text their
// notifications should carry.
void queryNotifyFormat(HWND hwnd);

// Height of the window's frame: what it adds to its client height. Asked of the window
// itself, since a window smaller than its frame shows no client area to measure.
int frameHeight(HWND hwnd);

// The rectangle WM_NCCALCSIZE asks to be narrowed to the client area.
inline RECT* ncCalcSizeRect(WPARAM wParam, LPARAM lParam) {
    return wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                  : reinterpret_cast<RECT*>(lParam);
}

// The window procedures of the controls.
LRESULT CALLBACK statusProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK toolbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK rebarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK tooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the controls' classes once.
void registerCommonControlClasses();

} // namespace platform::detail
