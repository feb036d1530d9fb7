// The Qt display driver against our window system, on a real (virtual) X display: what the
// user does to the desktop window arrives as the messages Windows sends, and what our layer
// changes shows on the desktop.
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QSizeGrip>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "platform/drivers/qt/qt_drivers.h"
#include "platform/testing/testing.h"

#include "platform/win32.h"
#include "tests/support/player_format.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen>& seen() {
    static std::vector<Seen> s;
    return s;
}

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen().push_back({hwnd, message, wParam, lParam});
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

const WCHAR* const kClass = u"QtDriverProbe";
constexpr UINT kOpenId = 257;

const Seen* lastOf(HWND hwnd, UINT message) {
    for (auto it = seen().rbegin(); it != seen().rend(); ++it)
        if (it->hwnd == hwnd && it->message == message) return &*it;
    return nullptr;
}

// Runs our message loop and Qt's events until the condition holds or the time is up.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        platform::user::dispatchPending();
        if (done()) return true;
        platform::displayDriver().waitForEvents(20ms);
    }
    platform::user::dispatchPending();
    return done();
}

class QtDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = recordingProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = kClass;
            wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION); // as the player's frame does
            ASSERT_NE(RegisterClassExW(&wc), 0);
            registered = true;
        }
        seen().clear();
        HMENU bar = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, kOpenId, u"MML Open");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"File");
        hwnd = CreateWindowExW(0, kClass, u"Probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 50, 300,
                               128, nullptr, bar, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(hwnd, nullptr);
        status = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, u"", hwnd, 1);
        ASSERT_NE(status, nullptr);
        ASSERT_TRUE(pumpUntil([this] { return frame() && frame()->isVisible(); }));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame()));
    }

    void TearDown() override {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        pumpUntil([] { return false; }, 50ms);
    }

    QWidget* frame() const {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == QStringLiteral("Probe")) return w;
        return nullptr;
    }

    HWND hwnd = nullptr;
    HWND status = nullptr;
};

TEST_F(QtDriverTest, TheDesktopWindowIsOurWindowRectangleWithItsCaptionAndMenuBar) {
    QWidget* f = frame();
    ASSERT_NE(f, nullptr);
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(f->geometry(), QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
    EXPECT_EQ(f->size(), QSize(300, 128));

    auto* bar = f->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->actions().size(), 1);
    EXPECT_EQ(bar->actions()[0]->text(), QStringLiteral("File"));
    // The client area starts below the menu bar and reaches the bottom edge.
    RECT c{};
    GetClientRect(hwnd, &c);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    EXPECT_EQ(origin.y - r.top, bar->height());
    EXPECT_EQ(c.right, 300);
    EXPECT_EQ(c.bottom, 128 - bar->height());

    SetWindowTextW(hwnd, u"Renamed");
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Renamed"));
    SetWindowTextW(hwnd, u"Probe");
}

TEST_F(QtDriverTest, AMenuItemSendsItsCommand) {
    auto* bar = frame()->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->actions().size(), 1);
    QMenu* file = bar->actions()[0]->menu();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->actions().size(), 1);
    EXPECT_EQ(file->actions()[0]->text(), QStringLiteral("MML Open"));
    file->actions()[0]->trigger();
    ASSERT_TRUE(pumpUntil([this] { return lastOf(hwnd, WM_COMMAND) != nullptr; }));
    EXPECT_EQ(lastOf(hwnd, WM_COMMAND)->wParam, MAKEWPARAM(kOpenId, 0));

    // A changed menu is rebuilt.
    HMENU menu = GetMenu(hwnd);
    AppendMenuW(menu, MF_STRING, 300, u"Help");
    DrawMenuBar(hwnd);
    EXPECT_TRUE(pumpUntil([&] { return bar->actions().size() == 2; }));
}

