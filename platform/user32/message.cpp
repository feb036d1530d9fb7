// The thread's message queue, sending, dispatching and accelerators.
#include "platform/drivers/driver.h"
#include "platform/user32/user32_private.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace platform::detail {

namespace {

// Windows refuses to post beyond this many messages in one queue; so do we, so that a
// runaway producer fails instead of eating memory.
constexpr size_t kQueueLimit = 10000;
// Deeper nesting than this is a procedure sending to itself without end.
constexpr int kSendDepthLimit = 1000;
// The most entries an accelerator table may have.
constexpr int kMaxAccelerators = 32767;

// A message sent from a thread that does not own the window; the owner runs it while it
// waits for messages, and the sender waits for the result.
struct CrossThreadSend {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
    std::mutex mutex;
    std::condition_variable cv;
};

struct Queue {
    std::mutex mutex;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<CrossThreadSend>> sends;
    bool quit = false;
    int quitCode = 0;
    std::chrono::milliseconds waitLimit{0};
};

Queue& queue() {
    static Queue q;
    return q;
}

thread_local int sendDepth = 0;
thread_local DWORD lastMessageTime = 0;

struct Accelerators {
    std::map<uintptr_t, std::vector<ACCEL>> tables;
};

Accelerators& accelerators() {
    static Accelerators a;
    return a;
}

void runCrossThreadSends() {
    std::vector<std::shared_ptr<CrossThreadSend>> mine;
    {
        auto& q = queue();
        std::lock_guard lock(q.mutex);
        for (auto it = q.sends.begin(); it != q.sends.end();) {
            if (windowThread((*it)->hwnd) == std::this_thread::get_id() ||
                !isLiveWindow((*it)->hwnd)) {
                mine.push_back(*it);
                it = q.sends.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& s : mine) {
        LRESULT r = SendMessageW(s->hwnd, s->message, s->wParam, s->lParam);
        std::lock_guard lock(s->mutex);
        s->result = r;
        s->done = true;
        s->cv.notify_all();
    }
}

bool takeOne(LPMSG out, HWND filter, UINT low, UINT high, bool remove) {
    bool all = low == 0 && high == 0;
    auto inRange = [&](UINT m) { return all || (m >= low && m <= high); };
    auto forFilter = [&](HWND h) {
        if (!filter) return true;
        if (filter == reinterpret_cast<HWND>(-1)) return h == nullptr;
        return h == filter || IsChild(filter, h);
    };
    auto& q = queue();
    {
        std::lock_guard lock(q.mutex);
        for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
            if (!inRange(it->message) || !forFilter(it->hwnd)) continue;
            *out = *it;
            if (remove) q.posted.erase(it);
            lastMessageTime = out->time;
            return true;
        }
        // WM_QUIT is a flag, not a queued message: it comes after everything posted before
        // and after it.
        if (q.quit && !filter && inRange(WM_QUIT)) {
            *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, GetTickCount(), {}};
            if (remove) q.quit = false;
            lastMessageTime = out->time;
            return true;
        }
    }
    // Painting has the lowest priority and is generated while a window needs it.
    if (inRange(WM_PAINT)) {
        HWND paint = findWindowToPaint(filter == reinterpret_cast<HWND>(-1) ? nullptr : filter);
        if (paint && forFilter(paint)) {
            *out = MSG{paint, WM_PAINT, 0, 0, GetTickCount(), {}};
            lastMessageTime = out->time;
            return true;
        }
    }
    return false;
}

bool takeMessage(LPMSG out, HWND filter, UINT low, UINT high, bool remove) {
    runCrossThreadSends();
    while (takeOne(out, filter, low, high, remove)) {
        if (!remove || !menuModeTakes(*out)) return true;
    }
    return false;
}

} // namespace

void discardMessagesFor(HWND hwnd) {
    auto& q = queue();
    std::lock_guard lock(q.mutex);
    q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(),
                                  [&](const MSG& m) { return m.hwnd == hwnd; }),
                   q.posted.end());
}

} // namespace platform::detail

using namespace platform::detail;

namespace platform::detail {

void setMessageWaitLimit(std::chrono::milliseconds limit) {
    auto& q = queue();
    std::lock_guard lock(q.mutex);
    q.waitLimit = limit;
}

size_t postedMessageCount() {
    auto& q = queue();
    std::lock_guard lock(q.mutex);
    return q.posted.size();
}

bool quitPosted(int* exitCode) {
    auto& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.quit && exitCode) *exitCode = q.quitCode;
    return q.quit;
}

} // namespace platform::detail

DWORD WINAPI GetMessageTime(void) {
    return lastMessageTime;
}

BOOL WINAPI InSendMessage(void) {
    return FALSE;
}

