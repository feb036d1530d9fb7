#pragma once

#include "framework/frame.h"
#include "framework/window_object.h"
#include "tests/framework/test_support.h"

#include <string>
#include <vector>

// Which hook saw a message, with what, and what getHandle answered at that moment.
struct Hooked {
    std::string hook;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    HWND handleAtTheTime;
};

inline std::vector<Hooked> onlyMessage(const std::vector<Hooked>& all, UINT message) {
    std::vector<Hooked> result;
    for (const auto& h : all)
        if (h.message == message) result.push_back(h);
    return result;
}

inline bool sawInHook(const std::vector<Hooked>& all, const std::string& hook, UINT message) {
    for (const auto& h : all)
        if (h.hook == hook && h.message == message) return true;
    return false;
}

// A window object of a class of its own that records every hook it passes through and
// shows its fields to the tests.
class RecordingObject : public WindowObject {
public:
    explicit RecordingObject(const std::string& title = "Recording",
                             const std::string& className = uniqueClassName("Object"))
        : WindowObject(title) {
        setClassName(className);
    }

    LRESULT onMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
        hooks.push_back({"onMessage", message, wParam, lParam, getHandle()});
        return WindowObject::onMessage(h, message, wParam, lParam);
    }
    LRESULT windowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
        hooks.push_back({"windowProc", message, wParam, lParam, getHandle()});
        if (message == WM_APP + 1) return 42;
        if (message == WM_CREATE) geometryAtCreate = RECT{x, y, width, height};
        if (message == WM_CREATE && failCreate) return -1;
        if (message == WM_NOTIFY && lParam)
            notifications.push_back(*reinterpret_cast<NMHDR*>(lParam));
        if (onWindowProc) onWindowProc(message);
        return WindowObject::windowProc(h, message, wParam, lParam);
    }
    int onSubclassMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
        hooks.push_back({"onSubclassMessage", message, wParam, lParam, getHandle()});
        WindowObject::onSubclassMessage(h, message, wParam, lParam);
        return 99;
    }

    // Registers the class and makes an invisible popup whose client area is the window.
    int makeTopLevel(int w = 200, int h = 100) {
        if (registerClass() != 0) return -1;
        return create(0, WS_POPUP, 10, 20, w, h, nullptr, nullptr);
    }

    void addSizeListener(HWND listener) { sizeListeners.push_back(listener); }

    using WindowBase::created;
    using WindowBase::handleMap;
    using WindowBase::menu;
    using WindowBase::originalProcMap;
    using WindowBase::setClassName;
    using WindowBase::wc;
    using WindowObject::exStyle;
    using WindowObject::fitMode;
    using WindowObject::fittedChildren;
    using WindowObject::height;
    using WindowObject::sizeListeners;
    using WindowObject::style;
    using WindowObject::toolTip;
    using WindowObject::width;
    using WindowObject::x;
    using WindowObject::y;

    std::vector<Hooked> hooks;
    bool failCreate = false;
    std::function<void(UINT)> onWindowProc;
    std::vector<NMHDR> notifications;
    RECT geometryAtCreate{}; // x, y, width, height as WM_CREATE left them
};

// A child window object of a framework class, for fitting.
class ChildObject : public RecordingObject {
public:
    explicit ChildObject(const std::string& title = "Child")
        : RecordingObject(title, sharedClass()) {
        setStyle(WS_CHILD | WS_VISIBLE);
    }

    static const std::string& sharedClass() {
        static const std::string name = [] {
            std::string n = uniqueClassName("Child");
            registerFrameworkClass(n);
            return n;
        }();
        return name;
    }
};
