#include "tests/framework/recording.h"

#include "controls/rebar.h"

#include <algorithm>

namespace {

class WindowBaseTest : public testing::Test {
protected:
    void TearDown() override { drainMessages(); }
};

size_t indexOf(const std::vector<Hooked>& hooks, const std::string& hook, UINT message) {
    for (size_t i = 0; i < hooks.size(); ++i)
        if (hooks[i].hook == hook && hooks[i].message == message) return i;
    return hooks.size();
}

TEST_F(WindowBaseTest, ConstructorPreparesTheClassRecord) {
    RecordingObject object("Title", "SomeClass");
    EXPECT_EQ(object.wc.cbSize, sizeof(WNDCLASSEXW));
    EXPECT_EQ(object.wc.lpfnWndProc, &WindowBase::classWindowProc);
    EXPECT_EQ(object.wc.hInstance, GetModuleHandleW(nullptr));
    EXPECT_EQ(object.getInstance(), GetModuleHandleW(nullptr));
    EXPECT_EQ(object.wc.style, 0u);
    EXPECT_EQ(object.wc.hIcon, nullptr);
    EXPECT_EQ(object.getHandle(), nullptr);
    EXPECT_EQ(object.created, 0);
}

TEST_F(WindowBaseTest, RegisteringANameTwiceFails) {
    RecordingObject first;
    RecordingObject second;
    const std::string name = uniqueClassName("Twice");
    first.setClassName(name);
    second.setClassName(name);
    EXPECT_EQ(first.registerClass(), 0);
    EXPECT_EQ(second.registerClass(), -1);
}

TEST_F(WindowBaseTest, CreationDeliversWmCreateWithTheHandleAlreadySet) {
    RecordingObject object;
    ASSERT_EQ(object.makeTopLevel(), 0);
    WindowGuard guard{object.getHandle()};
    HWND h = object.getHandle();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(object.created, 1);

    const auto creates = onlyMessage(object.hooks, WM_CREATE);
    ASSERT_EQ(creates.size(), 2u); // onMessage, then windowProc
    EXPECT_EQ(creates[0].hook, "onMessage");
    EXPECT_EQ(creates[0].handleAtTheTime, h);
    EXPECT_EQ(creates[1].hook, "windowProc");
    // Nothing before WM_CREATE reached the object: those messages went to DefWindowProcW.
    ASSERT_FALSE(object.hooks.empty());
    EXPECT_EQ(object.hooks.front().message, static_cast<UINT>(WM_CREATE));
    EXPECT_FALSE(sawInHook(object.hooks, "onMessage", WM_NCCREATE));
    EXPECT_FALSE(sawInHook(object.hooks, "onMessage", WM_GETMINMAXINFO));
    EXPECT_FALSE(sawInHook(object.hooks, "onMessage", WM_NCCALCSIZE));
    // The subclass is installed after CreateWindowExW returns, so nothing during
    // creation went through it.
    for (const auto& hook : object.hooks) {
        if (hook.message == WM_CREATE) {
            EXPECT_NE(hook.hook, "onSubclassMessage");
        }
    }
}

TEST_F(WindowBaseTest, DefaultProcessingOfNcCreateStoresTheTitle) {
    RecordingObject object("Grüße ♪");
    ASSERT_EQ(object.makeTopLevel(), 0);
    WindowGuard guard{object.getHandle()};
    EXPECT_EQ(object.getText(), "Grüße ♪");
}

TEST_F(WindowBaseTest, SizeAndMoveFollowCreateDuringCreation) {
    RecordingObject object;
    ASSERT_EQ(object.makeTopLevel(), 0);
    WindowGuard guard{object.getHandle()};
    const size_t create = indexOf(object.hooks, "onMessage", WM_CREATE);
    const size_t size = indexOf(object.hooks, "onMessage", WM_SIZE);
    const size_t move = indexOf(object.hooks, "onMessage", WM_MOVE);
    ASSERT_LT(size, object.hooks.size());
    ASSERT_LT(move, object.hooks.size());
    EXPECT_LT(create, size);
    EXPECT_LT(create, move);
}

TEST_F(WindowBaseTest, EveryMessageTakesTheFixedPathInOrder) {
    RecordingObject object;
    ASSERT_EQ(object.makeTopLevel(), 0);
    WindowGuard guard{object.getHandle()};
    HWND h = object.getHandle();
    object.hooks.clear();

    const LRESULT result = SendMessageW(h, WM_APP + 1, 5, 6);
    EXPECT_EQ(result, 42); // windowProc's value; onSubclassMessage's 99 is ignored
    const auto seen = onlyMessage(object.hooks, WM_APP + 1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].hook, "onSubclassMessage");
    EXPECT_EQ(seen[1].hook, "onMessage");
    EXPECT_EQ(seen[2].hook, "windowProc");
    for (const auto& s : seen) {
        EXPECT_EQ(s.wParam, 5u);
        EXPECT_EQ(s.lParam, 6);
    }
}

