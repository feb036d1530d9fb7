// Behaviours of the Windows services that the program relies on, checked through win32.h
// alone. The same suite runs natively on our platform layer and, cross-compiled, on Wine's
// user32 and comctl32: a case that passes on one and fails on the other shows where our
// layer is not Windows. What only our layer can show (its test controls, its limits) stays
// in the platform's own suites.
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
using Text = std::basic_string<WCHAR>;

std::vector<Seen>& seen = message_recorder::seen();
std::vector<NMHDR> notes;
void* lastCreateParam = nullptr;
HWND lastCreated = nullptr;
bool aliveDuringCreate = false;

// What the recording windows tell beyond the messages themselves.
bool keepDetails(HWND hwnd, UINT message, WPARAM, LPARAM lParam, LRESULT*) {
    if (message == WM_NOTIFY && lParam) notes.push_back(*reinterpret_cast<NMHDR*>(lParam));
    if (message == WM_CREATE) {
        lastCreateParam = *reinterpret_cast<void**>(lParam);
        lastCreated = hwnd;
        aliveDuringCreate = IsWindow(hwnd);
    }
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

Text windowText(HWND hwnd) {
    WCHAR buffer[64];
    int n = GetWindowTextW(hwnd, buffer, 64);
    return Text(buffer, static_cast<size_t>(n));
}

Text menuText(HMENU menu, UINT position) {
    WCHAR buffer[64];
    int n = GetMenuStringW(menu, position, buffer, 64, MF_BYPOSITION);
    return Text(buffer, static_cast<size_t>(n));
}

Text statusPartText(HWND bar, int part) {
    WCHAR buffer[64] = {};
    LRESULT info =
        SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(buffer));
    return Text(buffer, LOWORD(info));
}

class Parity : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            InitCommonControls();
            INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX),
                                     ICC_BAR_CLASSES | ICC_COOL_CLASSES};
            ASSERT_TRUE(InitCommonControlsEx(&icc));
            ASSERT_TRUE(message_recorder::registerRecordingClass(kClass));
            registered = true;
        }
        seen.clear();
        notes.clear();
        message_recorder::setHook(keepDetails);
    }
    void TearDown() override {
        message_recorder::setHook(keepDetails);
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

TEST_F(Parity, TheCommonControlsCheckTheRecordAndRegisterTheirClasses) {
    INITCOMMONCONTROLSEX bad{4, ICC_BAR_CLASSES};
    EXPECT_FALSE(InitCommonControlsEx(&bad));
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    EXPECT_TRUE(GetClassInfoExW(nullptr, REBARCLASSNAMEW, &wc));
    EXPECT_TRUE(GetClassInfoExW(nullptr, TOOLTIPS_CLASSW, &wc));
}

TEST_F(Parity, AClassNameIsRegisteredOnceWhateverItsCase) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = TEXTW("parityrecorder");
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    wc.lpszClassName = TEXTW("ParityAnother");
    EXPECT_NE(RegisterClassExW(&wc), 0);
    EXPECT_TRUE(UnregisterClassW(wc.lpszClassName, wc.hInstance));
}

