// The rebar: bands in rows, its height and its parent's notifications.
#include "tests/platform/comctl32/controls_fixture.h"

using namespace platform_test;

namespace {

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

} // namespace