TEST_F(WindowBaseTest, PostedMessagesTakeTheSamePathThroughDispatch) {
    RecordingObject object;
    ASSERT_EQ(object.makeTopLevel(), 0);
    WindowGuard guard{object.getHandle()};
    object.hooks.clear();
    ASSERT_TRUE(PostMessageW(object.getHandle(), WM_APP + 1, 7, 8));
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_APP + 1) {
            EXPECT_EQ(DispatchMessageW(&msg), 42);
        } else if (msg.message != WM_QUIT) {
            DispatchMessageW(&msg);
        }
    }
    const auto seen = onlyMessage(object.hooks, WM_APP + 1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].hook, "onSubclassMessage");
    EXPECT_EQ(seen[2].hook, "windowProc");
    EXPECT_EQ(seen[2].wParam, 7u);
}

TEST_F(WindowBaseTest, CreationFillsBothMapsAndSubclasses) {
    RecordingObject object;
    ASSERT_EQ(object.makeTopLevel(), 0);
    HWND h = object.getHandle();
    WindowGuard guard{h};
    ASSERT_TRUE(RecordingObject::handleMap.count(h));
    EXPECT_EQ(RecordingObject::handleMap[h], &object);
    ASSERT_TRUE(RecordingObject::originalProcMap.count(h));
    EXPECT_EQ(RecordingObject::originalProcMap[h], &WindowBase::classWindowProc);
    EXPECT_EQ(GetWindowLongPtrW(h, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(&WindowBase::subclassWindowProc));
}

TEST_F(WindowBaseTest, SecondCreateOnlyStoresTheMenu) {
    RecordingObject object;
    ASSERT_EQ(object.makeTopLevel(), 0);
    HWND h = object.getHandle();
    WindowGuard guard{h};
    object.hooks.clear();
    EXPECT_EQ(object.create(0, WS_POPUP, 0, 0, 10, 10, nullptr, reinterpret_cast<HMENU>(77)), 0);
    EXPECT_EQ(object.getHandle(), h);
    EXPECT_EQ(object.menu, 77u);
    EXPECT_FALSE(sawInHook(object.hooks, "onMessage", WM_CREATE));
}

TEST_F(WindowBaseTest, CreateOfAnUnknownClassFailsWithMinusTwo) {
    RecordingObject object("NoClass", uniqueClassName("NeverRegistered"));
    EXPECT_EQ(object.create(0, WS_POPUP, 0, 0, 10, 10, nullptr, reinterpret_cast<HMENU>(5)), -2);
    EXPECT_EQ(object.getHandle(), nullptr);
    EXPECT_EQ(object.created, 0);
    EXPECT_EQ(object.menu, 0u);
}

TEST_F(WindowBaseTest, CreationRefusedInWmCreateLeavesTheObjectUncreated) {
    RecordingObject object;
    object.failCreate = true;
    EXPECT_EQ(object.makeTopLevel(), -2);
    EXPECT_EQ(object.getHandle(), nullptr);
    EXPECT_EQ(object.created, 0);
    // It can be tried again.
    object.failCreate = false;
    EXPECT_EQ(object.create(0, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr), 0);
    WindowGuard guard{object.getHandle()};
    EXPECT_NE(object.getHandle(), nullptr);
}

TEST_F(WindowBaseTest, ForeignClassSeesOnlyTheSubclassHook) {
    RecordingObject parent;
    ASSERT_EQ(parent.makeTopLevel(), 0);
    WindowGuard guard{parent.getHandle()};

    class RecordingRebar : public Rebar {
    public:
        RecordingRebar() : Rebar("Rebar") {}
        LRESULT onMessage(HWND h, UINT m, WPARAM w, LPARAM l) override {
            onMessageCalls++;
            return Rebar::onMessage(h, m, w, l);
        }
        LRESULT windowProc(HWND h, UINT m, WPARAM w, LPARAM l) override {
            windowProcCalls++;
            return Rebar::windowProc(h, m, w, l);
        }
        int onSubclassMessage(HWND h, UINT m, WPARAM w, LPARAM l) override {
            messages.push_back(m);
            Rebar::onSubclassMessage(h, m, w, l);
            return 12345;
        }
        int onMessageCalls = 0;
        int windowProcCalls = 0;
        std::vector<UINT> messages;
    };
    testing::internal::CaptureStdout();
    RecordingRebar rebar;
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(rebar.open(parent.getHandle(), 3), 0);
    HWND h = rebar.getHandle();
    ASSERT_NE(h, nullptr);
    EXPECT_NE(RecordingObject::originalProcMap[h], &WindowBase::classWindowProc);

    EXPECT_EQ(SendMessageW(h, RB_GETBANDCOUNT, 0, 0), 0);
    SendMessageW(h, WM_APP + 3, 0, 0);
    ASSERT_GE(rebar.messages.size(), 2u);
    EXPECT_NE(std::find(rebar.messages.begin(), rebar.messages.end(), UINT(RB_GETBANDCOUNT)),
              rebar.messages.end());
    EXPECT_NE(std::find(rebar.messages.begin(), rebar.messages.end(), UINT(WM_APP + 3)),
              rebar.messages.end());
    EXPECT_EQ(rebar.onMessageCalls, 0);
    EXPECT_EQ(rebar.windowProcCalls, 0);
}

TEST_F(WindowBaseTest, WindowTextRoundTripsAsUtf16) {
    RecordingObject object("");
    ASSERT_EQ(object.makeTopLevel(), 0);
    WindowGuard guard{object.getHandle()};
    EXPECT_EQ(object.getText(), "");
    EXPECT_EQ(object.getTextBytes(), "");

    EXPECT_EQ(object.setText("A\xE2\x82\xAC"), 1); // "A€"
    EXPECT_EQ(object.getTextBytes(), std::string("\x41\x00\xAC\x20", 4));
    EXPECT_EQ(object.getText(), "A\xE2\x82\xAC");

    EXPECT_EQ(object.setText("\xF0\x9D\x84\x9E"), 1); // outside the BMP: a surrogate pair
    EXPECT_EQ(object.getTextBytes().size(), 4u);
    EXPECT_EQ(object.getText(), "\xF0\x9D\x84\x9E");
}

TEST_F(WindowBaseTest, OperationsWithoutAWindowReportFailure) {
    RecordingObject object;
    EXPECT_EQ(object.setText("x"), 0);
    EXPECT_EQ(object.setFont(nullptr), -1);
    EXPECT_EQ(object.getText(), "");
    EXPECT_EQ(object.getParent(), nullptr);
}

TEST_F(WindowBaseTest, SetFontSendsWmSetFontWithRedraw) {
    RecordingObject object;
    ASSERT_EQ(object.makeTopLevel(), 0);
    WindowGuard guard{object.getHandle()};
    object.hooks.clear();
    HFONT font = reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(object.setFont(font), 0);
    const auto seen = onlyMessage(object.hooks, WM_SETFONT);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].wParam, reinterpret_cast<WPARAM>(font));
    EXPECT_EQ(seen[2].lParam, 1);
}

