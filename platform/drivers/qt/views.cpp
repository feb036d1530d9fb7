#include "platform/drivers/qt/views.h"

#include <utility>

namespace platform::qt::view {

UINT virtualKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<UINT>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<UINT>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<UINT>(VK_F1 + (key - Qt::Key_F1));
    static const std::pair<int, UINT> named[] = {
        {Qt::Key_Alt, VK_MENU},        {Qt::Key_AltGr, VK_MENU},    {Qt::Key_Shift, VK_SHIFT},
        {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Return, VK_RETURN}, {Qt::Key_Enter, VK_RETURN},
        {Qt::Key_Escape, VK_ESCAPE},   {Qt::Key_Tab, VK_TAB},       {Qt::Key_Backspace, VK_BACK},
        {Qt::Key_Space, VK_SPACE},     {Qt::Key_Delete, VK_DELETE}, {Qt::Key_Left, VK_LEFT},
        {Qt::Key_Right, VK_RIGHT},     {Qt::Key_Up, VK_UP},         {Qt::Key_Down, VK_DOWN},
    };
    for (const auto& [qtKey, vk] : named)
        if (qtKey == key) return vk;
    return 0;
}

} // namespace platform::qt::view
