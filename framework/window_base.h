#pragma once

#include "framework/text.h"
#include "platform/win32.h"

#include <map>
#include <string>

// Root of every window object: registers a window class, creates the window with the
// object as its creation parameter and routes each message of it to the virtual hooks.
//
// Path of a message once the window exists:
//   subclassWindowProc -> onSubclassMessage (result ignored) -> saved procedure;
//   for a framework class the saved procedure is classWindowProc -> onMessage -> windowProc.
// For a foreign class (a common control) the saved procedure is the control's own.
class WindowBase {
public:
    explicit WindowBase(const std::string& title);
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    virtual int setWindowClass(WNDCLASSEXW windowClass);
    virtual int registerClass();
    virtual int create(DWORD exStyle, DWORD style, int x, int y, int width, int height, HWND parent,
                       HMENU menu);
    virtual HWND getHandle();
    virtual HWND getParent();
    virtual HINSTANCE getInstance();
    virtual int setFont(HFONT font);
    virtual int setText(const std::string& text);
    virtual std::string getTextBytes();
    virtual std::string getText();
    virtual LRESULT onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    virtual int subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    virtual int onSubclassMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Objects normally live as long as the program. One that goes earlier hands its
    // window back to the procedure it had before subclassing and leaves the maps, so a
    // late message finds no dangling object.
    virtual ~WindowBase();

    static LRESULT CALLBACK classWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK subclassWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam);

private:
    // What the two procedures do, outside the guard that keeps their errors from the system.
    static LRESULT routeClassMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT routeSubclassMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Keeps the UTF-16 copy alive for as long as wc points at it.
    void setClassName(const std::string& name);

    HWND hwnd = nullptr;
    WNDCLASSEXW wc{};
    std::string title;
    UINT_PTR menu = 0;
    int created = 0;

    static std::map<HWND, WindowBase*> handleMap;
    static std::map<HWND, WNDPROC> originalProcMap;

private:
    WString className;
};
