// The web display driver (see display.cpp).
#pragma once

#include "platform/drivers/driver.h"

namespace platform::web {

class Display final : public DisplayDriver {
public:
    const char* name() const override { return "web"; }

    void windowCreated(HWND) override;
    void windowDestroyed(HWND) override;
    void windowMoved(HWND) override;
    void windowShown(HWND, bool visible) override;
    void windowTextChanged(HWND) override;
    void menuChanged(HWND) override;
    void windowInvalidated(HWND) override;

    void waitForEvents(std::chrono::milliseconds timeout) override;
    void wake() override;

private:
    // Carries out the user's actions the page has kept; false when there were none.
    bool takeActions();
    void show(HWND);
    void showMenu(HWND top);
    void showStatus(HWND top);
};

} // namespace platform::web
