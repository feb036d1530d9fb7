// The common controls: status bar, toolbar, rebar, tooltip and window subclasses.
#include "recorder.h"

using namespace platform_test;

namespace {

class Controls : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
    }
};

TEST_F(Controls, InitialisationChecksTheRecordSize) {
    INITCOMMONCONTROLSEX bad{4, ICC_BAR_CLASSES};
    EXPECT_FALSE(InitCommonControlsEx(&bad));
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    EXPECT_TRUE(GetClassInfoExW(nullptr, u"ReBarWindow32", &wc));
    EXPECT_TRUE(GetClassInfoExW(nullptr, u"tooltips_class32", &wc));
}

TEST_F(Controls, StatusBarSitsOnTheParentsBottomEdgeAndFollowsIt) {
    HWND frame = makeTopLevel(u"F", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 128);
    HWND bar =
        CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, u"", frame, 1);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetDlgCtrlID(bar), 1);
    auto check = [&] {
        RECT pc, br;
        GetClientRect(frame, &pc);
        GetWindowRect(bar, &br);
        POINT tl{br.left, br.top}, brc{br.right, br.bottom};
        ScreenToClient(frame, &tl);
        ScreenToClient(frame, &brc);
        EXPECT_EQ(tl.x, 0);
        EXPECT_EQ(brc.x, pc.right);
        EXPECT_EQ(brc.y, pc.bottom);
        EXPECT_GT(brc.y - tl.y, 10);
        return brc.y - tl.y;
    };
    int height = check();
    MoveWindow(frame, 0, 0, 500, 400, TRUE);
    // The frame forwards its size to the bar, as the main window does.
    RECT pc;
    GetClientRect(frame, &pc);
    SendMessageW(bar, WM_SIZE, SIZE_RESTORED, MAKELPARAM(pc.right, pc.bottom));
    EXPECT_EQ(check(), height);
}

TEST_F(Controls, StatusBarKeepsTheTextOfEachPart) {
    HWND frame = makeTopLevel();
    HWND bar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, u"first", frame, 1);
    EXPECT_EQ(platform::headless::statusText(bar, 0), "first");
    EXPECT_TRUE(SendMessageW(bar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(u"simple")));
    EXPECT_EQ(platform::headless::statusText(frame), "simple");
    EXPECT_EQ(LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, SB_SIMPLEID, 0)), 6);
    EXPECT_FALSE(SendMessageW(bar, SB_SETTEXTW, 5, reinterpret_cast<LPARAM>(u"no such part")));
    int rights[] = {100, -1};
    EXPECT_TRUE(SendMessageW(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(rights)));
    EXPECT_TRUE(SendMessageW(bar, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(u"second")));
    EXPECT_EQ(platform::headless::statusText(bar, 1), "second");
    EXPECT_FALSE(SendMessageW(bar, SB_ISSIMPLE, 0, 0));
    SendMessageW(bar, SB_SIMPLE, TRUE, 0);
    EXPECT_TRUE(SendMessageW(bar, SB_ISSIMPLE, 0, 0));
}

TEST_F(Controls, ToolbarTakesButtonsAndImages) {
    HWND frame = makeTopLevel(u"F", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    TBBUTTON buttons[2] = {};
    buttons[0].iBitmap = STD_FILEOPEN;
    buttons[0].idCommand = 100;
    buttons[0].fsState = TBSTATE_ENABLED;
    buttons[1].iBitmap = STD_FILESAVE;
    buttons[1].idCommand = 101;
    buttons[1].fsState = TBSTATE_ENABLED;
    HWND tb = CreateToolbarEx(frame, WS_CHILD | WS_VISIBLE, 5, 15, HINST_COMMCTRL,
                              IDB_STD_SMALL_COLOR, buttons, 2, 0, 0, 0, 0, sizeof(TBBUTTON));
    ASSERT_NE(tb, nullptr);
    EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 2);
    TBADDBITMAP more{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
    // The standard images are there already: the same bitmap answers where it is.
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&more)), 0);
    TBADDBITMAP view{HINST_COMMCTRL, IDB_VIEW_SMALL_COLOR};
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&view)), 15);
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, 0), -1);
    EXPECT_TRUE(SendMessageW(tb, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(buttons)));
    EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 3);
    TBBUTTON read{};
    ASSERT_TRUE(SendMessageW(tb, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&read)));
    EXPECT_EQ(read.idCommand, 101);
    SendMessageW(tb, TB_AUTOSIZE, 0, 0);
    RECT r, pc;
    GetWindowRect(tb, &r);
    GetClientRect(frame, &pc);
    EXPECT_EQ(r.right - r.left, pc.right);
    // A click on the first button is a command to the parent.
    seen().clear();
    ASSERT_TRUE(platform::headless::click(frame, 5, 5));
    platform::headless::dispatchPending();
    auto commands = messagesOf(frame, {WM_COMMAND});
    ASSERT_EQ(commands.size(), 1u);
}