TEST_F(WindowBaseTest, GetParentNamesTheParentWindow) {
    RecordingObject parent;
    ASSERT_EQ(parent.makeTopLevel(), 0);
    WindowGuard guard{parent.getHandle()};
    ChildObject child;
    ASSERT_EQ(child.open(parent.getHandle(), 9), 0);
    EXPECT_EQ(child.getParent(), parent.getHandle());
}

TEST_F(WindowBaseTest, CloseReachesTheDefaultProcedureWhichDestroys) {
    RecordingObject object;
    ASSERT_EQ(object.makeTopLevel(), 0);
    HWND h = object.getHandle();
    SendMessageW(h, WM_CLOSE, 0, 0);
    EXPECT_TRUE(sawInHook(object.hooks, "windowProc", WM_DESTROY));
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowBaseTest, AnObjectGoneEarlyLeavesItsWindowSafe) {
    HWND h = nullptr;
    {
        RecordingObject object;
        ASSERT_EQ(object.makeTopLevel(), 0);
        h = object.getHandle();
    }
    WindowGuard guard{h};
    EXPECT_FALSE(RecordingObject::handleMap.count(h));
    EXPECT_FALSE(RecordingObject::originalProcMap.count(h));
    EXPECT_EQ(GetWindowLongPtrW(h, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(&WindowBase::classWindowProc));
    // Default processing now: WM_SETTEXT still works, nothing touches the freed object.
    const WString text = toWide("after");
    EXPECT_TRUE(SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

TEST_F(WindowBaseTest, WindowOfAFrameworkClassWithoutObjectGetsDefaultProcessing) {
    const std::string name = uniqueClassName("Bare");
    registerFrameworkClass(name);
    const WString wide = toWide(name);
    HWND h = CreateWindowExW(0, wide.c_str(), nullptr, WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(h, nullptr);
    WindowGuard guard{h};
    EXPECT_FALSE(RecordingObject::handleMap.count(h));
}

} // namespace
