// The open-file dialog: GetOpenFileNameW checks the caller's record and hands the request
// to the file chooser in use.
#include "platform/comdlg32/comdlg32_private.h"
#include "platform/common/unicode.h"
#include "platform/drivers/driver.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace platform::detail {

namespace {

// The most filter pairs read from a record.
constexpr size_t kMaxFilters = 256;
// The largest offset a WORD member of the record can hold.
constexpr size_t kMaxOffset = 0xFFFF;

// A folder holding more entries than this is not searched further for a matching file.
constexpr int kFolderScanLimit = 100000;

struct Dialogs {
    DWORD lastError = 0;
    std::string lastFolder; // of the last file chosen, where the next dialog starts
};

Dialogs& dialogs() {
    static Dialogs d;
    return d;
}

bool globMatch(const char* pattern, const char* name) {
    // Iterative, with one point to return to: linear in practice, never exponential.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                                          std::tolower(static_cast<unsigned char>(*name))) {
            pattern++;
            name++;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        pattern++;
    return *pattern == 0;
}

std::string userHome() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

// Whether the folder holds a file that one of the patterns (separated by semicolons) matches.
bool holdsMatchingFile(const std::filesystem::path& folder, const std::string& patterns) {
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error), end;
    int seen = 0;
    for (; !error && it != end && seen < kFolderScanLimit; it.increment(error), seen++) {
        if (!it->is_regular_file(error)) continue;
        const std::string name = it->path().filename().string();
        for (const std::string& pattern : splitFilePatterns(patterns))
            if (matchesFilePattern(pattern, name)) return true;
    }
    return false;
}

} // namespace

bool matchesFilePattern(const std::string& pattern, const std::string& name) {
    // As on Windows, "*.*" is every file, and "NAME.*" takes a NAME without an extension too.
    if (globMatch(pattern.c_str(), name.c_str())) return true;
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0)
        return globMatch(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
    return false;
}

std::string startingFolder(const std::vector<std::pair<std::string, std::string>>& filters,
                           size_t selected) {
    std::error_code error;
    const std::string& last = dialogs().lastFolder;
    if (!last.empty() && std::filesystem::is_directory(last, error)) return last;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (!error && selected < filters.size() && holdsMatchingFile(current, filters[selected].second))
        return current.string();
    return userHome();
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
    if (request.initialDirectory.empty())
        request.initialDirectory = startingFolder(request.filters, request.selectedFilter);
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
    {
        std::filesystem::path folder = std::filesystem::path(*chosen).parent_path();
        std::error_code error;
        if (!folder.empty())
            dialogs().lastFolder = std::filesystem::absolute(folder, error).string();
    }
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
