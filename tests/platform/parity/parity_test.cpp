// Behaviours of the Windows services that the program relies on, checked through win32.h
// alone. The same suite runs natively on our platform layer and, cross-compiled, on Wine's
// user32 and comctl32: a case that passes on one and fails on the other shows where our
// layer is not Windows.
#include "platform/win32.h"
#include "tests/support/message_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#define TEXTW(s) L##s
#else
#define TEXTW(s) u##s
#endif

namespace {

using message_recorder::messagesOf;
using message_recorder::Seen;

std::vector<Seen>& seen = message_recorder::seen();
std::vector<NMHDR> notes;
void* lastCreateParam = nullptr;

// What the recording windows tell beyond the messages themselves.
bool keepDetails(HWND, UINT message, WPARAM, LPARAM lParam, LRESULT*) {
    if (message == WM_NOTIFY && lParam) notes.push_back(*reinterpret_cast<NMHDR*>(lParam));
    if (message == WM_CREATE) lastCreateParam = *reinterpret_cast<void**>(lParam);
    return false;
}

const WCHAR* const kClass = TEXTW("ParityRecorder");

RECT clientRect(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return r;
}

// The window's rectangle in its parent's client coordinates.
RECT placeIn(HWND hwnd, HWND parent) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class Parity : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            InitCommonControls();
            INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX),
                                     ICC_BAR_CLASSES | ICC_COOL_CLASSES};
            InitCommonControlsEx(&icc);
            ASSERT_TRUE(message_recorder::registerRecordingClass(kClass));
            registered = true;
        }
        seen.clear();
        notes.clear();
        message_recorder::setHook(keepDetails);
    }
    void TearDown() override {
        for (HWND w : made)
            if (IsWindow(w)) DestroyWindow(w);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    HWND top(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, int w = 300, int h = 128,
             HMENU menu = nullptr) {
        HWND hwnd = CreateWindowExW(0, kClass, TEXTW("Top"), style, 10, 20, w, h, nullptr, menu,
                                    GetModuleHandleW(nullptr), nullptr);
        made.push_back(hwnd);
        return hwnd;
    }
    HWND child(HWND parent, int id, int x = 0, int y = 0, int w = 50, int h = 40) {
        return CreateWindowExW(0, kClass, TEXTW("child"), WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
    }
    std::vector<HWND> made;
};

TEST_F(Parity, ARegisteredClassNameCannotBeRegisteredAgain) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    EXPECT_EQ(RegisterClassExW(&wc), 0);
}

TEST_F(Parity, AVisibleTopLevelWindowIsCreatedShownActivatedThenSized) {
    HWND w = top();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(messagesOf(w, {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SHOWWINDOW,
                             WM_ACTIVATE, WM_SETFOCUS, WM_SIZE, WM_MOVE}),
              (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE,
                                 WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS, WM_SIZE, WM_MOVE}));
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(GetFocus(), w);
}

