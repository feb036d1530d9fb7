#include "tests/framework/recording.h"

#include "controls/common_control.h"
#include "controls/rebar.h"
#include "controls/tool_bar_ex.h"
#include "controls/tool_tip.h"
#include "framework/status_bar.h"

#include <cstring>

namespace {

class Flag : public CommonControl {
public:
    static bool& value() { return initialised; }
};

class InitRecord : public CommonControlEx {
public:
    using CommonControlEx::CommonControlEx;
    using CommonControlEx::init;
};

TEST(CommonControlTest, ThePlainInitialisationRunsOnceAndSaysNothing) {
    std::string out = captureStdout([] {
        StatusBar first;
        EXPECT_TRUE(Flag::value());
        StatusBar second;
        ToolTip tip;
        CommonControl plain;
    });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(Flag::value());
}

TEST(CommonControlTest, TheGroupInitialisationRunsAndSaysSoEveryTime) {
    std::string out = captureStdout([] {
        Rebar one("One");
        Rebar two("Two");
        ToolBarEx toolbar;
    });
    EXPECT_EQ(out, "exec InitCommonControlsEx()\n"
                   "exec InitCommonControlsEx()\n"
                   "exec InitCommonControlsEx()\n");
}

TEST(CommonControlTest, TheRecordCarriesItsSizeAndTheGroups) {
    std::string out = captureStdout([] {
        InitRecord none;
        EXPECT_EQ(none.init.dwSize, 8u);
        EXPECT_EQ(none.init.dwICC, 0u);
        InitRecord bars(ICC_BAR_CLASSES | ICC_COOL_CLASSES);
        EXPECT_EQ(bars.init.dwICC, 0x404u);
    });
    EXPECT_EQ(out.size(), 2 * std::strlen("exec InitCommonControlsEx()\n"));
}

// ---- toolbar ----

class TestToolBar : public ToolBarEx {
public:
    using ToolBarEx::handle;
    using ToolBarEx::style;
};

TBBUTTON makeButton(int image, int command) {
    TBBUTTON b{};
    b.iBitmap = image;
    b.idCommand = command;
    b.fsState = TBSTATE_ENABLED;
    b.fsStyle = BTNS_BUTTON;
    return b;
}

class ToolBarTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(parent.makeTopLevel(300, 100), 0);
        guard.window = parent.getHandle();
        captureStdout([&] { toolbar = std::make_unique<TestToolBar>(); });
    }
    RecordingObject parent;
    WindowGuard guard{nullptr};
    std::unique_ptr<TestToolBar> toolbar;
};

TEST_F(ToolBarTest, StartsWithoutWindow) {
    EXPECT_EQ(toolbar->handle, nullptr);
    EXPECT_EQ(toolbar->style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(toolbar->addStyle(TBSTYLE_FLAT), 0);
    EXPECT_EQ(toolbar->style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT));
    TBBUTTON b = makeButton(0, 1);
    TBADDBITMAP bitmap{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
    EXPECT_EQ(toolbar->addButtons(std::span<const TBBUTTON>(&b, 1), bitmap, 1), 0);
    EXPECT_EQ(toolbar->sendMessage(TB_BUTTONCOUNT, 0, 0), 0);
}

TEST_F(ToolBarTest, CreateOnceWithTheGivenButtons) {
    const TBBUTTON buttons[] = {makeButton(STD_FILENEW, 10), makeButton(STD_FILEOPEN, 11),
                                makeButton(STD_FILESAVE, 12)};
    ASSERT_EQ(toolbar->create(parent.getHandle(), 7, 15, buttons, 2), 0);
    HWND first = toolbar->handle;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetParent(first), parent.getHandle());
    EXPECT_EQ(GetDlgCtrlID(first), 7);
    // The count, not the array, says how many buttons are read.
    EXPECT_EQ(toolbar->sendMessage(TB_BUTTONCOUNT, 0, 0), 2);
    EXPECT_EQ(toolbar->create(parent.getHandle(), 8, 15, buttons, 3), 0);
    EXPECT_EQ(toolbar->handle, first);
    EXPECT_EQ(toolbar->sendMessage(TB_BUTTONCOUNT, 0, 0), 2);
}

