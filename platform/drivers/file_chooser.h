// The seam between GetOpenFileNameW and whatever lets the user pick a file.
#pragma once

#ifndef _WIN32

#include "platform/win32.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

struct OpenFileRequest {
    HWND owner = nullptr;                                     // the dialog is modal to it
    std::vector<std::pair<std::string, std::string>> filters; // display text, patterns
    size_t selectedFilter = 0;                                // index into filters
    std::string title;                                        // empty: the default caption
    std::string initialDirectory;                             // empty: the default
    bool fileMustExist = false;
};

// The patterns of one filter ("*.mml; *.txt"), each trimmed, the empty ones left out.
inline std::vector<std::string> splitFilePatterns(const std::string& patterns) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t stop = patterns.find(';', start);
        if (stop == std::string::npos) stop = patterns.size();
        const size_t first = patterns.find_first_not_of(' ', start);
        if (first != std::string::npos && first < stop) {
            const size_t last = patterns.find_last_not_of(' ', stop - 1);
            out.push_back(patterns.substr(first, last - first + 1));
        }
        start = stop + 1;
    }
    return out;
}

class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual const char* name() const = 0;
    // Shows the dialog and waits for the user; the chosen path in UTF-8, or nothing when
    // the user cancelled. Runs on the GUI thread and may run a modal loop of its own.
    virtual std::optional<std::string> chooseFileToOpen(const OpenFileRequest& request) = 0;
};

} // namespace platform

#endif // _WIN32
