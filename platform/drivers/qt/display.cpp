// The display on Qt Widgets.
//
// Our window system keeps every window, menu and message; this driver only shows them. A
// top-level window becomes a desktop window whose inside is our window rectangle: the desktop
// draws caption and borders around it, a menu bar built from our menu fills its top, and the
// client area fills the rest. Child windows become child widgets where our layer places them.
// What the user does to these widgets goes back to our layer as the messages Windows sends.
#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

#include "platform/drivers/qt/qt_drivers.h"

#include "platform/comctl32/control_views.h"
#include "platform/user32/window_system.h"

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace platform::qt {

namespace {

bool isChild(HWND h) {
    return (GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) != 0;
}
bool isPopup(HWND h) {
    return (GetWindowLongPtrW(h, GWL_STYLE) & WS_POPUP) != 0;
}

bool hasClass(HWND h, const char16_t* name) {
    WCHAR buffer[256];
    int n = GetClassNameW(h, buffer, 256);
    return QString::fromUtf16(buffer, n).compare(QString::fromUtf16(name), Qt::CaseInsensitive) ==
           0;
}

QRect toQRect(const RECT& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

QRect windowRect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return toQRect(r);
}

QSize clientSize(HWND h) {
    RECT r{};
    GetClientRect(h, &r);
    return QSize(r.right, r.bottom);
}

// Where the client area of a window starts inside the window itself.
QPoint clientOffset(HWND h) {
    RECT w{};
    GetWindowRect(h, &w);
    POINT p{0, 0};
    ClientToScreen(h, &p);
    return QPoint(p.x - w.left, p.y - w.top);
}

QString captionOf(HWND h) {
    return QString::fromStdString(platform::user::caption(h));
}

WPARAM keyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WPARAM state = 0;
    if (buttons & Qt::LeftButton) state |= MK_LBUTTON;
    if (buttons & Qt::RightButton) state |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) state |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) state |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) state |= MK_CONTROL;
    return state;
}

// Turns a mouse event on a widget showing hwnd into the message Windows would post, with the
// point in the window's client coordinates. Returns whether the event was one.
bool postMouse(HWND h, QEvent* event, QPoint offset) {
    UINT message = 0;
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse) return false;
    const Qt::MouseButton button = mouse->button();
    switch (event->type()) {
    case QEvent::MouseMove:
        message = WM_MOUSEMOVE;
        break;
    case QEvent::MouseButtonPress:
        message = button == Qt::LeftButton     ? WM_LBUTTONDOWN
                  : button == Qt::RightButton  ? WM_RBUTTONDOWN
                  : button == Qt::MiddleButton ? WM_MBUTTONDOWN
                                               : 0;
        break;
    case QEvent::MouseButtonRelease:
        message = button == Qt::LeftButton     ? WM_LBUTTONUP
                  : button == Qt::RightButton  ? WM_RBUTTONUP
                  : button == Qt::MiddleButton ? WM_MBUTTONUP
                                               : 0;
        break;
    case QEvent::MouseButtonDblClick:
        message = button == Qt::LeftButton     ? WM_LBUTTONDBLCLK
                  : button == Qt::RightButton  ? WM_RBUTTONDBLCLK
                  : button == Qt::MiddleButton ? WM_MBUTTONDBLCLK
                                               : 0;
        break;
    default:
        return false;
    }
    if (message == 0 || !IsWindow(h)) return true;
    const QPoint p = mouse->position().toPoint() - offset;
    PostMessageW(h, message, keyState(mouse->buttons(), mouse->modifiers()),
                 MAKELPARAM(static_cast<WORD>(p.x()), static_cast<WORD>(p.y())));
    return true;
}

// A child window, or a pop-up window of ours that is not a tooltip.
class WindowView : public QWidget {
public:
    WindowView(HWND hwnd, QWidget* parent, Qt::WindowFlags flags = {})
        : QWidget(parent, flags), hwnd_(hwnd) {
        setMouseTracking(true);
        setAutoFillBackground(false);
    }
    HWND hwnd() const { return hwnd_; }

protected:
    bool event(QEvent* e) override {
        if (postMouse(hwnd_, e, clientOffset(hwnd_))) return true;
        return QWidget::event(e);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
    }

    HWND hwnd_;
};