TEST_F(ToolBarTest, AFailedCreationCanBeRetried) {
    const TBBUTTON one[] = {makeButton(0, 1)};
    EXPECT_EQ(toolbar->create(nullptr, 7, 15, one, 1), -1); // a child needs a parent
    EXPECT_EQ(toolbar->handle, nullptr);
    EXPECT_EQ(toolbar->create(parent.getHandle(), 7, 15, one, 1), 0);
    EXPECT_NE(toolbar->handle, nullptr);
}

TEST_F(ToolBarTest, ACountBeyondTheArrayIsRefused) {
    const TBBUTTON one[] = {makeButton(0, 1)};
    EXPECT_EQ(toolbar->create(parent.getHandle(), 7, 15, one, 2), -1);
    EXPECT_EQ(toolbar->handle, nullptr);
    EXPECT_EQ(toolbar->create(parent.getHandle(), 7, 15, one, -1), -1);
    EXPECT_EQ(toolbar->create(parent.getHandle(), 7, 15, {}, 0), 0); // no buttons is fine
    EXPECT_EQ(toolbar->sendMessage(TB_BUTTONCOUNT, 0, 0), 0);
}

TEST_F(ToolBarTest, AddButtonsSendsImagesButtonsAndAutosizeWithOneCount) {
    ASSERT_EQ(toolbar->create(parent.getHandle(), 7, 15, {}, 0), 0);
    TBADDBITMAP seenBitmap{};
    MessageSpy spy(toolbar->handle, [&](const SeenMessage& m) {
        if (m.message == TB_ADDBITMAP) seenBitmap = *reinterpret_cast<const TBADDBITMAP*>(m.lParam);
    });
    const TBBUTTON buttons[] = {makeButton(STD_CUT, 20), makeButton(STD_COPY, 21)};
    TBADDBITMAP bitmap{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
    EXPECT_EQ(toolbar->addButtons(buttons, bitmap, 2), 0);

    std::vector<UINT> order;
    for (const auto& m : spy.seen)
        if (m.message == TB_ADDBITMAP || m.message == TB_ADDBUTTONSW || m.message == TB_AUTOSIZE)
            order.push_back(m.message);
    EXPECT_EQ(order, (std::vector<UINT>{TB_ADDBITMAP, TB_ADDBUTTONSW, TB_AUTOSIZE}));
    EXPECT_EQ(spy.only(TB_ADDBITMAP)[0].wParam, 2u);
    EXPECT_EQ(spy.only(TB_ADDBUTTONSW)[0].wParam, 2u);
    EXPECT_EQ(seenBitmap.hInst, HINST_COMMCTRL);
    EXPECT_EQ(seenBitmap.nID, static_cast<UINT_PTR>(IDB_STD_SMALL_COLOR));
    EXPECT_EQ(toolbar->sendMessage(TB_BUTTONCOUNT, 0, 0), 2);
}

TEST_F(ToolBarTest, AnEmptyButtonListIsRefusedWithoutSending) {
    ASSERT_EQ(toolbar->create(parent.getHandle(), 7, 15, {}, 0), 0);
    MessageSpy spy(toolbar->handle);
    TBADDBITMAP bitmap{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
    EXPECT_EQ(toolbar->addButtons({}, bitmap, 0), -1);
    const TBBUTTON one[] = {makeButton(0, 1)};
    EXPECT_EQ(toolbar->addButtons(one, bitmap, 2), -1);
    EXPECT_TRUE(spy.only(TB_ADDBITMAP).empty());
    EXPECT_TRUE(spy.only(TB_ADDBUTTONSW).empty());
}

// ---- rebar ----

class TestRebar : public Rebar {
public:
    TestRebar() : Rebar("Rebar") {}
    int onSubclassMessage(HWND h, UINT m, WPARAM w, LPARAM l) override {
        if (m == RB_INSERTBANDW) {
            inserted.push_back(*reinterpret_cast<const REBARBANDINFOW*>(l));
            insertIndex.push_back(static_cast<int>(w));
        }
        return Rebar::onSubclassMessage(h, m, w, l);
    }
    using Rebar::bandTemplate;
    using WindowBase::wc;
    using WindowObject::exStyle;
    using WindowObject::style;
    std::vector<REBARBANDINFOW> inserted;
    std::vector<int> insertIndex;
};

class RebarTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(parent.makeTopLevel(300, 200), 0);
        guard.window = parent.getHandle();
        captureStdout([&] { rebar = std::make_unique<TestRebar>(); });
    }
    RecordingObject parent;
    WindowGuard guard{nullptr};
    std::unique_ptr<TestRebar> rebar;
};