TEST_F(Parity, AVisibleTopLevelWindowIsCreatedShownActivatedThenSized) {
    HWND w = top();
    ASSERT_NE(w, nullptr);
    const std::vector<UINT> creation{
        WM_GETMINMAXINFO,     WM_NCCREATE,    WM_NCCALCSIZE, WM_CREATE,   WM_SHOWWINDOW,
        WM_WINDOWPOSCHANGING, WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS,
        WM_WINDOWPOSCHANGED,  WM_SIZE,        WM_MOVE};
    EXPECT_EQ(messagesOf(w, creation), creation);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(GetActiveWindow(), w);
    EXPECT_EQ(GetFocus(), w);
    HWND hidden = top(WS_OVERLAPPEDWINDOW);
    EXPECT_FALSE(IsWindowVisible(hidden));

    // Going, it gives up the activation and the focus before it hears of its destruction.
    seen.clear();
    DestroyWindow(w);
    const std::vector<UINT> leaving{WM_NCACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS,
                                    WM_DESTROY};
    const std::vector<UINT> left = messagesOf(w, leaving);
#ifdef _WIN32
    // Wine hands the activation on to the next window of the whole desktop, which may be
    // another program's (suites run side by side): that program's thread then takes the
    // foreground and the focus itself, and this thread would hear of it only after the
    // window is gone. Its own deactivation still comes first.
    const std::vector<UINT> toAnotherProgram{WM_NCACTIVATE, WM_ACTIVATE, WM_DESTROY};
    EXPECT_TRUE(left == leaving || left == toAnotherProgram) << ::testing::PrintToString(left);
#else
    EXPECT_EQ(left, leaving);
#endif
    EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(Parity, AHiddenOverlappedWindowHearsItsSizeWhenFirstShownOnly) {
    HWND w = top(WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(messagesOf(w),
              (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE}));
    HWND popup = CreateWindowExW(0, kClass, TEXTW("p"), WS_POPUP, 0, 0, 40, 30, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    made.push_back(popup);
    EXPECT_EQ(messagesOf(popup),
              (std::vector<UINT>{WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}));
    seen.clear();
    ShowWindow(w, SW_SHOW);
    EXPECT_EQ(messagesOf(w, {WM_SHOWWINDOW, WM_SIZE, WM_MOVE}),
              (std::vector<UINT>{WM_SHOWWINDOW, WM_SIZE, WM_MOVE}));
    seen.clear();
    ShowWindow(w, SW_HIDE);
    ShowWindow(w, SW_SHOW);
    EXPECT_TRUE(messagesOf(w, {WM_SIZE, WM_MOVE}).empty());
}

TEST_F(Parity, CreateParamsComeFirstInTheCreationRecordOfALiveWindow) {
    int marker = 0;
    HWND w = CreateWindowExW(0, kClass, TEXTW("T"), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleW(nullptr), &marker);
    made.push_back(w);
    EXPECT_EQ(lastCreateParam, &marker);
    EXPECT_EQ(lastCreated, w);
    EXPECT_TRUE(aliveDuringCreate);
}

TEST_F(Parity, AChildIsSizedAtCreationAndItsParentIsTold) {
    HWND w = top();
    seen.clear();
    HWND c = child(w, 7, 5, 6);
    EXPECT_EQ(messagesOf(c, {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE,
                             WM_MOVE, WM_SHOWWINDOW}),
              (std::vector<UINT>{WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE,
                                 WM_SHOWWINDOW}));
    ASSERT_EQ(messagesOf(w), (std::vector<UINT>{WM_PARENTNOTIFY}));
    for (const Seen& s : seen) {
        if (s.hwnd != w) continue;
        EXPECT_EQ(LOWORD(s.wParam), WM_CREATE);
        EXPECT_EQ(HIWORD(s.wParam), 7);
        EXPECT_EQ(s.lParam, reinterpret_cast<LPARAM>(c));
    }
    EXPECT_EQ(GetParent(c), w);
    EXPECT_EQ(GetDlgCtrlID(c), 7);
    EXPECT_EQ(GetDlgItem(w, 7), c);
}

TEST_F(Parity, TheFrameAndMenuBarTakeTheirShareOfTheWindow) {
    HWND w = top();
    RECT wr, cr = clientRect(w);
    GetWindowRect(w, &wr);
    EXPECT_EQ(wr.left, 10);
    EXPECT_EQ(wr.top, 20);
    EXPECT_EQ(wr.right, 310);
    EXPECT_EQ(wr.bottom, 148);
    EXPECT_EQ(cr.left, 0);
    EXPECT_EQ(cr.top, 0);
    const int frame = GetSystemMetrics(SM_CXFRAME);
    EXPECT_EQ(cr.right, 300 - 2 * frame);
    EXPECT_EQ(cr.bottom, 128 - 2 * frame - GetSystemMetrics(SM_CYCAPTION));
    EXPECT_LT(cr.bottom, 128 - GetSystemMetrics(SM_CYCAPTION));
    RECT adjusted = cr;
    AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_EQ(adjusted.right - adjusted.left, 300);
    EXPECT_EQ(adjusted.bottom - adjusted.top, 128);

    seen.clear();
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_STRING, 1, TEXTW("File"));
    ASSERT_TRUE(SetMenu(w, bar));
    EXPECT_EQ(GetMenu(w), bar);
    RECT withMenu = clientRect(w);
    EXPECT_EQ(withMenu.right, cr.right);
    EXPECT_EQ(withMenu.bottom, cr.bottom - GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(messagesOf(w, {WM_SIZE}), (std::vector<UINT>{WM_SIZE}));
    EXPECT_FALSE(SetMenu(child(w, 3), bar));

    // A menu given at creation takes the same share.
    HMENU other = CreateMenu();
    AppendMenuW(other, MF_STRING, 1, TEXTW("File"));
    RECT createdWithMenu = clientRect(top(WS_OVERLAPPEDWINDOW, 300, 128, other));
    EXPECT_EQ(createdWithMenu.right, cr.right);
    EXPECT_EQ(createdWithMenu.bottom, withMenu.bottom);
}

TEST_F(Parity, MovingAWindowSendsMoveAndSizeOnlyForWhatChanged) {
    HWND w = top();
    HWND c = child(w, 1);
    seen.clear();
    ASSERT_TRUE(MoveWindow(c, 10, 12, 60, 45, TRUE));
    EXPECT_EQ(
        messagesOf(c, {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}),
        (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE,
                           WM_SIZE}));
    for (const Seen& s : seen) {
        if (s.hwnd != c) continue;
        if (s.message == WM_MOVE) {
            EXPECT_EQ(s.lParam, MAKELPARAM(10, 12));
        }
        if (s.message == WM_SIZE) {
            EXPECT_EQ(s.wParam, static_cast<WPARAM>(SIZE_RESTORED));
            EXPECT_EQ(s.lParam, MAKELPARAM(60, 45));
        }
    }
    RECT r = placeIn(c, w);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 12);
    // The same rectangle again changes nothing: the window hears the request and no more.
    seen.clear();
    MoveWindow(c, 10, 12, 60, 45, TRUE);
    EXPECT_EQ(messagesOf(c), (std::vector<UINT>{WM_WINDOWPOSCHANGING}));
    seen.clear();
    MoveWindow(c, 20, 12, 60, 45, TRUE);
    EXPECT_EQ(messagesOf(c, {WM_MOVE, WM_SIZE}), (std::vector<UINT>{WM_MOVE}));
}

