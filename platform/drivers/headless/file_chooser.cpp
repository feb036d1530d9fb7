// The headless file chooser.
//
// Without a desktop nobody can pick a file: the headless chooser answers from a script
// that tests fill, one answer per dialog, and cancels when the script is empty. It honours
// the must-exist rule as a user would meet it: a path that names no file cannot be picked,
// and a user who cannot pick the file cancels.
#include "platform/testing/testing.h"
#include "platform/drivers/headless/headless_drivers.h"

#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace platform {

namespace {

struct Script {
    std::mutex mutex;
    std::deque<std::string> answers;
    std::optional<OpenFileRequest> lastRequest;
};

Script& script() {
    static Script* s = new Script;
    return *s;
}

// Runs f on the script under its lock and returns what f returns.
template <typename F> auto withScript(F f) {
    auto& s = script();
    std::lock_guard lock(s.mutex);
    return f(s);
}

bool isExistingFile(const std::string& path) {
    std::error_code error;
    auto status = std::filesystem::status(std::filesystem::path(path), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

class HeadlessChooser final : public FileChooser {
public:
    const char* name() const override { return "headless"; }
    std::optional<std::string> chooseFileToOpen(const OpenFileRequest& request) override {
        std::string answer;
        {
            auto& s = script();
            std::lock_guard lock(s.mutex);
            s.lastRequest = request;
            if (s.answers.empty()) return std::nullopt;
            answer = std::move(s.answers.front());
            s.answers.pop_front();
        }
        if (answer.empty()) return std::nullopt;
        if (request.fileMustExist && !isExistingFile(answer)) return std::nullopt;
        return answer;
    }
};

} // namespace

namespace headless {

FileChooser& fileChooser() {
    static HeadlessChooser* chooser = new HeadlessChooser;
    return *chooser;
}

void scriptOpenFileName(const std::string& path) {
    withScript([&](Script& s) { s.answers.push_back(path); });
}

std::vector<std::string> lastOpenFileFilters() {
    return withScript([](Script& s) {
        std::vector<std::string> out;
        if (!s.lastRequest) return out;
        for (const auto& [text, patterns] : s.lastRequest->filters) {
            out.push_back(text);
            out.push_back(patterns);
        }
        return out;
    });
}

std::optional<OpenFileRequest> lastOpenFileRequest() {
    return withScript([](Script& s) { return s.lastRequest; });
}

size_t scriptedOpenFileNames() {
    return withScript([](Script& s) { return s.answers.size(); });
}

} // namespace headless
} // namespace platform
