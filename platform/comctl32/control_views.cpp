#include "platform/drivers/driver.h"

#include "platform/common/unicode.h"

namespace platform::comctl {

namespace {

// The longest tool text read back.
constexpr int kToolTextLimit = 1024;

} // namespace

using detail::foldCase;
using detail::fromUtf8;
using detail::toUtf8;

std::string statusText(HWND hwnd, int part) {
    HWND bar = foldCase(fromUtf8(user::className(hwnd))) == u"msctls_statusbar32"
                   ? hwnd
                   : user::findChild(hwnd, "msctls_statusbar32");
    if (!bar) return {};
    LRESULT info = SendMessageW(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0);
    std::u16string text(LOWORD(info) + 1u, u'\0');
    SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(part),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(info));
    return toUtf8(text);
}

std::string tooltipShownText(HWND tooltip) {
    if (!IsWindowVisible(tooltip)) return {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    if (!SendMessageW(tooltip, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) return {};
    WCHAR text[kToolTextLimit] = {};
    tool.lpszText = text;
    SendMessageW(tooltip, TTM_GETTEXTW, kToolTextLimit, reinterpret_cast<LPARAM>(&tool));
    return toUtf8(text);
}

} // namespace platform::comctl