TEST_F(Parity, CloseDestroysTheWindowBeforeItsChildrenAndThemBeforeTheirs) {
    HWND w = top();
    HWND a = child(w, 1);
    HWND grandchild = child(a, 3);
    HWND b = child(w, 2);
    seen.clear();
    SendMessageW(w, WM_CLOSE, 0, 0);
    std::vector<std::pair<HWND, UINT>> order;
    for (const Seen& s : seen)
        if (s.message == WM_DESTROY || s.message == WM_NCDESTROY)
            order.push_back({s.hwnd, s.message});
    EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{w, WM_DESTROY},
                                                         {a, WM_DESTROY},
                                                         {grandchild, WM_DESTROY},
                                                         {b, WM_DESTROY},
                                                         {grandchild, WM_NCDESTROY},
                                                         {a, WM_NCDESTROY},
                                                         {b, WM_NCDESTROY},
                                                         {w, WM_NCDESTROY}}));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(grandchild));
    EXPECT_FALSE(DestroyWindow(w));
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
    EXPECT_EQ(windowText(w), Text(TEXTW("Top")));
    EXPECT_EQ(SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(TEXTW("Changed"))), TRUE);
    EXPECT_EQ(GetWindowTextLengthW(w), 7);
    WCHAR small[4];
    EXPECT_EQ(GetWindowTextW(w, small, 4), 3);
    EXPECT_EQ(small[3], 0);
    EXPECT_EQ(Text(small), Text(TEXTW("Cha")));
    EXPECT_TRUE(SetWindowTextW(w, nullptr));
    EXPECT_EQ(GetWindowTextLengthW(w), 0);
    EXPECT_FALSE(SetWindowTextW(reinterpret_cast<HWND>(0x4444), TEXTW("x")));
    EXPECT_EQ(SendMessageW(w, WM_SETFONT, 0, TRUE), 0);
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
    // A popup inserted without an identifier answers to 0, so the next one "before 0" goes
    // in front of it.
    info.hSubMenu = CreateMenu();
    info.dwTypeData = const_cast<LPWSTR>(TEXTW("Edit"));
    InsertMenuItemW(bar, 0, FALSE, &info);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(menuText(bar, 0), Text(TEXTW("Edit")));
    EXPECT_EQ(menuText(bar, 1), Text(TEXTW("File")));
    EXPECT_EQ(GetMenuItemID(bar, 0), ~0u); // a popup has no command
    EXPECT_EQ(GetSubMenu(bar, 1), file);

    // Identifiers the menu does not hold append, in call order.
    info.fMask = MIIM_ID | MIIM_TYPE;
    info.wID = 257;
    info.dwTypeData = const_cast<LPWSTR>(TEXTW("MML Open"));
    EXPECT_TRUE(InsertMenuItemW(file, 257, FALSE, &info));
    info.wID = 260;
    info.dwTypeData = const_cast<LPWSTR>(TEXTW("Exit"));
    EXPECT_TRUE(InsertMenuItemW(file, 260, FALSE, &info));
    ASSERT_EQ(GetMenuItemCount(file), 2);
    EXPECT_EQ(menuText(file, 0), Text(TEXTW("MML Open")));
    EXPECT_EQ(menuText(file, 1), Text(TEXTW("Exit")));
    EXPECT_EQ(GetMenuItemID(file, 0), 257u);
    EXPECT_EQ(GetMenuItemID(file, 1), 260u);

    // Deleting by command looks into the popups.
    EXPECT_FALSE(DeleteMenu(bar, 999, MF_BYCOMMAND));
    EXPECT_TRUE(DeleteMenu(bar, 257, MF_BYCOMMAND));
    ASSERT_EQ(GetMenuItemCount(file), 1);
    EXPECT_EQ(menuText(file, 0), Text(TEXTW("Exit")));
    EXPECT_FALSE(DeleteMenu(file, 5, MF_BYPOSITION));
    // Deleting the popup's entry destroys the popup too.
    EXPECT_TRUE(DeleteMenu(bar, 1, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(file));
    DestroyMenu(bar);
}

