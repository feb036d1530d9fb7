// UTF-8 and UTF-16, converted once for the whole program: the window framework hands its
// text to the Windows calls through it, and our platform layer reads that text back with
// it. Standard C++ only, so it builds on every platform.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace unicode {

// UTF-8 to UTF-16. Malformed input never aborts: each bad sequence (an overlong form, a
// surrogate, a value past U+10FFFF, a cut-off sequence) becomes one U+FFFD.
std::u16string toUtf16(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(const char16_t* units, size_t count);
inline std::string toUtf8(std::u16string_view units) {
    return toUtf8(units.data(), units.size());
}

} // namespace unicode
