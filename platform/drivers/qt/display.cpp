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
#include "platform/drivers/qt/views.h"

#include "platform/drivers/driver.h"

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace platform::qt {

namespace {

using namespace view;

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