TEST_F(Parity, TheStatusBarFollowsItsParentsBottomEdge) {
    HWND w = top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300);
    HWND bar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM,
                                   TEXTW("init"), w, 1);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetDlgCtrlID(bar), 1);
    auto check = [&] {
        RECT c = clientRect(w), r = placeIn(bar, w);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.right, c.right);
        EXPECT_EQ(r.bottom, c.bottom);
        EXPECT_GT(r.bottom - r.top, 10);
        return r.bottom - r.top;
    };
    int height = check();
    MoveWindow(w, 10, 20, 500, 350, TRUE);
    // The frame forwards its size to the bar, as the main window does.
    RECT c = clientRect(w);
    SendMessageW(bar, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right, c.bottom));
    EXPECT_EQ(check(), height);

    EXPECT_EQ(GetWindowTextLengthW(bar), 4);
    EXPECT_TRUE(SendMessageW(bar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(TEXTW("hi"))));
    EXPECT_EQ(statusPartText(bar, 0), Text(TEXTW("init")));
    EXPECT_FALSE(SendMessageW(bar, SB_SETTEXTW, 5, reinterpret_cast<LPARAM>(TEXTW("x"))));
}

TEST_F(Parity, TheRebarGrowsWithItsBandsAndTellsItsParent) {
    HWND w = top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 300);
    HWND rebar = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, TEXTW("Rebar"), 0x56C00648,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, w,
                                 reinterpret_cast<HMENU>(9), GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(rebar, nullptr);
    // It asked its parent which text its notifications carry, and was told Unicode.
    EXPECT_EQ(messagesOf(w, {WM_NOTIFYFORMAT}), (std::vector<UINT>{WM_NOTIFYFORMAT}));
    EXPECT_EQ(DefWindowProcW(w, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(rebar), NF_QUERY),
              NFR_UNICODE);
    HFONT font = reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(rebar, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(rebar, WM_GETFONT, 0, 0)), font);
    MoveWindow(rebar, 0, 0, 480, 200, TRUE);
    EXPECT_EQ(clientRect(rebar).bottom, 0); // no bands, no height
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
    // Windows' rebar sends other notices besides (child size, auto size, custom draw).
    auto heightChanges = [] {
        std::vector<NMHDR> found;
        for (const NMHDR& n : notes)
            if (n.code == static_cast<UINT>(RBN_HEIGHTCHANGE)) found.push_back(n);
        return found;
    };
    ASSERT_EQ(heightChanges().size(), 1u);
    EXPECT_EQ(heightChanges()[0].hwndFrom, rebar);
    EXPECT_EQ(heightChanges()[0].idFrom, 9u);
    EXPECT_EQ(static_cast<int>(RBN_HEIGHTCHANGE), -831);
    EXPECT_EQ(clientRect(rebar).bottom, 25);
    EXPECT_EQ(GetParent(inside), rebar); // the band's window moved into the rebar
    RECT ir;
    GetWindowRect(inside, &ir);
    EXPECT_EQ(ir.bottom - ir.top, 25);

    // A second band with a break starts a new row: the rebar grows again.
    band.fStyle = RBBS_BREAK;
    band.hwndChild = child(w, 31);
    band.cyMinChild = 30;
    SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
    EXPECT_EQ(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0), 2);
    EXPECT_EQ(clientRect(rebar).bottom, 25 + 2 + 30);
    EXPECT_EQ(heightChanges().size(), 2u);

    // Asked to fill its parent, it stays as high as its bands and says nothing.
    MoveWindow(rebar, 0, 0, 480, 250, TRUE);
    EXPECT_EQ(clientRect(rebar).bottom, 57);
    EXPECT_EQ(heightChanges().size(), 2u);

    // A band without a child window is only as high as its decoration.
    band.hwndChild = nullptr;
    SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
    EXPECT_EQ(clientRect(rebar).bottom, 57 + 2 + 4);

    band.cbSize = 8;
    EXPECT_FALSE(SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(&band)));
    EXPECT_FALSE(SendMessageW(rebar, RB_INSERTBANDW, 0, 0));
}

