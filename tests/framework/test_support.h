#pragma once

#include "framework/text.h"
#include "win32.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// Window classes stay registered for the whole process, so every test takes a fresh name.
std::string uniqueClassName(const std::string& stem);

// Registers a class whose procedure is the framework's class procedure.
void registerFrameworkClass(const std::string& name);

// A window's rectangle in the client coordinates of another window.
RECT rectIn(HWND window, HWND parent);

RECT clientRect(HWND window);

// Runs fn with standard output captured and returns what it wrote.
std::string captureStdout(const std::function<void()>& fn);

// Removes everything waiting in the thread's queue, WM_QUIT included, so one test's
// leftovers cannot end another test's loop.
void drainMessages();

// One message as a spy saw it.
struct SeenMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Puts itself between a window and its current procedure (as an application would with
// SetWindowLongPtrW) and records what arrives; an inspector may copy what lParam points at
// while it is still valid.
class MessageSpy {
public:
    explicit MessageSpy(HWND window, std::function<void(const SeenMessage&)> inspector = {});
    ~MessageSpy();
    MessageSpy(const MessageSpy&) = delete;
    MessageSpy& operator=(const MessageSpy&) = delete;

    std::vector<SeenMessage> seen;
    // Only the messages with this value, in arrival order.
    std::vector<SeenMessage> only(UINT message) const;

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static std::map<HWND, MessageSpy*>& spies();

    HWND window;
    WNDPROC previous;
    std::function<void(const SeenMessage&)> inspector;
};

// Destroys a window at the end of a scope, if it still exists.
struct WindowGuard {
    HWND window;
    ~WindowGuard() {
        if (window) DestroyWindow(window);
    }
};
