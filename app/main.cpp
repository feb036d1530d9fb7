// The player. It reads no command line: everything happens in its window.
#include "app/player.h"

#ifdef MARROWTONE_QT
#include "platform/drivers/qt/qt_platform.h"
#endif

#include <cstdio>

int main() {
#ifdef MARROWTONE_QT
    // Elsewhere than on Windows the window, the dialog and the sound come from the desktop.
    if (!platform::qt::install()) {
        std::fprintf(stderr, "marrowtone: no display (set DISPLAY or WAYLAND_DISPLAY); to render "
                             "a score to a WAV file use build/marrowtone-render\n");
        return 1;
    }
#endif
    const int status = playerMain(stderr);
#ifdef MARROWTONE_QT
    platform::qt::uninstall();
#endif
    return status;
}
