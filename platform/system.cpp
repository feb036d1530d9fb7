// Text helpers, kernel32 and gdi32 calls, icons and cursors.
#include "internal.h"

#include <map>
#include <mutex>

namespace platform::detail {

std::u16string copyString(LPCWSTR text) {
    if (!text || IS_INTRESOURCE(text)) return {};
    return std::u16string(text);
}

std::u16string foldCase(const std::u16string& text) {
    std::u16string out = text;
    for (auto& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

std::string toUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // a lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string fromUtf8(const std::string& text) {
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        uint32_t c;
        size_t n;
        if (b < 0x80)
            c = b, n = 1;
        else if ((b & 0xE0) == 0xC0)
            c = b & 0x1F, n = 2;
        else if ((b & 0xF0) == 0xE0)
            c = b & 0x0F, n = 3;
        else if ((b & 0xF8) == 0xF0)
            c = b & 0x07, n = 4;
        else
            c = 0xFFFD, n = 1;
        if (n > 1) {
            if (i + n > text.size()) {
                c = 0xFFFD;
                n = text.size() - i;
            } else {
                for (size_t k = 1; k < n; k++) {
                    auto cont = static_cast<unsigned char>(text[i + k]);
                    if ((cont & 0xC0) != 0x80) {
                        c = 0xFFFD;
                        n = k;
                        break;
                    }
                    c = (c << 6) | (cont & 0x3F);
                }
            }
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) c = 0xFFFD;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += n;
    }
    return out;
}

int copyToBuffer(const std::u16string& text, LPWSTR buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(maxCount - 1));
    text.copy(buffer, n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

namespace {

struct Gdi {
    std::map<uintptr_t, COLORREF> brushes;
    std::map<int, HGDIOBJ> stock;
    std::map<int, HBRUSH> sysBrushes;
    std::map<int, HICON> icons;
    std::map<int, HCURSOR> cursors;
    HCURSOR cursor = nullptr;
};

Gdi& gdi() {
    static Gdi g;
    return g;
}

// A light classic scheme, the colours a freshly installed Windows would report.
const COLORREF kSysColors[] = {
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
    RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
    RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255), RGB(240, 240, 240),
    RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234),
    RGB(215, 228, 242), RGB(0, 120, 215),   RGB(240, 240, 240),
};
constexpr int kSysColorCount = sizeof kSysColors / sizeof kSysColors[0];

bool standardIcon(int id) {
    return id >= 32512 && id <= 32518;
}
bool standardCursor(int id) {
    return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651);
}

} // namespace

void resetGdi() {
    auto& g = gdi();
    g.brushes.clear();
    g.stock.clear();
    g.sysBrushes.clear();
    g.icons.clear();
    g.cursors.clear();
    g.cursor = nullptr;
}

} // namespace platform::detail

using namespace platform::detail;

HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName) {
    // The program's own image sits where Windows loads executables by default.
    if (!moduleName) return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x00400000));
    std::u16string name = foldCase(copyString(moduleName));
    if (name.size() > 4 && name.compare(name.size() - 4, 4, u".dll") == 0)
        name.resize(name.size() - 4);
    static const char16_t* const known[] = {u"kernel32", u"user32",   u"gdi32",
                                            u"comctl32", u"comdlg32", u"winmm"};
    for (size_t i = 0; i < sizeof known / sizeof known[0]; i++)
        if (name == known[i])
            return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000000 + i * 0x100000));
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name) {
    int id = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : 0;
    // Only the system's own icons exist: the program carries no resources.
    if (instance || !standardIcon(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    HICON& icon = gdi().icons[id];
    if (!icon) icon = makeHandle<HICON>();
    return icon;
}

HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    int id = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : 0;
    if (instance || !standardCursor(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    HCURSOR& cursor = gdi().cursors[id];
    if (!cursor) cursor = makeHandle<HCURSOR>();
    return cursor;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    HCURSOR old = gdi().cursor;
    gdi().cursor = cursor;
    return old;
}

DWORD WINAPI GetSysColor(int index) {
    return index >= 0 && index < kSysColorCount ? kSysColors[index] : 0;
}

HBRUSH WINAPI GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount) return nullptr;
    HBRUSH& brush = gdi().sysBrushes[index];
    if (!brush) {
        brush = makeHandle<HBRUSH>();
        gdi().brushes[handleKey(brush)] = kSysColors[index];
    }
    return brush;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    if (gdi().brushes.size() > 100000) return nullptr; // the GDI object quota
    HBRUSH brush = makeHandle<HBRUSH>();
    gdi().brushes[handleKey(brush)] = color & 0x00FFFFFF;
    return brush;
}

HGDIOBJ WINAPI GetStockObject(int object) {
    if (object < WHITE_BRUSH || object > DEFAULT_GUI_FONT || object == 9) return nullptr;
    HGDIOBJ& obj = gdi().stock[object];
    if (!obj) obj = reinterpret_cast<HGDIOBJ>(newHandleValue());
    return obj;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    auto& g = gdi();
    for (auto& [id, stock] : g.stock)
        if (stock == object) return TRUE; // stock objects are never deleted
    for (auto& [id, brush] : g.sysBrushes)
        if (brush == object) return TRUE;
    return g.brushes.erase(reinterpret_cast<uintptr_t>(object)) ? TRUE : FALSE;
}