// The status bar: its parts with their texts, and a size grip in the corner when the bar's
// style asks for one. The grip resizes the desktop window like its border does.
class StatusBarView : public WindowView {
public:
    StatusBarView(HWND hwnd, QWidget* parent) : WindowView(hwnd, parent) {
        grip_ = new QSizeGrip(this);
        grip_->setVisible(false);
        updateGrip();
    }

    void updateGrip() {
        const bool wanted = (GetWindowLongPtrW(hwnd_, GWL_STYLE) & SBARS_SIZEGRIP) != 0;
        const QSize s = grip_->sizeHint();
        grip_->setGeometry(width() - s.width(), height() - s.height(), s.width(), s.height());
        grip_->setVisible(wanted);
    }

protected:
    void resizeEvent(QResizeEvent*) override { updateGrip(); }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        // A line along the top edge separates the bar from the client area above it.
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(0, 0, width() - 1, 0);

        std::vector<std::pair<int, std::string>> parts; // right edge, text
        if (SendMessageW(hwnd_, SB_ISSIMPLE, 0, 0)) {
            parts.emplace_back(-1, platform::comctl::statusText(hwnd_, SB_SIMPLEID));
        } else {
            int edges[256] = {};
            const int n = static_cast<int>(
                SendMessageW(hwnd_, SB_GETPARTS, 256, reinterpret_cast<LPARAM>(edges)));
            for (int i = 0; i < n && i < 256; i++)
                parts.emplace_back(edges[i], platform::comctl::statusText(hwnd_, i));
        }
        int left = 0;
        const int gripRoom = grip_->isVisible() ? grip_->width() : 0;
        for (auto& [edge, text] : parts) {
            const int right = edge < 0 ? width() - gripRoom : std::min(edge, width() - gripRoom);
            if (right <= left) continue;
            QRect cell(left, 2, right - left - 2, height() - 3);
            p.setPen(palette().color(QPalette::Mid));
            p.drawRect(cell.adjusted(0, 0, -1, -1));
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(cell.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       QString::fromStdString(text));
            left = right;
        }
    }

private:
    QSizeGrip* grip_ = nullptr;
};

// A toolbar or a rebar: a raised strip, so that its place shows.
class BarView : public WindowView {
public:
    using WindowView::WindowView;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().button());
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(0, 0, width() - 1, 0);
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(0, height() - 1, width() - 1, height() - 1);
    }
};

// A tooltip: a small window of its own with the text of the tool it shows.
class TooltipView : public WindowView {
public:
    explicit TooltipView(HWND hwnd)
        : WindowView(hwnd, nullptr, Qt::ToolTip | Qt::FramelessWindowHint) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().toolTipBase());
        p.setPen(palette().color(QPalette::ToolTipText));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.drawText(rect().adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromStdString(platform::comctl::tooltipShownText(hwnd_)));
    }
};

// The client area of a top-level window.
class ClientView : public QWidget {
public:
    ClientView(HWND hwnd, QWidget* parent) : QWidget(parent), hwnd_(hwnd) {
        setMouseTracking(true);
    }

protected:
    bool event(QEvent* e) override {
        if (postMouse(hwnd_, e, QPoint(0, 0))) return true;
        return QWidget::event(e);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
    }

private:
    HWND hwnd_;
};

// The virtual-key code of a Qt key, or 0 for keys our layer has no name for.
UINT virtualKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<UINT>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<UINT>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<UINT>(VK_F1 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return VK_MENU;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Tab:
        return VK_TAB;
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Down:
        return VK_DOWN;
    default:
        return 0;
    }
}

// The menu bar draws the item our layer highlights in its keyboard mode; Qt's own keyboard
// mode is never entered, since every key goes to our layer.
class MenuBarView : public QMenuBar {
public:
    using QMenuBar::QMenuBar;
    void setHighlighted(int index) {
        if (index == highlighted_) return;
        highlighted_ = index;
        update();
    }
    int highlighted() const { return highlighted_; }

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override {
        QMenuBar::initStyleOption(option, action);
        const auto list = actions();
        if (highlighted_ >= 0 && highlighted_ < list.size() && list[highlighted_] == action)
            option->state |= QStyle::State_Selected | QStyle::State_Sunken | QStyle::State_HasFocus;
    }

private:
    int highlighted_ = -1;
};

class Display;

