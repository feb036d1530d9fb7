#include "app/player.h"

#include "app/main_frame.h"
#include "framework/win32_frame.h"

#include <exception>
#include <memory>
#include <vector>

namespace {

// The application object and the main frame live as long as the process: the
// wave output may still be reading the frame's buffer when the loop has ended.
struct Keep {
    std::vector<std::unique_ptr<Win32Frame>> applications;
    std::vector<std::unique_ptr<MainFrame>> frames;
};
Keep& keep() {
    static Keep* kept = new Keep(); // deliberately never destroyed
    return *kept;
}

} // namespace

int runPlayer() {
    auto* application = keep().applications.emplace_back(std::make_unique<Win32Frame>()).get();
    auto* frame =
        keep().frames.emplace_back(std::make_unique<MainFrame>("Marrowtone", "Marrowtone")).get();
    application->setMainWindow(frame);
    application->setWindowRect(CW_USEDEFAULT, CW_USEDEFAULT, 300, 128);
    application->setWindowStyle(WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS |
                                WS_CLIPCHILDREN);
    application->run();
    return 0;
}

int playerMain(std::FILE* err) {
    try {
        return runPlayer();
    } catch (const std::exception& e) {
        std::fprintf(err, "Error: %s\n", e.what());
        std::fflush(err);
        return 1;
    }
}
