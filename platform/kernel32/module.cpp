// Modules: the program's own image and the system DLLs it names.
#include "platform/common/unicode.h"

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