// A top-level window of ours on the desktop.
class FrameView : public QWidget {
public:
    FrameView(HWND hwnd, Display& display);
    HWND hwnd() const { return hwnd_; }
    QWidget* client() const { return client_; }
    void rebuildMenu();
    // Shows the menu bar's mode as our layer has it.
    void showMenuMode();
    MenuBarView* menuBar() const { return menuBar_; }
    // Until the window manager has placed a window created at CW_USEDEFAULT, only its size
    // is ours to give.
    bool awaitingPlacement = false;
    void watchPopup(QMenu* popup, int index);
    // Places the menu bar and the client area where our layer has them.
    void layoutInside();
    bool closing = false; // our window is gone: the desktop may close this one

protected:
    void resizeEvent(QResizeEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void closeEvent(QCloseEvent* e) override;

private:
    HWND hwnd_;
    Display& display_;
    MenuBarView* menuBar_;
    ClientView* client_;
    std::vector<QMenu*> menus_;
    QMenu* shown_ = nullptr; // the popup our layer has open
    int syncingMenu_ = 0;    // while this driver opens or closes a popup itself
};

class Display final : public DisplayDriver {
public:
    explicit Display(int menuBarHeight) : menuBarHeight_(menuBarHeight) {
        waker_ = new QObject(); // lives on the GUI thread, as long as the process
        timer_.setSingleShot(true);
    }

    const char* name() const override { return "qt"; }

    bool frameInsets(DWORD style, DWORD, bool hasMenu, RECT& insets) override {
        // Caption and borders of a top-level window are the desktop's, outside it.
        if (style & (WS_CHILD | WS_POPUP)) return false;
        insets = RECT{0, hasMenu ? menuBarHeight_ : 0, 0, 0};
        return true;
    }

    void windowCreated(HWND h) override {
        QWidget* view = nullptr;
        if (isChild(h)) {
            QWidget* container = containerFor(GetParent(h));
            if (!container) return;
            if (hasClass(h, STATUSCLASSNAMEW))
                view = new StatusBarView(h, container);
            else if (hasClass(h, TOOLBARCLASSNAMEW) || hasClass(h, REBARCLASSNAMEW))
                view = new BarView(h, container);
            else
                view = new WindowView(h, container);
        } else if (hasClass(h, TOOLTIPS_CLASSW)) {
            view = new TooltipView(h);
        } else if (isPopup(h)) {
            view = new WindowView(h, nullptr, Qt::Tool | Qt::FramelessWindowHint);
        } else {
            auto* frame = new FrameView(h, *this);
            frame->setWindowTitle(captionOf(h));
            if (platform::user::classIcon(h) == LoadIconW(nullptr, IDI_APPLICATION))
                frame->setWindowIcon(applicationIcon());
            frame->rebuildMenu(); // a menu given to CreateWindowExW comes without a change
            frame->awaitingPlacement = platform::user::placedBySystem(h);
            view = frame;
        }
        view->hide();
        views_[h] = view;
        place(h);
    }

    void windowDestroyed(HWND h) override {
        auto it = views_.find(h);
        if (it == views_.end()) return;
        QPointer<QWidget> view = it->second;
        views_.erase(it);
        if (!view) return; // went with its parent's
        if (auto* frame = dynamic_cast<FrameView*>(view.data())) frame->closing = true;
        view->hide();
        // Not deleted at once: we may be inside one of its own event handlers.
        view->deleteLater();
    }

    void windowMoved(HWND h) override { place(h); }

    void windowShown(HWND h, bool visible) override {
        QWidget* view = viewOf(h);
        if (!view) return;
        if (visible) place(h);
        view->setVisible(visible);
        if (visible && view->isWindow()) view->raise();
    }

    void windowTextChanged(HWND h) override {
        QWidget* view = viewOf(h);
        if (!view) return;
        if (auto* frame = dynamic_cast<FrameView*>(view))
            frame->setWindowTitle(captionOf(h));
        else
            view->update();
    }

    void menuChanged(HWND h) override {
        if (auto* frame = dynamic_cast<FrameView*>(viewOf(h))) frame->rebuildMenu();
    }

    void menuModeChanged(HWND h) override {
        if (auto* frame = dynamic_cast<FrameView*>(viewOf(h))) frame->showMenuMode();
    }