TEST_F(Parity, TheTooltipIsAPopupOfItsOwnerAndWatchesWithoutSwallowing) {
    HWND w = top();
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, w, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(GetParent(tip), w); // a pop-up: its parent is its owner
    EXPECT_TRUE(GetWindowLongW(tip, GWL_STYLE) & WS_POPUP);
    RECT tr;
    GetWindowRect(tip, &tr);
    EXPECT_EQ(tr.right - tr.left, 0); // nothing to show yet

    LONG_PTR before = GetWindowLongPtrW(w, GWLP_WNDPROC);
    WCHAR text[] = TEXTW("tip");
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = w;
    GetClientRect(w, &tool.rect);
    tool.lpszText = text;
    EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_NE(GetWindowLongPtrW(w, GWLP_WNDPROC), before);
    EXPECT_FALSE(SendMessageW(tip, TTM_ADDTOOLW, 0, 0));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    tool.rect = {0, 0, 5, 5};
    SendMessageW(tip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));

    // The window's own procedure still answers, through the tooltip's subclass.
    message_recorder::setHook([](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != WM_USER + 1) return false;
        *r = 77;
        return true;
    });
    seen.clear();
    EXPECT_EQ(SendMessageW(w, WM_USER + 1, 0, 0), 77);
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(messagesOf(w, {WM_USER + 1, WM_MOUSEMOVE}),
              (std::vector<UINT>{WM_USER + 1, WM_MOUSEMOVE}));
    WCHAR back[16] = {};
    tool.lpszText = back;
    SendMessageW(tip, TTM_GETTEXTW, 16, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(Text(back), Text(TEXTW("tip")));

    // The owner's destruction takes the tooltip with it.
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(tip));
}