TEST_F(RebarTest, ConstructorSetsClassStylesAndTemplate) {
    EXPECT_EQ(toUtf8(rebar->wc.lpszClassName, 13), "ReBarWindow32");
    EXPECT_EQ(rebar->wc.lpszClassName[13], 0);
    EXPECT_EQ(rebar->exStyle, 0x80u);
    EXPECT_EQ(rebar->style, 0x56C00648u);
    const REBARBANDINFOW& t = rebar->bandTemplate;
    EXPECT_EQ(t.cbSize, REBARBANDINFOW_V6_SIZE); // 80 on 32-bit x86
    EXPECT_EQ(t.fMask, 0xF1u);
    EXPECT_EQ(t.fStyle, 0u);
    EXPECT_EQ(t.hwndChild, nullptr);
    EXPECT_EQ(t.cxMinChild, 64u);
    EXPECT_EQ(t.cyMinChild, 25u);
    EXPECT_EQ(t.cx, 64u);
    EXPECT_EQ(t.hbmBack, nullptr);
    EXPECT_EQ(t.lpText, nullptr);
    EXPECT_EQ(t.wID, 0u);
}

TEST_F(RebarTest, BandsAreAppendedCopiesOfTheTemplate) {
    std::string out =
        captureStdout([&] { ASSERT_EQ(parent.addFitableObject(rebar.get(), 0, true, true), 0); });
    EXPECT_NE(out.find("name=Rebar\n"), std::string::npos);
    HWND bar = rebar->getHandle();
    ASSERT_NE(bar, nullptr);
    ChildObject first("First"), second("Second");
    ASSERT_EQ(first.open(bar, 1), 0);
    ASSERT_EQ(second.open(bar, 2), 0);

    EXPECT_EQ(rebar->insertBand(static_cast<WindowObject*>(&first)), 0);
    EXPECT_EQ(rebar->insertBand(static_cast<WindowObject*>(&second)), 0);
    ASSERT_EQ(rebar->inserted.size(), 2u);
    EXPECT_EQ(rebar->insertIndex, (std::vector<int>{-1, -1}));
    EXPECT_EQ(rebar->inserted[0].hwndChild, first.getHandle());
    EXPECT_EQ(rebar->inserted[1].hwndChild, second.getHandle());
    EXPECT_EQ(rebar->inserted[0].cbSize, REBARBANDINFOW_V6_SIZE);
    EXPECT_EQ(rebar->inserted[0].cxMinChild, 64u);
    EXPECT_EQ(rebar->inserted[0].cyMinChild, 25u);
    EXPECT_EQ(rebar->inserted[0].cx, 64u);
    EXPECT_EQ(rebar->bandTemplate.hwndChild, nullptr); // the template itself is untouched

    ASSERT_EQ(SendMessageW(bar, RB_GETBANDCOUNT, 0, 0), 2);
    REBARBANDINFOW info{};
    info.cbSize = REBARBANDINFOW_V6_SIZE;
    info.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
    ASSERT_TRUE(SendMessageW(bar, RB_GETBANDINFOW, 1, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(info.hwndChild, second.getHandle()); // the second band follows the first
    EXPECT_EQ(info.cyMinChild, 25u);
}

TEST_F(RebarTest, SetBandInfoReplacesTheTemplateButKeepsItsSize) {
    REBARBANDINFOW band{};
    band.cbSize = 12345;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE;
    band.fStyle = RBBS_GRIPPERALWAYS;
    band.cxMinChild = 10;
    band.cyMinChild = 30;
    EXPECT_EQ(rebar->setBandInfo(band), 0);
    EXPECT_EQ(rebar->bandTemplate.cbSize, REBARBANDINFOW_V6_SIZE);
    EXPECT_EQ(rebar->bandTemplate.cyMinChild, 30u);
    EXPECT_EQ(rebar->bandTemplate.fStyle, static_cast<UINT>(RBBS_GRIPPERALWAYS));
}

TEST_F(RebarTest, InsertingWithoutWindowsStillAnswersZero) {
    ToolBarEx* noToolbar = nullptr;
    EXPECT_EQ(rebar->insertBand(noToolbar), 0); // no rebar window: nothing happens
    captureStdout([&] { ASSERT_EQ(parent.addFitableObject(rebar.get(), 0, true, true), 0); });
    ChildObject unmade("Unmade");
    EXPECT_EQ(rebar->insertBand(static_cast<WindowObject*>(&unmade)), 0);
    ASSERT_EQ(rebar->inserted.size(), 1u);
    EXPECT_EQ(rebar->inserted[0].hwndChild, nullptr);
}

TEST_F(RebarTest, AToolbarCanBeABand) {
    captureStdout([&] { ASSERT_EQ(parent.addFitableObject(rebar.get(), 0, true, true), 0); });
    std::unique_ptr<ToolBarEx> toolbar;
    captureStdout([&] { toolbar = std::make_unique<ToolBarEx>(); });
    ASSERT_EQ(toolbar->create(rebar->getHandle(), 3, 15, {}, 0), 0);
    EXPECT_EQ(rebar->insertBand(toolbar.get()), 0);
    ASSERT_EQ(rebar->inserted.size(), 1u);
    EXPECT_EQ(rebar->inserted[0].hwndChild, toolbar->getHandle());
}

TEST_F(RebarTest, AGrowingRebarTellsItsParent) {
    captureStdout([&] { ASSERT_EQ(parent.addFitableObject(rebar.get(), 0, true, false), 0); });
    HWND bar = rebar->getHandle();
    MoveWindow(bar, 0, 0, 300, 4, TRUE);
    parent.hooks.clear();
    ChildObject inside("Inside");
    ASSERT_EQ(inside.open(bar, 1), 0);
    parent.notifications.clear();
    rebar->insertBand(static_cast<WindowObject*>(&inside));
    bool told = false;
    for (const auto& n : parent.notifications)
        told |= n.hwndFrom == bar && n.code == static_cast<UINT>(RBN_HEIGHTCHANGE);
    EXPECT_TRUE(told);
}

// ---- tooltip ----

class TestToolTip : public ToolTip {
public:
    using ToolTip::handle;
    using ToolTip::style;
    using ToolTip::tipText;
    using ToolTip::tool;
    using ToolTip::toolCounter;
};

struct SeenTool {
    UINT message;
    TOOLINFOW tool;
    std::string text;
};

class ToolTipTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(owner.makeTopLevel(200, 100), 0);
        guard.window = owner.getHandle();
    }
    std::unique_ptr<MessageSpy> spyOn(HWND tipWindow) {
        return std::make_unique<MessageSpy>(tipWindow, [this](const SeenMessage& m) {
            if (m.message != TTM_ADDTOOLW && m.message != TTM_NEWTOOLRECTW) return;
            const auto* t = reinterpret_cast<const TOOLINFOW*>(m.lParam);
            SeenTool seen{m.message, *t, {}};
            if (m.message == TTM_ADDTOOLW && t->lpszText) {
                size_t n = 0;
                while (t->lpszText[n])
                    ++n;
                seen.text = toUtf8(t->lpszText, n);
            }
            tools.push_back(seen);
        });
    }
    RecordingObject owner;
    WindowGuard guard{nullptr};
    std::vector<SeenTool> tools;
};