    void windowInvalidated(HWND h) override {
        QWidget* view = viewOf(h);
        if (!view) return;
        if (auto* frame = dynamic_cast<FrameView*>(view))
            frame->client()->update();
        else
            view->update();
    }

    void waitForEvents(std::chrono::milliseconds timeout) override {
        // Qt's wait returns as soon as it has handled something: a desktop event (which may
        // have posted messages), wake()'s call, or the timer.
        timer_.start(static_cast<int>(std::min<long long>(timeout.count(), 1 << 30)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        timer_.stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void wake() override {
        // One queued call at a time is enough to end a wait; it is safe from any thread and
        // is never lost, even when the GUI thread is not waiting yet.
        if (wakePending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            waker_,
            [this] {
                wakePending_ = false;
                if (modalDepth_ > 0) platform::user::dispatchPending();
            },
            Qt::QueuedConnection);
    }

    // The user changed the desktop window: tell our layer as a drag of the frame would.
    void userResized(FrameView* frame) {
        const HWND h = frame->hwnd();
        if (!IsWindow(h) || frame->closing) return;
        const QSize wanted = frame->size();
        if (windowRect(h).size() != wanted) {
            syncing_++;
            platform::user::resizeWindow(h, wanted.width(), wanted.height());
            syncing_--;
            if (!IsWindow(h)) return;
            // Our layer may have kept it within its limits.
            const QSize got = windowRect(h).size();
            if (got != wanted) frame->resize(got);
        }
        frame->layoutInside();
    }

    void userMoved(FrameView* frame) {
        const HWND h = frame->hwnd();
        if (!IsWindow(h) || frame->closing) return;
        // Before the window manager has placed it, Qt's idea of the place means nothing.
        if (frame->awaitingPlacement && !frame->isVisible()) return;
        const QPoint at = frame->geometry().topLeft();
        if (windowRect(h).topLeft() == at) return;
        syncing_++;
        platform::user::moveWindow(h, at.x(), at.y());
        syncing_--;
    }

    QWidget* viewOf(HWND h) const {
        auto it = views_.find(h);
        return it == views_.end() ? nullptr : it->second.data();
    }

    int modalDepth_ = 0;

private:
    // The widget that child windows of h are placed in, with its origin at h's client origin
    // for a top-level window and at h's window origin for a child.
    QWidget* containerFor(HWND parent) const {
        QWidget* view = viewOf(parent);
        if (auto* frame = dynamic_cast<FrameView*>(view)) return frame->client();
        return view;
    }

    void place(HWND h) {
        QWidget* view = viewOf(h);
        if (!view) return;
        const QRect r = windowRect(h);
        if (auto* frame = dynamic_cast<FrameView*>(view)) {
            if (frame->awaitingPlacement && !platform::user::placedBySystem(h))
                frame->awaitingPlacement = false;
            if (syncing_ == 0) {
                // A position given to the desktop is one it keeps; the window manager places
                // a window we give only a size.
                if (frame->awaitingPlacement) {
                    if (frame->size() != r.size()) frame->resize(r.size());
                } else if (frame->geometry() != r) {
                    frame->setGeometry(r);
                }
            }
            frame->layoutInside();
            return;
        }
        if (view->isWindow()) {
            view->setGeometry(r);
            return;
        }
        const HWND parent = GetParent(h);
        QPoint origin;
        if (dynamic_cast<FrameView*>(viewOf(parent))) {
            POINT p{0, 0};
            ClientToScreen(parent, &p);
            origin = QPoint(p.x, p.y);
        } else {
            origin = windowRect(parent).topLeft();
        }
        view->setGeometry(r.translated(-origin));
        if (auto* status = dynamic_cast<StatusBarView*>(view)) status->updateGrip();
    }

    int menuBarHeight_;
    std::map<HWND, QPointer<QWidget>> views_;
    int syncing_ = 0;
    std::atomic<bool> wakePending_{false};
    QObject* waker_;
    QTimer timer_;
};

Display* theDisplay = nullptr;

// What a screen reader learns of our windows: a top-level window is a frame named by its
// caption, the status bar a status bar named by its texts. Menus are Qt's own already.
class FrameAccessible : public QAccessibleWidget {
public:
    explicit FrameAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Window) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return widget()->windowTitle();
        return QAccessibleWidget::text(t);
    }
};

class StatusBarAccessible : public QAccessibleWidget {
public:
    StatusBarAccessible(QWidget* w, HWND hwnd)
        : QAccessibleWidget(w, QAccessible::StatusBar), hwnd_(hwnd) {}
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !IsWindow(hwnd_)) return QAccessibleWidget::text(t);
        QStringList texts;
        if (SendMessageW(hwnd_, SB_ISSIMPLE, 0, 0)) {
            texts << QString::fromStdString(platform::comctl::statusText(hwnd_, SB_SIMPLEID));
        } else {
            const int n = static_cast<int>(SendMessageW(hwnd_, SB_GETPARTS, 0, 0));
            for (int i = 0; i < n && i < 256; i++)
                texts << QString::fromStdString(platform::comctl::statusText(hwnd_, i));
        }
        texts.removeAll(QString());
        return texts.join(QStringLiteral(" "));
    }

private:
    HWND hwnd_;
};

