// The player. It reads no command line: everything happens in its window.
#include "app/player.h"

#ifdef MARROWTONE_QT
#include "platform/drivers/qt/qt_platform.h"

#include <filesystem>
#include <string>
#include <system_error>
#endif

#include <cstdio>

#ifdef MARROWTONE_QT
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
#endif

int main() {
#ifdef MARROWTONE_QT
    // Elsewhere than on Windows the window, the dialog and the sound come from the desktop.
    if (!platform::qt::install()) {
        std::fprintf(stderr, "marrowtone: no display: %s; to render a score to a WAV file use %s\n",
                     platform::qt::displayProblem().c_str(), rendererCommand().c_str());
        return 1;
    }
#endif
    const int status = playerMain(stderr);
#ifdef MARROWTONE_QT
    platform::qt::uninstall();
#endif
    return status;
}