TEST_F(ToolTipTest, ToolIdentifiersCountUpInOrderOfConstruction) {
    const auto start = TestToolTip::toolCounter;
    TestToolTip a, b, c;
    EXPECT_EQ(a.tool.uId, static_cast<UINT_PTR>(start));
    EXPECT_EQ(b.tool.uId, static_cast<UINT_PTR>(start + 1));
    EXPECT_EQ(c.tool.uId, static_cast<UINT_PTR>(start + 2));
    EXPECT_EQ(TestToolTip::toolCounter, start + 3);
    EXPECT_EQ(a.tool.cbSize, TTTOOLINFOW_V1_SIZE); // 40 on 32-bit x86
    EXPECT_EQ(a.tool.uFlags, static_cast<UINT>(TTF_SUBCLASS));
    EXPECT_EQ(a.tool.hwnd, nullptr);
    EXPECT_EQ(a.style, static_cast<DWORD>(TTS_ALWAYSTIP));
    ASSERT_NE(a.tool.lpszText, nullptr);
    EXPECT_EQ(a.tool.lpszText[0], 0);
}

TEST_F(ToolTipTest, WithoutWindowToolsAreRefused) {
    TestToolTip tip;
    EXPECT_EQ(tip.setText("hint"), 0);
    EXPECT_EQ(tip.addTool(), -1);
    EXPECT_EQ(tip.updateToolRect(), -1);
}