QAccessibleInterface* accessibleFor(const QString&, QObject* object) {
    if (auto* frame = dynamic_cast<FrameView*>(object)) return new FrameAccessible(frame);
    if (auto* status = dynamic_cast<StatusBarView*>(object))
        return new StatusBarAccessible(status, status->hwnd());
    return nullptr;
}

// Every key pressed in one of our windows, or in a popup of its menu bar, goes to our layer,
// which decides as Windows does whether the menu or the window gets it. Qt's own handling
// (the menu bar's Alt mode, a popup's arrows) never sees them. Dialogs keep their keys.
class KeyForwarder : public QObject {
protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        const auto type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
            type != QEvent::ShortcutOverride)
            return false;
        auto* widget = qobject_cast<QWidget*>(object);
        if (!widget) return false;
        QWidget* top = widget->window();
        while (qobject_cast<QMenu*>(top) && top->parentWidget())
            top = top->parentWidget()->window();
        auto* frame = dynamic_cast<FrameView*>(top);
        if (!frame || frame->closing || !IsWindow(frame->hwnd())) return false;
        if (type == QEvent::ShortcutOverride) return true;
        auto* key = static_cast<QKeyEvent*>(event);
        const UINT vk = virtualKey(key->key());
        if (vk != 0 && !(key->isAutoRepeat() && vk == VK_MENU)) {
            if (type == QEvent::KeyPress)
                platform::user::pressKey(frame->hwnd(), vk);
            else if (!key->isAutoRepeat())
                platform::user::releaseKey(frame->hwnd(), vk);
        }
        return true; // taken here: the application filter comes before the widgets
    }
};

