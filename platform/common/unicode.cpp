#include "platform/common/unicode.h"

#include <algorithm>

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

int copyToBuffer(const std::u16string& text, LPWSTR buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(maxCount - 1));
    text.copy(buffer, n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

} // namespace platform::detail