TEST_F(Parity, TheToolbarTakesTheStandardImagesOnceAndItsClicksAreCommands) {
    HWND w = top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300);
    TBBUTTON buttons[2] = {};
    buttons[0].iBitmap = STD_FILEOPEN;
    buttons[0].idCommand = 100;
    buttons[0].fsState = TBSTATE_ENABLED;
    buttons[1].iBitmap = STD_FILESAVE;
    buttons[1].idCommand = 101;
    buttons[1].fsState = TBSTATE_ENABLED;
    HWND tb = CreateToolbarEx(w, WS_CHILD | WS_VISIBLE, 9, 15, HINST_COMMCTRL, IDB_STD_SMALL_COLOR,
                              buttons, 2, 0, 0, 0, 0, sizeof(TBBUTTON));
    ASSERT_NE(tb, nullptr);
    EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 2);
    // The standard images are there already: the same bitmap answers where it is.
    TBADDBITMAP same{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&same)), 0);
    TBADDBITMAP view{HINST_COMMCTRL, IDB_VIEW_SMALL_COLOR};
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&view)), 15);
    EXPECT_EQ(SendMessageW(tb, TB_ADDBITMAP, 1, 0), -1);
    EXPECT_TRUE(SendMessageW(tb, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(buttons)));
    EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 3);
    TBBUTTON read{};
    ASSERT_TRUE(SendMessageW(tb, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&read)));
    EXPECT_EQ(read.idCommand, 101);
    SendMessageW(tb, TB_AUTOSIZE, 0, 0);
    RECT r = placeIn(tb, w);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, clientRect(w).right);

    // A click on the first button is its command to the parent.
    seen.clear();
    SendMessageW(tb, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(tb, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(messagesOf(w, {WM_COMMAND}).size(), 1u);
    for (const Seen& s : seen)
        if (s.hwnd == w && s.message == WM_COMMAND) {
            EXPECT_EQ(LOWORD(s.wParam), 100);
            EXPECT_EQ(s.lParam, reinterpret_cast<LPARAM>(tb));
        }
}

TEST_F(Parity, TheQueueEndsWithTheQuitCodeAndTakesPostsFromOtherThreads) {
    HWND w = top();
    EXPECT_EQ(LoadAcceleratorsW(GetModuleHandleW(nullptr), TEXTW("MYACCEL")), nullptr);
    MSG msg{w, WM_KEYDOWN, 'O', 0, 0, {}};
    EXPECT_EQ(TranslateAcceleratorW(w, nullptr, &msg), 0);
    MSG drain;
    while (PeekMessageW(&drain, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&drain);
    std::atomic<bool> posted{false};
    std::thread poster([w, &posted] {
        // Not a wait for anything: the message must arrive whether or not the main thread
        // already waits for it; the pause makes the waiting case the usual one.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        posted = true;
        PostMessageW(w, WM_APP + 1, 5, 6);
    });
    int r;
    do {
        r = GetMessageW(&msg, nullptr, 0, 0);
        if (r > 0 && msg.message != WM_APP + 1) DispatchMessageW(&msg);
    } while (r > 0 && msg.message != WM_APP + 1);
    poster.join();
    ASSERT_EQ(r, 1);
    EXPECT_TRUE(posted);
    EXPECT_EQ(msg.hwnd, w);
    EXPECT_EQ(msg.wParam, 5u);

    // The quit waits for what was posted after it.
    PostQuitMessage(9);
    PostMessageW(w, WM_USER, 0, 0);
    bool postedAfterQuit = false;
    while ((r = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        postedAfterQuit = postedAfterQuit || msg.message == WM_USER;
        DispatchMessageW(&msg);
    }
    EXPECT_TRUE(postedAfterQuit);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 9u);
}

} // namespace
