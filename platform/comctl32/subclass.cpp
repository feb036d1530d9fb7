// Window subclassing: a chain of procedures in front of a window's own, each passing on
// with DefSubclassProc.
#include "platform/comctl32/comctl32_private.h"

#include <map>
#include <vector>

namespace platform::detail {

namespace {

struct SubclassEntry {
    SUBCLASSPROC proc;
    UINT_PTR id;
    DWORD_PTR refData;
};

struct SubclassChain {
    bool installed = false;
    WNDPROC original = nullptr;
    std::vector<SubclassEntry> entries; // the last one installed is called first
};

std::map<uintptr_t, SubclassChain>& chains() {
    static std::map<uintptr_t, SubclassChain> c;
    return c;
}

// Which entry of which window's chain is running, so DefSubclassProc knows the next one.
struct SubclassFrame {
    HWND hwnd;
    size_t next; // entries below this index are still to be called
};
thread_local std::vector<SubclassFrame> subclassFrames;

LRESULT callChain(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, size_t below) {
    auto it = chains().find(handleKey(hwnd));
    if (it == chains().end()) return DefWindowProcW(hwnd, message, wParam, lParam);
    SubclassChain& chain = it->second;
    below = std::min(below, chain.entries.size());
    if (below == 0) return CallWindowProcW(chain.original, hwnd, message, wParam, lParam);
    SubclassEntry entry = chain.entries[below - 1];
    subclassFrames.push_back({hwnd, below - 1});
    LRESULT r = entry.proc(hwnd, message, wParam, lParam, entry.id, entry.refData);
    subclassFrames.pop_back();
    return r;
}

LRESULT CALLBACK subclassShim(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto it = chains().find(handleKey(hwnd));
    if (it == chains().end()) return DefWindowProcW(hwnd, message, wParam, lParam);
    WNDPROC original = it->second.original;
    LRESULT r = callChain(hwnd, message, wParam, lParam, it->second.entries.size());
    if (message == WM_NCDESTROY) {
        // The window is gone; whatever subclasses remain are dropped with it.
        chains().erase(handleKey(hwnd));
        if (IsWindow(hwnd) &&
            GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(subclassShim))
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    }
    return r;
}

} // namespace

} // namespace platform::detail

using namespace platform::detail;

BOOL WINAPI SetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR refData) {
    if (!IsWindow(hwnd) || !proc) return FALSE;
    auto& chain = chains()[handleKey(hwnd)];
    for (auto& e : chain.entries)
        if (e.proc == proc && e.id == id) {
            e.refData = refData;
            return TRUE;
        }
    if (!chain.installed) {
        chain.installed = true;
        chain.original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassShim)));
    }
    chain.entries.push_back({proc, id, refData});
    return TRUE;
}

BOOL WINAPI GetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR* refData) {
    auto it = chains().find(handleKey(hwnd));
    if (it == chains().end()) return FALSE;
    for (auto& e : it->second.entries)
        if (e.proc == proc && e.id == id) {
            if (refData) *refData = e.refData;
            return TRUE;
        }
    return FALSE;
}

BOOL WINAPI RemoveWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id) {
    auto it = chains().find(handleKey(hwnd));
    if (it == chains().end()) return FALSE;
    auto& entries = it->second.entries;
    for (size_t i = 0; i < entries.size(); i++) {
        if (entries[i].proc != proc || entries[i].id != id) continue;
        entries.erase(entries.begin() + static_cast<ptrdiff_t>(i));
        // Frames of this window that still have entries below the removed one to call
        // now find them one place lower.
        for (auto& f : subclassFrames)
            if (f.hwnd == hwnd && f.next > i) f.next--;
        // The shim stays installed: someone may have subclassed on top of it since, and it
        // passes straight to the original procedure when its chain is empty.
        return TRUE;
    }
    return FALSE;
}

LRESULT WINAPI DefSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    for (auto f = subclassFrames.rbegin(); f != subclassFrames.rend(); ++f)
        if (f->hwnd == hwnd) return callChain(hwnd, message, wParam, lParam, f->next);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
