// The headless file chooser.
//
// Without a desktop nobody can pick a file: the headless chooser cancels, unless a test's
// watcher answers for a user. It honours the must-exist rule as a user would meet it: a
// path that names no file cannot be picked, and a user who cannot pick the file cancels.
#include "platform/drivers/headless/headless_drivers.h"

#include <filesystem>
#include <system_error>

namespace platform::headless {

namespace {

bool isExistingFile(const std::string& path) {
    std::error_code error;
    auto status = std::filesystem::status(std::filesystem::path(path), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

class HeadlessChooser final : public FileChooser {
public:
    const char* name() const override { return "headless"; }
    std::optional<std::string> chooseFileToOpen(const OpenFileRequest& request) override {
        Watcher* w = watcher();
        std::optional<std::string> answer = w ? w->answer(request) : std::nullopt;
        if (!answer || answer->empty()) return std::nullopt;
        if (request.fileMustExist && !isExistingFile(*answer)) return std::nullopt;
        return answer;
    }
};

} // namespace

FileChooser& fileChooser() {
    static HeadlessChooser* chooser = new HeadlessChooser;
    return *chooser;
}

} // namespace platform::headless