TEST_F(Parity, AHiddenOverlappedWindowHearsItsSizeWhenFirstShown) {
    HWND w = top(WS_OVERLAPPEDWINDOW);
    EXPECT_TRUE(messagesOf(w, {WM_SIZE, WM_MOVE}).empty());
    HWND popup = CreateWindowExW(0, kClass, TEXTW("p"), WS_POPUP, 0, 0, 40, 30, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    made.push_back(popup);
    EXPECT_EQ(messagesOf(popup, {WM_CREATE, WM_SIZE, WM_MOVE}),
              (std::vector<UINT>{WM_CREATE, WM_SIZE, WM_MOVE}));
    ShowWindow(w, SW_SHOW);
    EXPECT_EQ(messagesOf(w, {WM_SHOWWINDOW, WM_SIZE, WM_MOVE}),
              (std::vector<UINT>{WM_SHOWWINDOW, WM_SIZE, WM_MOVE}));
}

TEST_F(Parity, CreateParamsComeFirstInTheCreationRecord) {
    int marker = 0;
    HWND w = CreateWindowExW(0, kClass, TEXTW("T"), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleW(nullptr), &marker);
    made.push_back(w);
    EXPECT_EQ(lastCreateParam, &marker);
}

TEST_F(Parity, AChildIsSizedAtCreationAndItsParentIsTold) {
    HWND w = top();
    seen.clear();
    HWND c = child(w, 7, 5, 6);
    EXPECT_EQ(
        messagesOf(c, {WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}),
        (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
    EXPECT_EQ(messagesOf(w, {WM_PARENTNOTIFY}), (std::vector<UINT>{WM_PARENTNOTIFY}));
    EXPECT_EQ(GetParent(c), w);
    EXPECT_EQ(GetDlgCtrlID(c), 7);
}

TEST_F(Parity, TheFrameAndMenuBarTakeTheirShareOfTheWindow) {
    HWND w = top();
    RECT wr, cr = clientRect(w);
    GetWindowRect(w, &wr);
    EXPECT_EQ(wr.right - wr.left, 300);
    EXPECT_EQ(wr.bottom - wr.top, 128);
    RECT adjusted = cr;
    AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_EQ(adjusted.right - adjusted.left, 300);
    EXPECT_EQ(adjusted.bottom - adjusted.top, 128);
    EXPECT_LT(cr.bottom, 128 - GetSystemMetrics(SM_CYCAPTION));

    seen.clear();
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_STRING, 1, TEXTW("File"));
    ASSERT_TRUE(SetMenu(w, bar));
    RECT withMenu = clientRect(w);
    EXPECT_EQ(withMenu.right, cr.right);
    EXPECT_LT(withMenu.bottom, cr.bottom);
    EXPECT_EQ(messagesOf(w, {WM_SIZE}), (std::vector<UINT>{WM_SIZE}));
}

TEST_F(Parity, MovingAWindowSendsMoveAndSizeOnlyForWhatChanged) {
    HWND w = top();
    HWND c = child(w, 1);
    seen.clear();
    MoveWindow(c, 10, 12, 60, 45, TRUE);
    EXPECT_EQ(messagesOf(c, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}),
              (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}));
    for (const Seen& s : seen)
        if (s.hwnd == c && s.message == WM_SIZE) {
            EXPECT_EQ(s.lParam, MAKELPARAM(60, 45));
        }
    RECT r = placeIn(c, w);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 12);
    seen.clear();
    MoveWindow(c, 10, 12, 60, 45, TRUE);
    EXPECT_EQ(messagesOf(c, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}),
              (std::vector<UINT>{WM_WINDOWPOSCHANGING}));
    seen.clear();
    MoveWindow(c, 20, 12, 60, 45, TRUE);
    EXPECT_EQ(messagesOf(c, {WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_MOVE}));
}

TEST_F(Parity, CloseDestroysTheWindowBeforeItsChildren) {
    HWND w = top();
    HWND a = child(w, 1);
    HWND b = child(w, 2);
    seen.clear();
    SendMessageW(w, WM_CLOSE, 0, 0);
    std::vector<std::pair<HWND, UINT>> order;
    for (const Seen& s : seen)
        if (s.message == WM_DESTROY || s.message == WM_NCDESTROY)
            order.push_back({s.hwnd, s.message});
    EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{w, WM_DESTROY},
                                                         {a, WM_DESTROY},
                                                         {b, WM_DESTROY},
                                                         {a, WM_NCDESTROY},
                                                         {b, WM_NCDESTROY},
                                                         {w, WM_NCDESTROY}}));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindow(a));
}

