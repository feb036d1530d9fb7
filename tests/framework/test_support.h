#pragma once

#include "framework/text.h"
#include "platform/win32.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <functional>
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

// Messages seen by a spy between a window and its procedure.
using message_recorder::MessageSpy;
using SeenMessage = message_recorder::Seen;

// Destroys a window at the end of a scope, if it still exists.
struct WindowGuard {
    HWND window;
    ~WindowGuard() {
        if (window) DestroyWindow(window);
    }
};
