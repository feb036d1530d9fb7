// The open dialog as the browser's file picker. The program waits for it as for the
// desktop's dialog: the page suspends it until the user has chosen or cancelled, then
// writes the chosen file into the program's file system under its own name, so that the
// loader reads it, and any error names it, as the user knows it.
#include "platform/drivers/web/file_chooser.h"

#include "platform/drivers/web/page.h"

#include <cstdlib>

namespace platform::web {

namespace {

// The picker's accept list from the filter patterns ("*.mml;*.txt"): extensions only; a
// pattern that matches every file leaves the list empty, and so does none at all.
std::string acceptList(const OpenFileRequest& request) {
    if (request.filters.empty() || request.selectedFilter >= request.filters.size()) return "";
    const std::string& patterns = request.filters[request.selectedFilter].second;
    std::string accept;
    for (const std::string& p : splitFilePatterns(patterns)) {
        if (p == "*" || p == "*.*") return "";
        if (p.size() > 2 && p.compare(0, 2, "*.") == 0 &&
            p.find_first_of("*?", 2) == std::string::npos) {
            if (!accept.empty()) accept += ',';
            accept += p.substr(1);
        }
    }
    return accept;
}

} // namespace

std::optional<std::string> FileChooser::chooseFileToOpen(const OpenFileRequest& request) {
    char* name = mt_choose_file(acceptList(request).c_str());
    if (!name) return std::nullopt;
    std::string chosen(name);
    std::free(name);
    return chosen;
}

} // namespace platform::web