TEST_F(Parity, TheCloseBoxCommandClosesThroughTheDefaultProcessing) {
    HWND w = top();
    seen.clear();
    PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    MSG msg;
    while (IsWindow(w) && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(messagesOf(w, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}),
              (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(Parity, WindowTextIsKeptByTheDefaultProcessing) {
    HWND w = top();
    EXPECT_EQ(SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(TEXTW("Hello"))), TRUE);
    EXPECT_EQ(GetWindowTextLengthW(w), 5);
    WCHAR buffer[3];
    EXPECT_EQ(GetWindowTextW(w, buffer, 3), 2);
    EXPECT_EQ(buffer[2], 0);
}

TEST_F(Parity, MenuItemsGoBeforeTheirIdentifierOrAtTheEnd) {
    HMENU bar = CreateMenu();
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_SUBMENU | MIIM_TYPE;
    info.fType = MFT_STRING;
    HMENU file = CreateMenu();
    info.hSubMenu = file;
    info.dwTypeData = const_cast<LPWSTR>(TEXTW("File"));
    InsertMenuItemW(bar, 0, FALSE, &info);
    info.hSubMenu = CreateMenu();
    info.dwTypeData = const_cast<LPWSTR>(TEXTW("Edit"));
    InsertMenuItemW(bar, 0, FALSE, &info);
    WCHAR text[16];
    GetMenuStringW(bar, 0, text, 16, MF_BYPOSITION);
    EXPECT_EQ(text[0], 'E'); // a popup without identifier answers to 0

    info.fMask = MIIM_ID | MIIM_TYPE;
    info.wID = 257;
    info.dwTypeData = const_cast<LPWSTR>(TEXTW("Open"));
    InsertMenuItemW(file, 257, FALSE, &info);
    info.wID = 260;
    info.dwTypeData = const_cast<LPWSTR>(TEXTW("Exit"));
    InsertMenuItemW(file, 260, FALSE, &info);
    EXPECT_EQ(GetMenuItemCount(file), 2);
    EXPECT_EQ(GetMenuItemID(file, 0), 257u);
    EXPECT_EQ(GetMenuItemID(file, 1), 260u);
    EXPECT_FALSE(DeleteMenu(bar, 999, MF_BYCOMMAND));
    EXPECT_TRUE(DeleteMenu(bar, 257, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuItemCount(file), 1);
    DestroyMenu(bar);
}

TEST_F(Parity, TheStatusBarFollowsItsParentsBottomEdge) {
    HWND w = top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300);
    HWND bar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM,
                                   TEXTW("init"), w, 1);
    ASSERT_NE(bar, nullptr);
    auto check = [&] {
        RECT c = clientRect(w), r = placeIn(bar, w);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.right, c.right);
        EXPECT_EQ(r.bottom, c.bottom);
        return r.bottom - r.top;
    };
    int height = check();
    EXPECT_GT(height, 10);
    MoveWindow(w, 10, 20, 500, 350, TRUE);
    RECT c = clientRect(w);
    SendMessageW(bar, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right, c.bottom));
    EXPECT_EQ(check(), height);

    EXPECT_EQ(GetWindowTextLengthW(bar), 4);
    EXPECT_TRUE(SendMessageW(bar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(TEXTW("hi"))));
    WCHAR text[16] = {};
    EXPECT_EQ(LOWORD(SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text))), 4);
    EXPECT_FALSE(SendMessageW(bar, SB_SETTEXTW, 5, reinterpret_cast<LPARAM>(TEXTW("x"))));
}

