// The widgets that show our windows on Qt, and what they share with the display: private
// to the Qt display driver.
#pragma once

#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

#include "platform/drivers/driver.h"
#include "platform/win32.h"

namespace platform::qt::view {

inline bool isChild(HWND h) {
    return (GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) != 0;
}
inline bool isPopup(HWND h) {
    return (GetWindowLongPtrW(h, GWL_STYLE) & WS_POPUP) != 0;
}

inline bool hasClass(HWND h, const char16_t* name) {
    WCHAR buffer[256];
    int n = GetClassNameW(h, buffer, 256);
    return QString::fromUtf16(buffer, n).compare(QString::fromUtf16(name), Qt::CaseInsensitive) ==
           0;
}

inline QRect toQRect(const RECT& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

inline QRect windowRect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return toQRect(r);
}

inline QSize clientSize(HWND h) {
    RECT r{};
    GetClientRect(h, &r);
    return QSize(r.right, r.bottom);
}

// Where the client area of a window starts inside the window itself.
inline QPoint clientOffset(HWND h) {
    RECT w{};
    GetWindowRect(h, &w);
    POINT p{0, 0};
    ClientToScreen(h, &p);
    return QPoint(p.x - w.left, p.y - w.top);
}

inline QString captionOf(HWND h) {
    return QString::fromStdString(platform::user::caption(h));
}

inline WPARAM keyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
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
inline bool postMouse(HWND h, QEvent* event, QPoint offset) {
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

// The virtual-key code of a Qt key, or 0 for keys our layer has no name for.
UINT virtualKey(int key);

} // namespace platform::qt::view
