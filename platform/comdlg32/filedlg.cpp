// The open-file dialog: GetOpenFileNameW checks the caller's record and hands the request
// to the file chooser in use.
#include "platform/comdlg32/comdlg32_private.h"
#include "platform/common/unicode.h"
#include "platform/drivers/registry.h"

namespace platform::detail {

namespace {

// The most filter pairs read from a record.
constexpr size_t kMaxFilters = 256;
// The largest offset a WORD member of the record can hold.
constexpr size_t kMaxOffset = 0xFFFF;

struct Dialogs {
    DWORD lastError = 0;
};

Dialogs& dialogs() {
    static Dialogs d;
    return d;
}

} // namespace

void resetDialogs() {
    dialogs() = Dialogs{};
}

} // namespace platform::detail

using namespace platform::detail;

BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW ofn) {
    auto& d = dialogs();
    d.lastError = 0;
    if (!ofn || (ofn->lStructSize != sizeof(OPENFILENAMEW) &&
                 ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400W)) {
        d.lastError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (!ofn->lpstrFile || ofn->nMaxFile == 0) {
        d.lastError = CDERR_INITIALIZATION;
        return FALSE;
    }
    platform::OpenFileRequest request;
    request.owner = ofn->hwndOwner;
    // The filter is a list of zero-terminated pairs ending with an empty string.
    if (ofn->lpstrFilter) {
        const WCHAR* p = ofn->lpstrFilter;
        while (*p && request.filters.size() < kMaxFilters) {
            std::u16string text(p);
            p += text.size() + 1;
            std::u16string patterns(p);
            if (!patterns.empty()) p += patterns.size() + 1; // else p is at the list's end
            request.filters.emplace_back(toUtf8(text), toUtf8(patterns));
        }
    }
    request.selectedFilter = ofn->nFilterIndex > 0 ? ofn->nFilterIndex - 1 : 0;
    if (request.selectedFilter >= request.filters.size()) request.selectedFilter = 0;
    request.title = toUtf8(copyString(ofn->lpstrTitle));
    request.initialDirectory = toUtf8(copyString(ofn->lpstrInitialDir));
    request.fileMustExist = (ofn->Flags & OFN_FILEMUSTEXIST) != 0;
    std::optional<std::string> chosen = platform::fileChooser().chooseFileToOpen(request);
    if (!chosen) return FALSE;
    std::u16string path = fromUtf8(*chosen);
    if (path.size() + 1 > ofn->nMaxFile) {
        // Windows puts the needed size in the first unit of the buffer.
        if (ofn->nMaxFile >= 1)
            ofn->lpstrFile[0] = static_cast<WCHAR>(std::min<size_t>(path.size() + 1, kMaxOffset));
        d.lastError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    copyToBuffer(path, ofn->lpstrFile, static_cast<int>(ofn->nMaxFile));
    size_t slash = path.find_last_of(u"/\\");
    size_t name = slash == std::u16string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of(u'.');
    ofn->nFileOffset = static_cast<WORD>(std::min<size_t>(name, kMaxOffset));
    ofn->nFileExtension = static_cast<WORD>(dot == std::u16string::npos || dot < name
                                                ? path.size()
                                                : std::min<size_t>(dot + 1, kMaxOffset));
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0)
        copyToBuffer(path.substr(name), ofn->lpstrFileTitle, static_cast<int>(ofn->nMaxFileTitle));
    return TRUE;
}

DWORD WINAPI CommDlgExtendedError(void) {
    return dialogs().lastError;
}