TEST_F(Parity, TheRebarGrowsWithABandAndTellsItsParent) {
    HWND w = top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 300);
    HWND rebar = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, TEXTW("Rebar"), 0x56C00648,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, w,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(rebar, nullptr);
    // It asked its parent which text its notifications carry, and was told Unicode.
    EXPECT_EQ(messagesOf(w, {WM_NOTIFYFORMAT}), (std::vector<UINT>{WM_NOTIFYFORMAT}));
    EXPECT_EQ(DefWindowProcW(w, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(rebar), NF_QUERY),
              NFR_UNICODE);
    HFONT font = reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(rebar, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(rebar, WM_GETFONT, 0, 0)), font);
    MoveWindow(rebar, 0, 0, 480, 200, TRUE);
    EXPECT_EQ(clientRect(rebar).bottom, 0);
    HWND inside = child(w, 8, 0, 0, 30, 30);
    notes.clear();
    REBARBANDINFOW band{};
    band.cbSize = REBARBANDINFOW_V6_SIZE;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_BACKGROUND;
    band.hwndChild = inside;
    band.cxMinChild = 64;
    band.cyMinChild = 25;
    band.cx = 64;
    ASSERT_TRUE(SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(&band)));
    int heightChanges = 0;
    for (const NMHDR& n : notes)
        if (n.code == static_cast<UINT>(RBN_HEIGHTCHANGE)) {
            EXPECT_EQ(n.hwndFrom, rebar);
            heightChanges++;
        }
    EXPECT_EQ(heightChanges, 1);
    EXPECT_EQ(clientRect(rebar).bottom, 25);
    EXPECT_EQ(GetParent(inside), rebar);
    // Asked to fill its parent, it keeps the height of its bands.
    MoveWindow(rebar, 0, 0, 480, 250, TRUE);
    EXPECT_EQ(clientRect(rebar).bottom, 25);
    EXPECT_EQ(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0), 1);
}

TEST_F(Parity, TheTooltipIsAPopupOfItsOwnerAndWatchesWithoutSwallowing) {
    HWND w = top();
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, w, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(GetParent(tip), w);
    EXPECT_TRUE(GetWindowLongW(tip, GWL_STYLE) & WS_POPUP);
    WCHAR text[] = TEXTW("tip");
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = w;
    GetClientRect(w, &tool.rect);
    tool.lpszText = text;
    EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    tool.rect = {0, 0, 5, 5};
    SendMessageW(tip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    seen.clear();
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(messagesOf(w, {WM_MOUSEMOVE}).size(), 1u);
    WCHAR back[16] = {};
    tool.lpszText = back;
    SendMessageW(tip, TTM_GETTEXTW, 16, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::basic_string<WCHAR>(back), std::basic_string<WCHAR>(TEXTW("tip")));
}

TEST_F(Parity, TheToolbarTakesTheStandardImagesOnce) {
    HWND w = top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300);
    TBBUTTON button{};
    button.iBitmap = STD_FILENEW;
    button.idCommand = 100;
    button.fsState = TBSTATE_ENABLED;
    HWND tb = CreateToolbarEx(w, WS_CHILD | WS_VISIBLE, 9, 1, HINST_COMMCTRL, IDB_STD_SMALL_COLOR,
                              &button, 1, 0, 0, 0, 0, sizeof(TBBUTTON));
    ASSERT_NE(tb, nullptr);
    TBADDBITMAP same{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&same)), 0);
    EXPECT_TRUE(SendMessageW(tb, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)));
    EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 2);
    SendMessageW(tb, TB_AUTOSIZE, 0, 0);
    RECT r = placeIn(tb, w);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, clientRect(w).right);
}

TEST_F(Parity, TheQueueEndsWithTheQuitCodeAndTakesPostsFromOtherThreads) {
    HWND w = top();
    EXPECT_EQ(LoadAcceleratorsW(GetModuleHandleW(nullptr), TEXTW("MYACCEL")), nullptr);
    MSG msg{};
    EXPECT_EQ(TranslateAcceleratorW(w, nullptr, &msg), 0);
    MSG drain;
    while (PeekMessageW(&drain, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&drain);
    std::thread poster([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PostMessageW(w, WM_APP + 1, 5, 6);
    });
    int r;
    do {
        r = GetMessageW(&msg, nullptr, 0, 0);
        if (r > 0 && msg.message != WM_APP + 1) DispatchMessageW(&msg);
    } while (r > 0 && msg.message != WM_APP + 1);
    poster.join();
    ASSERT_EQ(r, 1);
    EXPECT_EQ(msg.hwnd, w);
    EXPECT_EQ(msg.wParam, 5u);
    PostQuitMessage(9);
    while ((r = GetMessageW(&msg, nullptr, 0, 0)) > 0)
        DispatchMessageW(&msg);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 9u);
}

} // namespace
