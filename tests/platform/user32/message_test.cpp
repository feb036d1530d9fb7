// The message queue: posting, waiting, quitting, translating and dispatching.
#include "tests/platform/platform_fixture.h"

#include <atomic>
#include <thread>

using namespace platform_test;

namespace {

using Queue = PlatformTest;

TEST_F(Queue, PostedMessagesComeOutInOrderAndAreDispatchedToTheirWindow) {
    HWND w = makeTopLevel();
    PostMessageW(w, WM_USER + 1, 11, 12);
    PostMessageW(w, WM_USER + 2, 21, 22);
    PostMessageW(nullptr, WM_USER + 3, 0, 0); // a thread message
    MSG msg;
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.hwnd, w);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(msg.wParam, 11u);
    EXPECT_EQ(msg.lParam, 12);
    seen().clear();
    EXPECT_EQ(DispatchMessageW(&msg), 0);
    EXPECT_EQ(messagesOf(w), (std::vector<UINT>{WM_USER + 1}));
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(DispatchMessageW(&msg), 0);
}

TEST_F(Queue, PostingToAMissingWindowFails) {
    EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x5555), WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(platform::pendingMessageCount(), 0u);
}

TEST_F(Queue, MessagesOfADestroyedWindowAreDropped) {
    HWND w = makeTopLevel();
    PostMessageW(w, WM_USER, 0, 0);
    DestroyWindow(w);
    EXPECT_EQ(platform::pendingMessageCount(), 0u);
}

TEST_F(Queue, TheQuitLeavesNoRequestBehindOnceTaken) {
    PostQuitMessage(7);
    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_FALSE(platform::quitRequested());
}

TEST_F(Queue, ManyThreadsPostingLoseNothing) {
    HWND w = makeTopLevel();
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; t++)
        workers.emplace_back([w, t] {
            for (int i = 0; i < 200; i++)
                PostMessageW(w, WM_USER, static_cast<WPARAM>(t), i);
        });
    for (auto& t : workers)
        t.join();
    std::vector<int> next(4, 0);
    MSG msg;
    int count = 0;
    while (PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE)) {
        ASSERT_LT(msg.wParam, 4u);
        EXPECT_EQ(msg.lParam, next[msg.wParam]++); // each thread's messages stay in order
        count++;
    }
    EXPECT_EQ(count, 800);
}

TEST_F(Queue, SendingFromAnotherThreadRunsOnTheOwningThread) {
    HWND w = makeTopLevel();
    std::thread::id ranOn;
    setHook([&](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != WM_USER + 20) return false;
        ranOn = std::this_thread::get_id();
        *r = 55;
        return true;
    });
    LRESULT result = 0;
    std::thread worker([&] {
        result = SendMessageW(w, WM_USER + 20, 0, 0);
        PostMessageW(w, WM_USER + 21, 0, 0);
    });
    MSG msg;
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
    worker.join();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 21));
    EXPECT_EQ(result, 55);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(Queue, FiltersSelectByWindowAndRange) {
    HWND a = makeTopLevel(u"A");
    HWND b = makeTopLevel(u"B");
    PostMessageW(a, WM_USER + 1, 0, 0);
    PostMessageW(b, WM_USER + 2, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, b);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER + 5, WM_USER + 9, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER, WM_USER + 1, PM_NOREMOVE));
    EXPECT_EQ(platform::pendingMessageCount(), 1u);
    EXPECT_EQ(GetMessageW(&msg, reinterpret_cast<HWND>(0x3333), 0, 0), -1);
    EXPECT_EQ(GetMessageW(nullptr, nullptr, 0, 0), -1);
}

TEST_F(Queue, WaitingLongerThanTheLimitFails) {
    platform::setMessageWaitLimit(std::chrono::milliseconds(30));
    MSG msg;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST_F(Queue, ARunawayProducerIsStoppedAtTheQueueLimit) {
    HWND w = makeTopLevel();
    int accepted = 0;
    for (int i = 0; i < 20000; i++)
        accepted += PostMessageW(w, WM_USER, 0, 0) ? 1 : 0;
    EXPECT_EQ(accepted, 10000);
}

using Accelerators = PlatformTest;

TEST_F(Accelerators, AMatchingKeySendsItsCommand) {
    HWND w = makeTopLevel();
    ACCEL entries[] = {{FVIRTKEY, 'O', 257}};
    HACCEL table = CreateAcceleratorTableW(entries, 1);
    ASSERT_NE(table, nullptr);
    seen().clear();
    MSG other{w, WM_KEYDOWN, 'P', 0, 0, {}};
    EXPECT_EQ(TranslateAcceleratorW(w, table, &other), 0);
    MSG key{w, WM_KEYDOWN, 'O', 0, 0, {}};
    EXPECT_EQ(TranslateAcceleratorW(w, table, &key), 1);
    ASSERT_EQ(messagesOf(w), (std::vector<UINT>{WM_COMMAND}));
    EXPECT_EQ(LOWORD(seen().back().wParam), 257);
    EXPECT_EQ(HIWORD(seen().back().wParam), 1);
    EXPECT_TRUE(DestroyAcceleratorTable(table));
}

TEST_F(Accelerators, TranslateMessagePostsCharactersForKeys) {
    HWND w = makeTopLevel();
    MSG key{w, WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_TRUE(TranslateMessage(&key));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('a'));
    MSG mouse{w, WM_LBUTTONDOWN, 0, 0, 0, {}};
    EXPECT_FALSE(TranslateMessage(&mouse));
}

} // namespace
