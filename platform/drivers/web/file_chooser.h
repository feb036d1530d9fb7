// The web file chooser (see file_chooser.cpp).
#pragma once

#include "platform/drivers/driver.h"

namespace platform::web {

class FileChooser final : public platform::FileChooser {
public:
    const char* name() const override { return "web"; }
    std::optional<std::string> chooseFileToOpen(const OpenFileRequest& request) override;
};

} // namespace platform::web