TEST_F(ToolTipTest, CreateOnceForTheOwner) {
    TestToolTip tip;
    ASSERT_EQ(tip.create(owner.getHandle()), 0);
    HWND first = tip.handle;
    ASSERT_NE(first, nullptr);
    WindowGuard tipGuard{first};
    EXPECT_EQ(tip.tool.hwnd, owner.getHandle());
    EXPECT_EQ(tip.create(owner.getHandle()), 0);
    EXPECT_EQ(tip.handle, first);
}

TEST_F(ToolTipTest, AddToolRegistersTheClientAreaWithTheTextGivenBefore) {
    TestToolTip tip;
    tip.setText("Play ♪");
    ASSERT_EQ(tip.create(owner.getHandle()), 0);
    WindowGuard tipGuard{tip.handle};
    auto spy = spyOn(tip.handle);
    EXPECT_EQ(tip.addTool(), 0);
    ASSERT_EQ(tools.size(), 1u);
    EXPECT_EQ(tools[0].message, static_cast<UINT>(TTM_ADDTOOLW));
    EXPECT_EQ(tools[0].tool.cbSize, TTTOOLINFOW_V1_SIZE);
    EXPECT_EQ(tools[0].tool.hwnd, owner.getHandle());
    EXPECT_EQ(tools[0].tool.uId, tip.tool.uId);
    EXPECT_EQ(tools[0].tool.rect.left, 0);
    EXPECT_EQ(tools[0].tool.rect.right, 200);
    EXPECT_EQ(tools[0].tool.rect.bottom, 100);
    EXPECT_EQ(tools[0].text, "Play ♪");
    EXPECT_EQ(SendMessageW(tip.handle, TTM_GETTOOLCOUNT, 0, 0), 1);

    // New text reaches the tooltip only with the next addTool.
    tip.setText("Stop");
    EXPECT_EQ(tip.updateToolRect(), 0);
    EXPECT_EQ(tools.back().message, static_cast<UINT>(TTM_NEWTOOLRECTW));
    ASSERT_NE(tip.tool.lpszText, nullptr);
    EXPECT_EQ(toUtf8(tip.tool.lpszText, 6), "Play ♪");
    EXPECT_EQ(tip.addTool(), 0);
    EXPECT_EQ(tools.back().text, "Stop");
}

TEST_F(ToolTipTest, AttachedToolFollowsTheOwnersSize) {
    TestToolTip tip;
    EXPECT_EQ(owner.attachToolTip(&tip), 0);
    ASSERT_NE(tip.handle, nullptr);
    WindowGuard tipGuard{tip.handle};
    EXPECT_EQ(owner.toolTip, &tip);
    EXPECT_EQ(SendMessageW(tip.handle, TTM_GETTOOLCOUNT, 0, 0), 1);
    auto spy = spyOn(tip.handle);
    MoveWindow(owner.getHandle(), 0, 0, 260, 140, TRUE);
    ASSERT_FALSE(tools.empty());
    const SeenTool& last = tools.back();
    EXPECT_EQ(last.message, static_cast<UINT>(TTM_NEWTOOLRECTW));
    EXPECT_EQ(last.tool.rect.left, 0);
    EXPECT_EQ(last.tool.rect.top, 0);
    EXPECT_EQ(last.tool.rect.right, 260);
    EXPECT_EQ(last.tool.rect.bottom, 140);
}

TEST_F(ToolTipTest, AttachingATipThatCannotBeMadeReportsIt) {
    TestToolTip tip;
    // A destroyed owner makes the creation fail.
    RecordingObject gone;
    ASSERT_EQ(gone.makeTopLevel(), 0);
    HWND dead = gone.getHandle();
    DestroyWindow(dead);
    EXPECT_EQ(tip.create(dead), -1);
    EXPECT_EQ(tip.handle, nullptr);
    EXPECT_EQ(tip.tool.hwnd, nullptr);
    EXPECT_EQ(tip.addTool(), -1);
}

} // namespace
