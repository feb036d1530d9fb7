#pragma once

#include "platform/win32.h"

#include <string>
#include <string_view>

// Text handed to the Windows API: UTF-16 code units in the platform's WCHAR, which is
// wchar_t on Windows and char16_t elsewhere.
using WString = std::basic_string<WCHAR>;

// UTF-8 to UTF-16. Malformed input never aborts a window operation: each bad sequence
// becomes U+FFFD.
WString toWide(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(const WCHAR* units, size_t count);
std::string toUtf8(const WString& units);
