// Recording the messages windows receive, for every suite that checks them: the platform's
// own, the parity suite (natively and under Wine) and the framework's. Written against
// win32.h alone, so it builds on Windows too.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <map>
#include <vector>

namespace message_recorder {

// One message as a recorder saw it.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Messages received by windows of a recording class, in order.
std::vector<Seen>& seen();
// The messages (only their numbers) one window received, optionally only those listed.
std::vector<UINT> messagesOf(HWND hwnd, const std::vector<UINT>& only = {});

// Runs before the default processing; returning true makes *result the message's result.
using Hook = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT* result)>;
void setHook(Hook hook);

// Registers a class whose procedure records every message, runs the hook and passes on to
// DefWindowProcW. False when the class could not be registered.
bool registerRecordingClass(const WCHAR* className);

// Puts itself between a window and its current procedure (as an application would with
// SetWindowLongPtrW) and records what arrives; an inspector may copy what lParam points at
// while it is still valid.
class MessageSpy {
public:
    explicit MessageSpy(HWND window, std::function<void(const Seen&)> inspector = {});
    ~MessageSpy();
    MessageSpy(const MessageSpy&) = delete;
    MessageSpy& operator=(const MessageSpy&) = delete;

    std::vector<Seen> seen;
    // Only the messages with this value, in arrival order.
    std::vector<Seen> only(UINT message) const;

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static std::map<HWND, MessageSpy*>& spies();

    HWND window;
    WNDPROC previous;
    std::function<void(const Seen&)> inspector;
};

} // namespace message_recorder