TEST_F(Controls, RebarGrowsWithBandsAndTellsItsParent) {
    HWND frame = makeTopLevel(u"F", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300);
    HWND rebar = CreateWindowExW(WS_EX_TOOLWINDOW, u"ReBarWindow32", u"Rebar",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                     WS_BORDER | WS_DLGFRAME | RBS_BANDBORDERS | RBS_VARHEIGHT |
                                     CCS_NODIVIDER | CCS_NOPARENTALIGN,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, frame,
                                 reinterpret_cast<HMENU>(9), nullptr, nullptr);
    ASSERT_NE(rebar, nullptr);
    MoveWindow(rebar, 0, 0, 380, 200, TRUE);
    RECT c;
    GetClientRect(rebar, &c);
    EXPECT_EQ(c.bottom, 0); // no bands, no height

    HWND child = makeChild(frame, 30);
    std::vector<NMHDR> notes;
    setHook([&](HWND h, UINT m, WPARAM, LPARAM l, LRESULT*) {
        if (h == frame && m == WM_NOTIFY) notes.push_back(*reinterpret_cast<NMHDR*>(l));
        return false;
    });
    REBARBANDINFOW band{};
    band.cbSize = REBARBANDINFOW_V6_SIZE;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_BACKGROUND;
    band.hwndChild = child;
    band.cxMinChild = 64;
    band.cyMinChild = 25;
    band.cx = 64;
    ASSERT_TRUE(SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(&band)));
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].hwndFrom, rebar);
    EXPECT_EQ(notes[0].idFrom, 9u);
    EXPECT_EQ(notes[0].code, static_cast<UINT>(RBN_HEIGHTCHANGE));
    EXPECT_EQ(static_cast<int>(notes[0].code), -831);
    GetClientRect(rebar, &c);
    EXPECT_EQ(c.bottom, 25);
    EXPECT_EQ(GetParent(child), rebar); // the band's window moved into the rebar
    RECT cr;
    GetWindowRect(child, &cr);
    EXPECT_EQ(cr.bottom - cr.top, 25);

    // A second band with a break starts a new row: the rebar grows again.
    band.fStyle = RBBS_BREAK;
    band.hwndChild = makeChild(frame, 31);
    band.cyMinChild = 30;
    SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
    EXPECT_EQ(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0), 2);
    GetClientRect(rebar, &c);
    EXPECT_EQ(c.bottom, 25 + 2 + 30);
    EXPECT_EQ(notes.size(), 2u);

    // Asked to fill its parent, it stays as high as its bands and says nothing.
    MoveWindow(rebar, 0, 0, 380, 250, TRUE);
    GetClientRect(rebar, &c);
    EXPECT_EQ(c.bottom, 57);
    EXPECT_EQ(notes.size(), 2u);

    // A band without a child window is only as high as its decoration.
    band.fStyle = RBBS_BREAK;
    band.hwndChild = nullptr;
    SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
    GetClientRect(rebar, &c);
    EXPECT_EQ(c.bottom, 57 + 2 + 4);

    band.cbSize = 8;
    EXPECT_FALSE(SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(&band)));
    EXPECT_FALSE(SendMessageW(rebar, RB_INSERTBANDW, 0, 0));
}

TEST_F(Controls, RebarOrderFollowsTheInsertionIndex) {
    HWND frame = makeTopLevel();
    HWND rebar = CreateWindowExW(0, u"ReBarWindow32", nullptr, WS_CHILD | CCS_NOPARENTALIGN, 0, 0,
                                 200, 10, frame, nullptr, nullptr, nullptr);
    REBARBANDINFOW band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_ID | RBBIM_CHILDSIZE;
    band.cyMinChild = 10;
    for (UINT id : {1u, 2u}) {
        band.wID = id;
        SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&band));
    }
    band.wID = 3;
    SendMessageW(rebar, RB_INSERTBANDW, 0, reinterpret_cast<LPARAM>(&band));
    EXPECT_EQ(SendMessageW(rebar, RB_IDTOINDEX, 3, 0), 0);
    EXPECT_EQ(SendMessageW(rebar, RB_IDTOINDEX, 1, 0), 1);
    EXPECT_EQ(SendMessageW(rebar, RB_IDTOINDEX, 2, 0), 2);
}

