// GDI objects: brushes and the stock objects.
#include "platform/common/handles.h"
#include "platform/gdi32/gdi32_private.h"

#include <map>
#include <set>

namespace platform::detail {

namespace {

// Windows gives a process at most this many GDI objects; the limit keeps a runaway creator
// from eating memory.
constexpr size_t kGdiObjectQuota = 100000;
// The one number between the stock objects that names none.
constexpr int kNoStockObject = 9;

struct Gdi {
    std::map<uintptr_t, COLORREF> brushes;
    std::set<uintptr_t> permanent;
    std::map<int, HGDIOBJ> stock;
};

Gdi& gdi() {
    static Gdi g;
    return g;
}

} // namespace

HBRUSH createSystemBrush(COLORREF color) {
    HBRUSH brush = makeHandle<HBRUSH>();
    gdi().brushes[handleKey(brush)] = color;
    gdi().permanent.insert(handleKey(brush));
    return brush;
}

} // namespace platform::detail

using namespace platform::detail;

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    if (gdi().brushes.size() > kGdiObjectQuota) return nullptr;
    HBRUSH brush = makeHandle<HBRUSH>();
    gdi().brushes[handleKey(brush)] = color & 0x00FFFFFF;
    return brush;
}

HGDIOBJ WINAPI GetStockObject(int object) {
    if (object < WHITE_BRUSH || object > DEFAULT_GUI_FONT || object == kNoStockObject)
        return nullptr;
    HGDIOBJ& obj = gdi().stock[object];
    if (!obj) obj = reinterpret_cast<HGDIOBJ>(newHandleValue());
    return obj;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    auto& g = gdi();
    for (auto& [id, stock] : g.stock)
        if (stock == object) return TRUE; // stock objects are never deleted
    const uintptr_t key = reinterpret_cast<uintptr_t>(object);
    if (g.permanent.count(key)) return TRUE;
    return g.brushes.erase(key) ? TRUE : FALSE;
}