FrameView::FrameView(HWND hwnd, Display& display)
    : QWidget(nullptr, Qt::Window), hwnd_(hwnd), display_(display) {
    menuBar_ = new MenuBarView(this);
    menuBar_->setNativeMenuBar(false); // inside the window, where our layer counts it
    menuBar_->hide();
    client_ = new ClientView(hwnd, this);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void FrameView::rebuildMenu() {
    shown_ = nullptr;
    menuBar_->clear();
    for (QMenu* m : menus_)
        m->deleteLater();
    menus_.clear();
    const HWND h = hwnd_;
    auto addEntries = [&](auto& self, QWidget* into,
                          const std::vector<platform::user::MenuEntry>& entries) -> void {
        for (auto& e : entries) {
            const QString text = QString::fromStdString(e.text);
            if (e.separator) {
                if (auto* menu = qobject_cast<QMenu*>(into)) menu->addSeparator();
                continue;
            }
            if (e.popup) {
                auto* sub = new QMenu(text, into);
                menus_.push_back(sub);
                sub->setEnabled(!e.grayed);
                self(self, sub, e.items);
                if (auto* bar = qobject_cast<QMenuBar*>(into)) {
                    const int index = static_cast<int>(bar->actions().size());
                    bar->addMenu(sub);
                    watchPopup(sub, index);
                } else
                    static_cast<QMenu*>(into)->addMenu(sub);
                continue;
            }
            auto* action = new QAction(text, into);
            action->setEnabled(!e.grayed);
            action->setCheckable(e.checked);
            action->setChecked(e.checked);
            const UINT id = e.id;
            QObject::connect(action, &QAction::triggered, [h, id] {
                if (IsWindow(h)) PostMessageW(h, WM_COMMAND, MAKEWPARAM(id, 0), 0);
            });
            into->addAction(action);
        }
    };
    const auto entries = platform::user::menuBar(h);
    addEntries(addEntries, menuBar_, entries);
    layoutInside();
}

// The mouse opens, walks and closes a popup of the menu bar in Qt's own way; our layer hears
// of it, so that its mode and the keys that follow agree with what the screen shows.
void FrameView::watchPopup(QMenu* popup, int index) {
    const HWND h = hwnd_;
    QObject::connect(popup, &QMenu::aboutToShow, popup, [this, h, popup, index] {
        if (syncingMenu_ || !IsWindow(h)) return;
        shown_ = popup;
        syncingMenu_++;
        platform::user::openMenu(h, index);
        syncingMenu_--;
        showMenuMode();
    });
    QObject::connect(popup, &QMenu::aboutToHide, popup, [this, h, popup] {
        if (syncingMenu_ || shown_ != popup) return;
        shown_ = nullptr;
        if (IsWindow(h)) platform::user::closeMenu(h);
    });
    QObject::connect(popup, &QMenu::hovered, popup, [this, h, popup](QAction* action) {
        if (syncingMenu_ || shown_ != popup || !IsWindow(h)) return;
        syncingMenu_++;
        platform::user::hoverMenuItem(h, static_cast<int>(popup->actions().indexOf(action)));
        syncingMenu_--;
    });
}

void FrameView::showMenuMode() {
    const auto mode = platform::user::menuMode();
    const bool mine = mode.window == hwnd_;
    menuBar_->setHighlighted(mine ? mode.highlighted : -1);
    const auto bar = menuBar_->actions();
    QMenu* wanted = nullptr;
    if (mine && mode.open && mode.highlighted >= 0 && mode.highlighted < bar.size())
        wanted = bar[mode.highlighted]->menu();
    syncingMenu_++;
    if (shown_ && shown_ != wanted) {
        QMenu* old = shown_;
        shown_ = nullptr;
        if (old->isVisible()) old->hide();
    }
    if (wanted) {
        if (shown_ != wanted) {
            shown_ = wanted;
            const QRect item = menuBar_->actionGeometry(bar[mode.highlighted]);
            wanted->popup(menuBar_->mapToGlobal(item.bottomLeft()));
        }
        const auto items = wanted->actions();
        if (mode.item >= 0 && mode.item < items.size()) wanted->setActiveAction(items[mode.item]);
    }
    syncingMenu_--;
}

void FrameView::layoutInside() {
    if (!IsWindow(hwnd_)) return;
    const QPoint offset = clientOffset(hwnd_);
    const bool hasMenu = GetMenu(hwnd_) != nullptr;
    if (hasMenu) {
        menuBar_->setGeometry(0, 0, width(), offset.y());
        menuBar_->show();
    } else {
        menuBar_->hide();
    }
    client_->setGeometry(QRect(offset, clientSize(hwnd_)));
}

void FrameView::resizeEvent(QResizeEvent*) {
    display_.userResized(this);
}

void FrameView::moveEvent(QMoveEvent*) {
    display_.userMoved(this);
}

void FrameView::closeEvent(QCloseEvent* e) {
    if (closing || !IsWindow(hwnd_)) return; // ours is gone already
    // The close box: the default processing of SC_CLOSE sends WM_CLOSE, whose default
    // processing destroys the window; our layer then takes this one down.
    e->ignore();
    platform::user::clickCloseBox(hwnd_);
}

} // namespace

DisplayDriver* createDisplay(int menuBarHeight) {
    theDisplay = new Display(menuBarHeight);
    qApp->installEventFilter(new KeyForwarder());
    QAccessible::installFactory(accessibleFor);
    return theDisplay;
}

QWidget* desktopWindowFor(HWND hwnd) {
    if (!theDisplay || !IsWindow(hwnd)) return nullptr;
    QWidget* view = theDisplay->viewOf(GetAncestor(hwnd, GA_ROOT));
    return view ? view->window() : nullptr;
}

ModalLoopScope::ModalLoopScope() {
    if (theDisplay) theDisplay->modalDepth_++;
}

ModalLoopScope::~ModalLoopScope() {
    if (theDisplay) theDisplay->modalDepth_--;
}

} // namespace platform::qt