TEST_F(Controls, TooltipWatchesItsToolWithoutSwallowingMessages) {
    HWND owner = makeTopLevel(u"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND tip = CreateWindowExW(0, u"tooltips_class32", nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(GetParent(tip), owner); // a pop-up: its parent is its owner
    EXPECT_TRUE(GetWindowLongPtrW(tip, GWL_STYLE) & WS_POPUP);
    RECT tr;
    GetWindowRect(tip, &tr);
    EXPECT_EQ(tr.right - tr.left, 0); // nothing to show yet

    WNDPROC before = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(owner, GWLP_WNDPROC));
    std::u16string tipText = u"Hello";
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = 0;
    GetClientRect(owner, &tool.rect);
    tool.lpszText = tipText.data();
    ASSERT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_NE(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(owner, GWLP_WNDPROC)), before);

    seen().clear();
    setHook([](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != WM_USER + 1) return false;
        *r = 77;
        return true;
    });
    EXPECT_EQ(SendMessageW(owner, WM_USER + 1, 0, 0), 77);
    ASSERT_TRUE(platform::headless::mouseMove(owner, 5, 5));
    ASSERT_TRUE(platform::headless::click(owner, 6, 6));
    platform::headless::dispatchPending();
    EXPECT_EQ(
        messagesOf(owner, {WM_USER + 1, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}),
        (std::vector<UINT>{WM_USER + 1, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}));

    platform::headless::mouseMove(owner, 5, 5);
    platform::headless::dispatchPending();
    EXPECT_EQ(platform::headless::tooltipShownText(tip), "Hello");

    // The tool moves with its owner's new client area.
    tool.rect = {0, 0, 2, 2};
    SendMessageW(tip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    platform::headless::mouseMove(owner, 5, 5);
    platform::headless::dispatchPending();
    EXPECT_EQ(platform::headless::tooltipShownText(tip), "");

    EXPECT_FALSE(SendMessageW(tip, TTM_ADDTOOLW, 0, 0));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);

    // The owner's destruction takes the tooltip with it.
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(tip));
}

WNDPROC savedProc = nullptr;
int outerCalls = 0;
LRESULT CALLBACK outerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    outerCalls++;
    return CallWindowProcW(savedProc, h, m, w, l);
}

TEST_F(Controls, TooltipSubclassStaysChainedUnderALaterSubclass) {
    HWND owner = makeTopLevel(u"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, 0, 0, 0, 0, owner, nullptr, nullptr,
                               nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = owner;
    GetClientRect(owner, &tool.rect);
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    savedProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(outerProc)));
    outerCalls = 0;
    seen().clear();
    SendMessageW(owner, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(outerCalls, 1);
    EXPECT_EQ(messagesOf(owner, {WM_MOUSEMOVE}).size(), 1u);
    EXPECT_TRUE(IsWindowVisible(tip));
}

LRESULT CALLBACK tagging(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR ref) {
    if (m == WM_USER + 3) reinterpret_cast<std::string*>(ref)->append(std::to_string(id));
    return DefSubclassProc(h, m, w, l);
}

TEST_F(Controls, SubclassesRunNewestFirstAndCanBeRemoved) {
    HWND w = makeTopLevel();
    std::string order;
    ASSERT_TRUE(SetWindowSubclass(w, tagging, 1, reinterpret_cast<DWORD_PTR>(&order)));
    ASSERT_TRUE(SetWindowSubclass(w, tagging, 2, reinterpret_cast<DWORD_PTR>(&order)));
    seen().clear();
    SendMessageW(w, WM_USER + 3, 0, 0);
    EXPECT_EQ(order, "21");
    EXPECT_EQ(messagesOf(w), (std::vector<UINT>{WM_USER + 3}));
    EXPECT_TRUE(RemoveWindowSubclass(w, tagging, 2));
    EXPECT_FALSE(RemoveWindowSubclass(w, tagging, 2));
    order.clear();
    SendMessageW(w, WM_USER + 3, 0, 0);
    EXPECT_EQ(order, "1");
    RemoveWindowSubclass(w, tagging, 1);
    ASSERT_TRUE(SetWindowSubclass(w, tagging, 4, reinterpret_cast<DWORD_PTR>(&order)));
    order.clear();
    SendMessageW(w, WM_USER + 3, 0, 0);
    EXPECT_EQ(order, "4");
}

} // namespace
