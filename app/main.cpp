// The player. It reads no command line: everything happens in its window.
#include "app/player.h"
#include "platform/drivers/driver_set.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// The renderer to point a user without a display to: the one built beside the player when
// it runs from its build tree, else the installed command.
std::string rendererCommand() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return "marrowtone-render";
    const fs::path tree = fs::weakly_canonical(fs::path(MARROWTONE_BUILD_TREE), error);
    if (!error && self.parent_path() == tree) return (tree / "marrowtone-render").string();
    return "marrowtone-render";
}

} // namespace

int main() {
    // The window, the dialog and the sound come from the drivers the program is linked with.
    if (const std::string problem = platform::startDrivers(); !problem.empty()) {
        std::fprintf(stderr, "marrowtone: %s; to render a score to a WAV file use %s\n",
                     problem.c_str(), rendererCommand().c_str());
        return 1;
    }
    const int status = playerMain(stderr);
    platform::stopDrivers(status);
    return status;
}