TEST_F(QtDriverTest, ResizingTheDesktopWindowSendsSizeAndMovesTheStatusBar) {
    QWidget* f = frame();
    f->resize(420, 260);
    ASSERT_TRUE(pumpUntil([this] {
        RECT r{};
        GetWindowRect(hwnd, &r);
        return r.right - r.left == 420 && r.bottom - r.top == 260;
    }));
    RECT c{};
    GetClientRect(hwnd, &c);
    const Seen* size = lastOf(hwnd, WM_SIZE);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(LOWORD(size->lParam), c.right);
    EXPECT_EQ(HIWORD(size->lParam), c.bottom);
    EXPECT_EQ(c.right, 420);

    // The status bar follows, and its grip sits in the window's bottom-right corner.
    SendMessageW(status, WM_SIZE, 0, 0);
    pumpUntil([] { return false; }, 100ms);
    RECT s{};
    GetWindowRect(status, &s);
    RECT w{};
    GetWindowRect(hwnd, &w);
    EXPECT_EQ(s.bottom, w.bottom);
    auto* grip = f->findChild<QSizeGrip*>();
    ASSERT_NE(grip, nullptr);
    EXPECT_TRUE(grip->isVisible());
    const QPoint corner = grip->mapTo(f, QPoint(grip->width(), grip->height()));
    EXPECT_EQ(corner, QPoint(420, 260));
}

TEST_F(QtDriverTest, MovingTheDesktopWindowSendsMove) {
    frame()->move(120, 90);
    ASSERT_TRUE(pumpUntil([this] {
        RECT r{};
        GetWindowRect(hwnd, &r);
        return r.left == 120 && r.top == 90;
    }));
    EXPECT_NE(lastOf(hwnd, WM_MOVE), nullptr);
}

TEST_F(QtDriverTest, MouseInTheClientAreaArrivesInClientCoordinates) {
    QWidget* f = frame();
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    RECT r{};
    GetWindowRect(hwnd, &r);
    const QPoint inFrame(30 + origin.x - r.left, 20 + origin.y - r.top);
    QWidget* client = f->childAt(inFrame);
    ASSERT_NE(client, nullptr);
    QTest::mouseClick(client, Qt::LeftButton, {}, client->mapFrom(f, inFrame));
    ASSERT_TRUE(pumpUntil([this] { return lastOf(hwnd, WM_LBUTTONUP) != nullptr; }));
    const Seen* down = lastOf(hwnd, WM_LBUTTONDOWN);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(LOWORD(down->lParam), 30);
    EXPECT_EQ(HIWORD(down->lParam), 20);
    EXPECT_EQ(down->wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(LOWORD(lastOf(hwnd, WM_LBUTTONUP)->lParam), 30);
}

TEST_F(QtDriverTest, TheCloseBoxClosesThroughTheDefaultProcessing) {
    frame()->close();
    ASSERT_TRUE(pumpUntil([this] { return !IsWindow(hwnd); }));
    std::vector<UINT> order;
    for (const Seen& s : seen())
        if (s.message == WM_SYSCOMMAND || s.message == WM_CLOSE || s.message == WM_DESTROY)
            order.push_back(s.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_TRUE(pumpUntil([this] { return frame() == nullptr; }));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)); // from WM_DESTROY
}

// The menu bar's keyboard mode runs in our layer; the desktop window shows it and hands it
// every key.
TEST_F(QtDriverTest, F10HighlightsFileDownOpensItReturnChooses) {
    QWidget* f = frame();
    auto* bar = f->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QMenu* file = bar->actions()[0]->menu();
    const QImage plain = bar->grab().toImage();
    QTest::keyClick(f, Qt::Key_F10);
    ASSERT_TRUE(pumpUntil([this] { return platform::user::menuMode().window == hwnd; }));
    // Drawn: the highlighted "File" changes the bar's pixels.
    EXPECT_NE(bar->grab().toImage(), plain);
    EXPECT_FALSE(file->isVisible());
    QTest::keyClick(f, Qt::Key_Down);
    ASSERT_TRUE(pumpUntil([&] { return file->isVisible(); }));
    EXPECT_EQ(file->activeAction(), file->actions()[0]);
    // The popup has the keyboard now; its keys go to our layer too.
    QTest::keyClick(file, Qt::Key_Return);
    ASSERT_TRUE(pumpUntil([this] { return lastOf(hwnd, WM_COMMAND) != nullptr; }));
    EXPECT_EQ(lastOf(hwnd, WM_COMMAND)->wParam, MAKEWPARAM(kOpenId, 0));
    EXPECT_TRUE(pumpUntil([&] { return !file->isVisible(); }));
    EXPECT_EQ(platform::user::menuMode().window, nullptr);
    EXPECT_TRUE(pumpUntil([&] { return bar->grab().toImage() == plain; }));
    EXPECT_EQ(lastOf(hwnd, WM_KEYDOWN), nullptr);
}

