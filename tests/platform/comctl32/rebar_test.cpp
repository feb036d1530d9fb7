// The rebar: bands in rows, its height and its parent's notifications.
#include "tests/platform/comctl32/controls_fixture.h"

using namespace platform_test;

namespace {

// Windows' rebar also sends child-size, auto-size and custom-draw notices; ours only the
// height change, the one the program listens for.
TEST_F(Controls, RebarTellsItsParentOnlyOfHeightChanges) {
    HWND frame = makeTopLevel();
    HWND rebar = CreateWindowExW(0, u"ReBarWindow32", nullptr, WS_CHILD | CCS_NOPARENTALIGN, 0, 0,
                                 200, 10, frame, nullptr, nullptr, nullptr);
    std::vector<UINT> codes;
    setHook([&](HWND h, UINT m, WPARAM, LPARAM l, LRESULT*) {
        if (h == frame && m == WM_NOTIFY) codes.push_back(reinterpret_cast<NMHDR*>(l)->code);
        return false;
    });
    REBARBANDINFOW band{};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
    band.hwndChild = makeChild(frame, 30);
    band.cyMinChild = 25;
    ASSERT_TRUE(SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(&band)));
    MoveWindow(rebar, 0, 0, 180, 100, TRUE);
    EXPECT_EQ(codes, (std::vector<UINT>{static_cast<UINT>(RBN_HEIGHTCHANGE)}));
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
