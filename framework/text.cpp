#include "framework/text.h"

#include "platform/common/utf.h"

WString toWide(std::string_view utf8) {
    const std::u16string units = unicode::toUtf16(utf8);
    return WString(units.begin(), units.end());
}

std::string toUtf8(const WCHAR* units, size_t count) {
    // WCHAR is wchar_t on Windows, 16 bits wide like char16_t; elsewhere it is char16_t.
    static_assert(sizeof(WCHAR) == sizeof(char16_t));
    const std::u16string copy(units, units + count);
    return unicode::toUtf8(copy);
}

std::string toUtf8(const WString& units) {
    return toUtf8(units.data(), units.size());
}
