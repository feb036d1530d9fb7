// Window-system strings (UTF-16 in char16_t) as every DLL of the platform layer keeps them.
#pragma once

#include "platform/common/utf.h"
#include "platform/win32.h"

#include <string>

namespace platform::detail {

// The text at a pointer, or empty for null and for an integer resource (MAKEINTRESOURCE).
std::u16string copyString(LPCWSTR text);
// ASCII case folding, as class names and module names compare.
std::u16string foldCase(const std::u16string& text);
inline std::string toUtf8(const std::u16string& text) {
    return unicode::toUtf8(text);
}
inline std::u16string fromUtf8(const std::string& text) {
    return unicode::toUtf16(text);
}
// Copies text into a caller's buffer of maxCount units, always terminated; returns the units
// copied without the terminator.
int copyToBuffer(const std::u16string& text, LPWSTR buffer, int maxCount);

} // namespace platform::detail
