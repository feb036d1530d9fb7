// The player's main window: the menu, the status bar, the open dialog and the
// playback of one rendered buffer through the wave output.
#pragma once

#include "framework/frame.h"
#include "platform/win32.h"
#include "sound/play_format.h"

#include <cstdint>
#include <string>

class StatusBar;
class WindowMenu;

enum : UINT {
    IDM_MML_OPEN = 257,
    IDM_EXIT = 260,
};

class MainFrame : public MainWindow {
public:
    // 60 seconds at the rate the engine renders.
    static constexpr uint32_t sampleRate = play_format::sampleRate;
    static constexpr uint32_t bufferBytes = play_format::bufferBytes;

    MainFrame(const std::string& title, const std::string& className);

    LRESULT windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Shows the platform's open dialog; the chosen path in UTF-8, or "" when
    // nothing was chosen. `filter` holds display texts and patterns, each
    // followed by a NUL. A path longer than the dialog's buffer takes is an error
    // (std::runtime_error) that ends the program as a load error does.
    virtual std::string openFileDialog(const std::string& filter);

protected:
    void setUp(HWND hwnd);
    void startPlayback(HWND hwnd);

    // Made once on WM_CREATE and kept for the life of the process.
    WindowMenu* mainMenu = nullptr;
    StatusBar* statusBar = nullptr;
    HWAVEOUT waveOut = nullptr;
    WAVEFORMATEX waveFormat{};
    WAVEHDR waveHeader{};
    // Never freed or moved: a device whose close was refused may still be
    // playing it when the window is gone.
    uint8_t* pcmBuffer = nullptr;
};