BOOL WINAPI GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    using namespace std::chrono;
    const auto start = steady_clock::now();
    for (;;) {
        if (takeMessage(msg, hwnd, filterMin, filterMax, true))
            return msg->message == WM_QUIT ? 0 : 1;
        milliseconds limit;
        {
            auto& q = queue();
            std::lock_guard lock(q.mutex);
            limit = q.waitLimit;
        }
        milliseconds wait{1000};
        if (limit.count() > 0) {
            auto waited = duration_cast<milliseconds>(steady_clock::now() - start);
            if (waited >= limit) {
                SetLastError(ERROR_TIMEOUT);
                return -1;
            }
            wait = std::min(wait, limit - waited);
        }
        displayDriver().waitForEvents(wait);
    }
}

BOOL WINAPI PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) return FALSE;
    return takeMessage(msg, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0);
}

BOOL WINAPI WaitMessage(void) {
    MSG msg;
    while (!takeMessage(&msg, nullptr, 0, 0, false))
        displayDriver().waitForEvents(std::chrono::milliseconds{1000});
    return TRUE;
}

BOOL WINAPI PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd == HWND_BROADCAST) {
        for (HWND w : allWindows())
            if (!(GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD))
                PostMessageW(w, message, wParam, lParam);
        return TRUE;
    }
    if (hwnd && !isLiveWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    {
        auto& q = queue();
        std::lock_guard lock(q.mutex);
        if (q.posted.size() >= kQueueLimit) {
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return FALSE;
        }
        q.posted.push_back(MSG{hwnd, message, wParam, lParam, GetTickCount(), {}});
    }
    displayDriver().wake();
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    {
        auto& q = queue();
        std::lock_guard lock(q.mutex);
        q.quit = true;
        q.quitCode = exitCode;
    }
    displayDriver().wake();
}

LRESULT WINAPI SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::thread::id owner = windowThread(hwnd);
    if (owner == std::thread::id{}) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (owner == std::this_thread::get_id()) {
        if (sendDepth >= kSendDepthLimit) {
            SetLastError(ERROR_STACK_OVERFLOW);
            return 0;
        }
        auto proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
        if (!proc) return 0;
        ++sendDepth;
        LRESULT r = proc(hwnd, message, wParam, lParam);
        --sendDepth;
        return r;
    }
    auto s = std::make_shared<CrossThreadSend>();
    s->hwnd = hwnd;
    s->message = message;
    s->wParam = wParam;
    s->lParam = lParam;
    {
        auto& q = queue();
        std::lock_guard lock(q.mutex);
        q.sends.push_back(s);
    }
    displayDriver().wake();
    std::unique_lock lock(s->mutex);
    while (!s->done) {
        if (s->cv.wait_for(lock, std::chrono::milliseconds(100)) == std::cv_status::timeout &&
            !isLiveWindow(hwnd)) {
            return 0;
        }
    }
    return s->result;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN && msg->message != WM_KEYUP &&
        msg->message != WM_SYSKEYUP)
        return FALSE;
    if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) {
        WPARAM key = msg->wParam;
        WPARAM ch = 0;
        if (key >= 'A' && key <= 'Z')
            ch = key - 'A' + 'a'; // no shift state is tracked
        else if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_RETURN ||
                 key == VK_BACK || key == VK_TAB || key == VK_ESCAPE)
            ch = key;
        if (ch)
            PostMessageW(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, ch,
                         msg->lParam);
    }
    return TRUE;
}

LRESULT WINAPI DispatchMessageW(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    if (!IsWindow(msg->hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    auto proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(msg->hwnd, GWLP_WNDPROC));
    LRESULT r = proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
    // A window that does not paint when asked is not asked again, or the queue would never
    // be empty.
    if (msg->message == WM_PAINT && IsWindow(msg->hwnd)) validateWindow(msg->hwnd);
    return r;
}

HACCEL WINAPI LoadAcceleratorsW(HINSTANCE, LPCWSTR) {
    // The program carries no resources.
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HACCEL WINAPI CreateAcceleratorTableW(LPACCEL entries, int count) {
    if (!entries || count <= 0 || count > kMaxAccelerators) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HACCEL table = makeHandle<HACCEL>();
    accelerators().tables[handleKey(table)].assign(entries, entries + count);
    return table;
}

BOOL WINAPI DestroyAcceleratorTable(HACCEL table) {
    return accelerators().tables.erase(handleKey(table)) ? TRUE : FALSE;
}

int WINAPI TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg) {
    if (!table || !msg) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return 0;
    }
    auto it = accelerators().tables.find(handleKey(table));
    if (it == accelerators().tables.end()) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return 0;
    }
    bool keyDown = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    bool charMsg = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
    if (!keyDown && !charMsg) return 0;
    bool alt = (msg->lParam & kKeyAltDown) != 0;
    for (const ACCEL& a : it->second) {
        bool virt = (a.fVirt & FVIRTKEY) != 0;
        if (virt != keyDown || a.key != msg->wParam) continue;
        // Shift and Control state is not tracked; entries that need them never match.
        if (a.fVirt & (FSHIFT | FCONTROL)) continue;
        if (((a.fVirt & FALT) != 0) != alt) continue;
        if (!IsWindow(hwnd)) return 0;
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
        return 1;
    }
    return 0;
}
