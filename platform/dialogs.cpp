// The open-file dialog and the wave output.
//
// Without a desktop there is nobody to choose a file: the dialog answers from a script that
// tests fill, and is cancelled when the script is empty. There is no sound device either:
// the wave output reports that no driver is present, so callers take their failure paths.
#include "headless.h"
#include "internal.h"

#include <deque>

namespace platform::detail {

namespace {

struct Dialogs {
    std::deque<std::u16string> answers;
    DWORD lastError = 0;
    std::vector<std::u16string> filtersSeen;
};

Dialogs& dialogs() {
    static Dialogs d;
    return d;
}

} // namespace

void resetDialogs() { dialogs() = Dialogs{}; }

} // namespace platform::detail

using namespace platform::detail;

namespace platform::headless {

void scriptOpenFileName(const std::string& path) { dialogs().answers.push_back(fromUtf8(path)); }

std::vector<std::string> lastOpenFileFilters() {
    std::vector<std::string> out;
    for (auto& f : dialogs().filtersSeen) out.push_back(toUtf8(f));
    return out;
}

} // namespace platform::headless

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
    // The filter is a list of zero-terminated strings ending with an empty one.
    d.filtersSeen.clear();
    if (ofn->lpstrFilter) {
        const WCHAR* p = ofn->lpstrFilter;
        while (*p && d.filtersSeen.size() < 256) {
            d.filtersSeen.emplace_back(p);
            p += d.filtersSeen.back().size() + 1;
        }
    }
    if (d.answers.empty()) return FALSE;
    std::u16string path = d.answers.front();
    d.answers.pop_front();
    if (path.size() + 1 > ofn->nMaxFile) {
        // Windows puts the needed size in the first unit of the buffer.
        if (ofn->nMaxFile >= 1) ofn->lpstrFile[0] = static_cast<WCHAR>(std::min<size_t>(path.size() + 1, 0xFFFF));
        d.lastError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    copyToBuffer(path, ofn->lpstrFile, static_cast<int>(ofn->nMaxFile));
    size_t slash = path.find_last_of(u"/\\");
    size_t name = slash == std::u16string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of(u'.');
    ofn->nFileOffset = static_cast<WORD>(std::min<size_t>(name, 0xFFFF));
    ofn->nFileExtension = static_cast<WORD>(
        dot == std::u16string::npos || dot < name ? path.size() : std::min<size_t>(dot + 1, 0xFFFF));
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0)
        copyToBuffer(path.substr(name), ofn->lpstrFileTitle, static_cast<int>(ofn->nMaxFileTitle));
    return TRUE;
}

DWORD WINAPI CommDlgExtendedError(void) { return dialogs().lastError; }

UINT WINAPI waveOutGetNumDevs(void) { return 0; }

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT waveOut, UINT, LPCWAVEFORMATEX format, DWORD_PTR,
                            DWORD_PTR, DWORD) {
    if (!format) return MMSYSERR_INVALPARAM;
    (void)waveOut; // left as it was, as Windows does on failure
    return MMSYSERR_NODRIVER;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT, LPWAVEHDR, UINT) { return MMSYSERR_INVALHANDLE; }
MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT, LPWAVEHDR, UINT) { return MMSYSERR_INVALHANDLE; }
MMRESULT WINAPI waveOutWrite(HWAVEOUT, LPWAVEHDR, UINT) { return MMSYSERR_INVALHANDLE; }
MMRESULT WINAPI waveOutReset(HWAVEOUT) { return MMSYSERR_INVALHANDLE; }
MMRESULT WINAPI waveOutClose(HWAVEOUT) { return MMSYSERR_INVALHANDLE; }