TEST_F(QtDriverTest, EscapeFromThePopupLeavesTheModeAndTheNextKeyArrives) {
    QWidget* f = frame();
    QMenu* file = f->findChild<QMenuBar*>()->actions()[0]->menu();
    QTest::keyClick(f, Qt::Key_Alt);
    ASSERT_TRUE(pumpUntil([this] { return platform::user::menuMode().window == hwnd; }));
    QTest::keyClick(f, Qt::Key_Return);
    ASSERT_TRUE(pumpUntil([&] { return file->isVisible(); }));
    QTest::keyClick(file, Qt::Key_Escape);
    ASSERT_TRUE(pumpUntil([&] { return !file->isVisible(); }));
    EXPECT_EQ(platform::user::menuMode().window, nullptr);
    QTest::keyClick(f, Qt::Key_Down);
    ASSERT_TRUE(pumpUntil([this] { return lastOf(hwnd, WM_KEYDOWN) != nullptr; }));
    EXPECT_EQ(lastOf(hwnd, WM_KEYDOWN)->wParam, static_cast<WPARAM>(VK_DOWN));
    EXPECT_EQ(lastOf(hwnd, WM_COMMAND), nullptr);
}

TEST_F(QtDriverTest, APopupOpenedByTheMouseIsTheMenuModesToo) {
    auto* bar = frame()->findChild<QMenuBar*>();
    QMenu* file = bar->actions()[0]->menu();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions()[0]).center());
    ASSERT_TRUE(pumpUntil([&] { return file->isVisible(); }));
    EXPECT_TRUE(platform::user::menuMode().open);
    QTest::keyClick(file, Qt::Key_Down);
    ASSERT_TRUE(pumpUntil([&] { return file->activeAction() == file->actions()[0]; }));
    QTest::keyClick(file, Qt::Key_Escape);
    ASSERT_TRUE(pumpUntil([&] { return !file->isVisible(); }));
    EXPECT_EQ(platform::user::menuMode().window, nullptr);
}

TEST_F(QtDriverTest, ADefaultPositionIsLeftToTheWindowManager) {
    // The fixture's window was given (40, 50): the desktop was told so.
    EXPECT_TRUE(frame()->testAttribute(Qt::WA_Moved));
    HWND placed = CreateWindowExW(0, kClass, u"Placed", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(placed, nullptr);
    QWidget* view = platform::qt::desktopWindowFor(placed);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return view->isVisible(); }));
    EXPECT_FALSE(view->testAttribute(Qt::WA_Moved));
    EXPECT_EQ(view->size(), QSize(200, 100));
    // A move asked for later is honoured.
    SetWindowPos(placed, nullptr, 70, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(pumpUntil([&] { return view->pos() == QPoint(70, 80); }));
    DestroyWindow(placed);
    pumpUntil([] { return false; }, 50ms);
}

TEST_F(QtDriverTest, TheStockApplicationIconIsTheProgramsOwn) {
    const QIcon own = platform::qt::applicationIcon();
    ASSERT_FALSE(own.isNull());
    // No theme here has "marrowtone": the built-in picture stands in, at its full size.
    EXPECT_EQ(own.pixmap(48, 48).size(), QSize(48, 48));
    EXPECT_EQ(frame()->windowIcon().cacheKey(), own.cacheKey());
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("marrowtone"));
}

