#include "tests/framework/recording.h"

#include "controls/tool_tip.h"

#include <cstdint>
#include <cstdio>

namespace {

class WindowObjectTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(parent.makeTopLevel(200, 100), 0);
        guard.window = parent.getHandle();
    }
    void TearDown() override { drainMessages(); }

    void resizeParent(int w, int h) { MoveWindow(parent.getHandle(), 10, 20, w, h, TRUE); }

    static std::string fittedLine(HWND h, const std::string& name) {
        char line[128];
        std::snprintf(line, sizeof line, "add fitable Object : hwnd=%08x name=%s\n",
                      static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(h) & 0xFFFFFFFFu),
                      name.c_str());
        return line;
    }

    RecordingObject parent{"Parent"};
    WindowGuard guard{nullptr};
};

TEST_F(WindowObjectTest, GeometryFollowsCreateMoveAndSize) {
    // WM_CREATE leaves the client area at the origin, whatever the creation position.
    EXPECT_EQ(parent.geometryAtCreate.left, 0);
    EXPECT_EQ(parent.geometryAtCreate.top, 0);
    EXPECT_EQ(parent.geometryAtCreate.right, 200);
    EXPECT_EQ(parent.geometryAtCreate.bottom, 100);
    const RECT c = clientRect(parent.getHandle());
    EXPECT_EQ(parent.width, c.right);
    EXPECT_EQ(parent.height, c.bottom);
    resizeParent(150, 70);
    EXPECT_EQ(parent.width, 150);
    EXPECT_EQ(parent.height, 70);
    SendMessageW(parent.getHandle(), WM_MOVE, 0, MAKELPARAM(33, 44));
    EXPECT_EQ(parent.x, 33);
    EXPECT_EQ(parent.y, 44);
}

TEST_F(WindowObjectTest, OpenCreatesAChildWithStoredGeometryAndId) {
    ChildObject child;
    child.setRect(5, 6, 30, 40);
    ASSERT_EQ(child.open(parent.getHandle(), 17), 0);
    const RECT r = rectIn(child.getHandle(), parent.getHandle());
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right - r.left, 30);
    EXPECT_EQ(r.bottom - r.top, 40);
    EXPECT_EQ(GetDlgCtrlID(child.getHandle()), 17);
}

TEST_F(WindowObjectTest, EachFitModePlacesTheChild) {
    ChildObject none("None"), wide("Wide"), tall("Tall"), both("Both");
    for (ChildObject* c : {&none, &wide, &tall, &both})
        c->setRect(5, 6, 30, 40);
    std::string out = captureStdout([&] {
        EXPECT_EQ(parent.addFitableObject(&none, 1, false, false), 0);
        EXPECT_EQ(parent.addFitableObject(&wide, 2, true, false), 0);
        EXPECT_EQ(parent.addFitableObject(&tall, 3, false, true), 0);
        EXPECT_EQ(parent.addFitableObject(&both, 4, true, true), 0);
    });
    EXPECT_EQ(out, fittedLine(wide.getHandle(), "Wide") + fittedLine(tall.getHandle(), "Tall") +
                       fittedLine(both.getHandle(), "Both"));
    ASSERT_EQ(parent.fittedChildren.size(), 3u);
    EXPECT_EQ(parent.fitMode[wide.getHandle()], 1);
    EXPECT_EQ(parent.fitMode[tall.getHandle()], 2);
    EXPECT_EQ(parent.fitMode[both.getHandle()], 3);

    resizeParent(180, 90);
    const RECT c = clientRect(parent.getHandle());
    const RECT n = rectIn(none.getHandle(), parent.getHandle());
    EXPECT_EQ(n.left, 5);
    EXPECT_EQ(n.top, 6);
    EXPECT_EQ(n.right, 35);
    EXPECT_EQ(n.bottom, 46);
    const RECT w = rectIn(wide.getHandle(), parent.getHandle());
    EXPECT_EQ(w.left, 0);
    EXPECT_EQ(w.right, c.right);
    EXPECT_EQ(w.top, 6);
    EXPECT_EQ(w.bottom, 46);
    const RECT t = rectIn(tall.getHandle(), parent.getHandle());
    EXPECT_EQ(t.left, 5);
    EXPECT_EQ(t.right, 35);
    EXPECT_EQ(t.top, 0);
    EXPECT_EQ(t.bottom, c.bottom);
    const RECT b = rectIn(both.getHandle(), parent.getHandle());
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.top, 0);
    EXPECT_EQ(b.right, c.right);
    EXPECT_EQ(b.bottom, c.bottom);
}

TEST_F(WindowObjectTest, AChildAddedTwiceIsFittedTwiceWithTheLaterMode) {
    ChildObject child("Twice");
    child.setRect(5, 6, 30, 40);
    std::string out = captureStdout([&] {
        EXPECT_EQ(parent.addFitableObject(&child, 1, true, false), 0);
        EXPECT_EQ(parent.addFitableObject(&child, 1, false, true), 0);
    });
    EXPECT_EQ(out, fittedLine(child.getHandle(), "Twice") + fittedLine(child.getHandle(), "Twice"));
    ASSERT_EQ(parent.fittedChildren.size(), 2u);
    EXPECT_EQ(parent.fittedChildren[0], parent.fittedChildren[1]);
    EXPECT_EQ(parent.fitMode[child.getHandle()], 2);
    resizeParent(160, 80);
    const RECT r = rectIn(child.getHandle(), parent.getHandle());
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, clientRect(parent.getHandle()).bottom);
}

TEST_F(WindowObjectTest, AChildThatCannotBeMadeIsNotRegistered) {
    RecordingObject orphan("Orphan", uniqueClassName("Unregistered"));
    orphan.setStyle(WS_CHILD);
    std::string out;
    out = captureStdout([&] { EXPECT_EQ(parent.addFitableObject(&orphan, 1, true, true), -2); });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(parent.fittedChildren.empty());
    EXPECT_EQ(parent.addFitableObject(nullptr, 1, true, true), -1);
}

TEST_F(WindowObjectTest, ListenersGetTheSameSizeMessageAfterTheChildrenMoved) {
    ChildObject fitted("Fitted");
    captureStdout([&] { parent.addFitableObject(&fitted, 1, true, true); });
    ChildObject listener("Listener");
    ASSERT_EQ(listener.open(parent.getHandle(), 2), 0);
    RECT fittedAtNotice{};
    listener.onWindowProc = [&](UINT message) {
        if (message == WM_SIZE) fittedAtNotice = rectIn(fitted.getHandle(), parent.getHandle());
    };
    parent.addSizeListener(listener.getHandle());
    listener.hooks.clear();

    SendMessageW(parent.getHandle(), WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(123, 45));
    const auto sizes = onlyMessage(listener.hooks, WM_SIZE);
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes[2].wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
    EXPECT_EQ(sizes[2].lParam, MAKELPARAM(123, 45));
    const RECT c = clientRect(parent.getHandle());
    EXPECT_EQ(fittedAtNotice.right, c.right);
    EXPECT_EQ(fittedAtNotice.bottom, c.bottom);
}

TEST_F(WindowObjectTest, AttachToolTipWithoutTipChangesNothing) {
    EXPECT_EQ(parent.attachToolTip(nullptr), -1);
    EXPECT_EQ(parent.toolTip, nullptr);
}

} // namespace
