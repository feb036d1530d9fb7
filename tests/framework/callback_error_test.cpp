// Errors raised by our handlers never unwind through the system's frames: the procedure
// the system called keeps them and returns, and the message loop raises them again.
#include "tests/framework/recording.h"

#include "framework/callback_error.h"
#include "framework/frame.h"
#include "framework/win32_frame.h"
#include "framework/window_object.h"

#include <stdexcept>
#include <string>

namespace {

constexpr UINT WM_FAIL = WM_APP + 40;
constexpr UINT WM_AFTER = WM_APP + 41;
constexpr UINT WM_FAIL_NESTED = WM_APP + 42;

// A main window whose handler raises on request, the way a load error leaves MainFrame.
class FailingWindow : public MainWindow {
public:
    explicit FailingWindow(UINT failOn = WM_FAIL)
        : MainWindow("Failing", uniqueClassName("Fail")), failOn(failOn) {}

    LRESULT windowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE && failOn != WM_CREATE) {
            PostMessageW(h, WM_FAIL, 0, 0);
            PostMessageW(h, WM_AFTER, 0, 0);
        }
        if (message == failOn) throw std::runtime_error("first failure");
        if (message == WM_FAIL_NESTED) {
            SendMessageW(h, WM_FAIL, 0, 0); // raises inside, and is kept
            throw std::runtime_error("second failure");
        }
        if (message == WM_AFTER) sawAfter = true;
        return MainWindow::windowProc(h, message, wParam, lParam);
    }

    UINT failOn;
    bool sawAfter = false;
};

// A window object whose subclass hook raises before the class procedure is reached.
class FailingHook : public ChildObject {
public:
    int onSubclassMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_FAIL) throw std::logic_error("hook failure");
        return ChildObject::onSubclassMessage(h, message, wParam, lParam);
    }
    LRESULT windowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_FAIL) reachedClassProcedure = true;
        return ChildObject::windowProc(h, message, wParam, lParam);
    }
    bool reachedClassProcedure = false;
};

class CallbackErrors : public testing::Test {
protected:
    void SetUp() override { drainMessages(); }
    void TearDown() override {
        drainMessages();
        // Nothing may be left for the next test's loop.
        EXPECT_NO_THROW(rethrowCallbackError());
    }
};

std::string messageOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing raised)";
}

TEST_F(CallbackErrors, TheSystemCallReturnsTheNeutralResultAndTheErrorIsKept) {
    FailingWindow w;
    ASSERT_EQ(w.open(WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr), 0);
    WindowGuard guard{w.getHandle()};
    LRESULT result = -7;
    EXPECT_NO_THROW(result = SendMessageW(w.getHandle(), WM_FAIL, 0, 0));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(messageOf(rethrowCallbackError), "first failure");
    EXPECT_EQ(messageOf(rethrowCallbackError), "(nothing raised)"); // rethrown once only
}

TEST_F(CallbackErrors, ASubclassHookThatRaisesStopsTheMessageThere) {
    FailingWindow parent;
    ASSERT_EQ(parent.open(WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr), 0);
    WindowGuard guard{parent.getHandle()};
    FailingHook hook;
    ASSERT_EQ(hook.open(parent.getHandle(), 5), 0);
    LRESULT result = -7;
    EXPECT_NO_THROW(result = SendMessageW(hook.getHandle(), WM_FAIL, 0, 0));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(hook.reachedClassProcedure);
    EXPECT_EQ(messageOf(rethrowCallbackError), "hook failure");
}

TEST_F(CallbackErrors, TheFirstErrorOfOneDispatchIsTheOneRaisedAgain) {
    FailingWindow w;
    ASSERT_EQ(w.open(WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr), 0);
    WindowGuard guard{w.getHandle()};
    EXPECT_EQ(SendMessageW(w.getHandle(), WM_FAIL_NESTED, 0, 0), 0);
    EXPECT_EQ(messageOf(rethrowCallbackError), "first failure");
}

TEST_F(CallbackErrors, RunRaisesTheErrorAsSoonAsItsMessageIsDispatched) {
    Win32Frame app;
    FailingWindow w;
    app.setMainWindow(&w);
    app.setWindowRect(10, 10, 300, 128);
    app.setWindowStyle(WS_OVERLAPPEDWINDOW);
    std::string raised;
    const std::string out = captureStdout([&] { raised = messageOf([&] { app.run(); }); });
    WindowGuard guard{w.getHandle()};
    EXPECT_EQ(raised, "first failure");
    EXPECT_EQ(out, "");
    // The message posted behind the failing one was never dispatched.
    EXPECT_FALSE(w.sawAfter);
}

TEST_F(CallbackErrors, AnErrorWhileTheMainWindowIsCreatedIsRaisedNotReportedAsAnOpenError) {
    Win32Frame app;
    FailingWindow w(WM_CREATE);
    app.setMainWindow(&w);
    app.setWindowStyle(WS_OVERLAPPEDWINDOW);
    std::string raised;
    const std::string out = captureStdout([&] { raised = messageOf([&] { app.run(); }); });
    WindowGuard guard{IsWindow(w.getHandle()) ? w.getHandle() : nullptr};
    EXPECT_EQ(raised, "first failure");
    EXPECT_EQ(out, "");
}

} // namespace
