#include "app/main_frame.h"

#include "framework/status_bar.h"
#include "framework/text.h"
#include "framework/window_menu.h"
#include "platform/pcm_format.h"
#include "sound/sound.h"

#include <cstddef>
#include <exception>
#include <memory>
#include <span>
#include <stdexcept>

namespace {

// The filter pairs of the open dialog, each text followed by a NUL.
const std::string mmlFilter("MML {*.mml}\0*.mml\0ALL {*.*}\0*.*\0", 32);

// OPENFILENAME_SIZE_VERSION_400W, the record's first version; its size is checked with the
// other records' in framework/record_sizes.cpp.
constexpr DWORD openFileNameSize = offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR);

} // namespace

MainFrame::MainFrame(const std::string& title, const std::string& className)
    : MainWindow(title, className) {}

LRESULT MainFrame::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        setUp(hwnd);
        return 0;
    case WM_DESTROY:
        // No reset first: a close refused while the buffer plays ends with the process.
        waveOutClose(waveOut);
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
    case WM_SIZE:
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_MML_OPEN:
            startPlayback(hwnd);
            break;
        case IDM_EXIT:
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        return 0;
    case MM_WOM_OPEN:
        // wParam is the device that has just opened.
        waveOutWrite(reinterpret_cast<HWAVEOUT>(wParam), &waveHeader, sizeof(WAVEHDR));
        return 0;
    case MM_WOM_CLOSE:
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void MainFrame::setUp(HWND hwnd) {
    mainMenu = new WindowMenu();
    mainMenu->create();
    mainMenu->addPopup(MFT_STRING, "File", 0);
    mainMenu->addItem("File", MFT_STRING, "MML Open", IDM_MML_OPEN);
    mainMenu->addItem("File", MFT_STRING, "Exit", IDM_EXIT);
    SetMenu(hwnd, mainMenu->getHandle());

    statusBar = new StatusBar();
    statusBar->addStyle(SBARS_SIZEGRIP | CCS_BOTTOM);
    attachStatusBar(statusBar, "");

    pcmBuffer = new uint8_t[bufferBytes];

    waveFormat = monoPcm8Format(sampleRate);

    waveHeader = WAVEHDR{};
    waveHeader.lpData = reinterpret_cast<LPSTR>(pcmBuffer);
    waveHeader.dwBufferLength = bufferBytes;
    waveHeader.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    waveHeader.dwLoops = 1;
}

void MainFrame::startPlayback(HWND hwnd) {
    std::string name;
    std::exception_ptr unnamed; // a file chosen whose path the dialog could not hand over
    try {
        name = openFileDialog(mmlFilter);
    } catch (const std::runtime_error&) {
        unnamed = std::current_exception();
    }
    if (name.empty() && !unnamed) return;

    // Stop and close whatever plays, also when nothing ever did: the device
    // must not read the buffer while it is rewritten.
    waveOutReset(waveOut);
    waveOutClose(waveOut);

    // A file that cannot be named ends the program as one that cannot be loaded.
    if (unnamed) std::rethrow_exception(unnamed);
    {
        // Errors from loading are not caught here: they end the program.
        auto sound = std::make_unique<Sound>();
        sound->load(name);
        sound->render(std::span<uint8_t>(pcmBuffer, bufferBytes), sampleRate);
    }

    waveOutOpen(&waveOut, WAVE_MAPPER, &waveFormat, reinterpret_cast<DWORD_PTR>(hwnd), 0,
                CALLBACK_WINDOW);
    waveOutPrepareHeader(waveOut, &waveHeader, sizeof(WAVEHDR));
}

std::string MainFrame::openFileDialog(const std::string& filter) {
    WString filterUnits = toWide(filter);
    filterUnits.push_back(0); // the list ends with an empty entry
    WCHAR file[260] = {0};

    OPENFILENAMEW ofn{};
    ofn.lStructSize = openFileNameSize;
    ofn.hwndOwner = getHandle();
    ofn.lpstrFilter = filterUnits.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.Flags = OFN_FILEMUSTEXIST;
    if (GetOpenFileNameW(&ofn) == 0) {
        // Not a cancel: a file was chosen that the player cannot name. Said, not dropped.
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            throw std::runtime_error("The chosen file's path is longer than the 259 characters "
                                     "the player can open");
        return "";
    }

    size_t length = 0;
    while (length < 260 && file[length] != 0)
        ++length;
    return toUtf8(file, length);
}