TEST_F(QtDriverTest, TheOpenDialogListsFilesWithoutADotUnderAllAndShowsTheIcon) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"README", "song.mml"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    platform::OpenFileRequest request;
    request.owner = hwnd;
    request.filters = {{"MML {*.mml}", "*.mml"}, {"ALL {*.*}", "*.*"}};
    request.selectedFilter = 1;
    request.initialDirectory = dir.path().toStdString();
    request.fileMustExist = true;

    // Reads the dialog's list while it runs, then cancels it.
    QStringList listed;
    qint64 icon = 0;
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) dialog = d;
        if (!dialog) return;
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        if (view && view->model()) {
            QStringList names;
            const QModelIndex root = view->rootIndex();
            for (int i = 0; i < view->model()->rowCount(root); i++)
                names << view->model()->index(i, 0, root).data().toString();
            icon = dialog->windowIcon().cacheKey();
            // The folder is read in the background: wait for both files, or give up.
            if (names.size() >= 2 || ++ticks > 250) {
                listed = names;
                dialog->reject();
            }
        }
    });
    poll.start(20);
    EXPECT_FALSE(platform::fileChooser().chooseFileToOpen(request).has_value());
    poll.stop();
    listed.sort();
    EXPECT_EQ(listed, (QStringList{QStringLiteral("README"), QStringLiteral("song.mml")}));
    EXPECT_EQ(icon, platform::qt::applicationIcon().cacheKey());
}

TEST_F(QtDriverTest, AScreenReaderSeesAFrameNamedByItsCaptionAndAStatusBar) {
    QAccessibleInterface* top = QAccessible::queryAccessibleInterface(frame());
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->role(), QAccessible::Window); // a frame to AT-SPI
    EXPECT_EQ(top->text(QAccessible::Name), QStringLiteral("Probe"));

    std::vector<QAccessibleInterface*> bars;
    for (QWidget* w : frame()->findChildren<QWidget*>())
        if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            a && a->role() == QAccessible::StatusBar)
            bars.push_back(a);
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0]->text(QAccessible::Name), QString());
    SendMessageW(status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(u"Playing song.mml"));
    EXPECT_EQ(bars[0]->text(QAccessible::Name), QStringLiteral("Playing song.mml"));
    // Reached from the frame, as a screen reader walks the tree.
    std::function<bool(QAccessibleInterface*, int)> holdsBar = [&](QAccessibleInterface* a,
                                                                   int depth) {
        if (a->role() == QAccessible::StatusBar) return true;
        for (int i = 0; depth < 4 && i < a->childCount(); i++)
            if (a->child(i) && holdsBar(a->child(i), depth + 1)) return true;
        return false;
    };
    EXPECT_TRUE(holdsBar(top, 0));
}

TEST_F(QtDriverTest, AMessagePostedFromAnotherThreadEndsTheWait) {
    // GetMessageW waits in the driver; a post from elsewhere must reach it there. How soon
    // it wakes is measured by bench/message_wake_bench.cpp.
    for (int round = 0; round < 20; round++) {
        std::thread poster([&] {
            // Not a wait for anything: the post must arrive either way; the pause makes the
            // case of a thread already waiting the usual one.
            std::this_thread::sleep_for(5ms);
            PostMessageW(hwnd, WM_USER + 1, static_cast<WPARAM>(round), 0);
        });
        MSG msg{};
        BOOL got = FALSE;
        while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0 && msg.message != WM_USER + 1)
            DispatchMessageW(&msg);
        poster.join();
        ASSERT_GT(got, 0);
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(round)) << "round " << round;
    }
}

TEST(QtAudioDriver, WithoutAnAudioServerThereIsNoDeviceAndNoFailure) {
    // The test runs with the audio server's address pointing at nothing.
    EXPECT_STREQ(platform::audioDriver().name(), "pulse");
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    WAVEFORMATEX format = playerFormat();
    EXPECT_EQ(platform::audioDriver().open(format), nullptr);
    format.wBitsPerSample = 12; // no such sample format
    EXPECT_EQ(platform::audioDriver().open(format), nullptr);
}

} // namespace
