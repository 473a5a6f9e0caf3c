// Window fit: a window kept whole on the screen, with its frame.
#include "shell/window_fit.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMap>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace quillmend::shell {

namespace {

const char kDesignedGeometry[] = "quillmendDesignedGeometry";

QRect designedGeometry(QWidget* control)
{
    const QVariant stored = control->property(kDesignedGeometry);
    if (stored.isValid())
        return stored.toRect();
    control->setProperty(kDesignedGeometry, control->geometry());
    return control->geometry();
}

bool wraps(const QWidget* control)
{
    const auto* label = qobject_cast<const QLabel*>(control);
    return label && label->wordWrap();
}

int textHeight(const QWidget* control, int width)
{
    return wraps(control) ? control->heightForWidth(width) : control->sizeHint().height();
}

// The title bar and borders, once the window manager has framed the window;
// before, none.
QMargins frameOf(const QWidget* window)
{
    return window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
}

} // namespace

QSize FitToText(QWidget* content, const QSize& designed, const NeededHeight& neededHeight)
{
    struct Control {
        QWidget* widget;
        QRect designed;
    };
    QList<Control> controls;
    for (QWidget* child : content->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        controls.append({child, designedGeometry(child)});

    // A caption wider than its control (a checkbox's, which cannot wrap)
    // widens the content; the controls that reach to the right margin widen
    // with it, so that the margin stays.
    const auto reachesTheMargin
        = [&](const QRect& geometry) { return geometry.right() + 1 + geometry.left() >= designed.width(); };
    int extraWidth = 0;
    for (const Control& control : controls) {
        if (!wraps(control.widget) && reachesTheMargin(control.designed))
            extraWidth = std::max(extraWidth, control.widget->sizeHint().width() - control.designed.width());
    }
    const auto widthOf = [&](const Control& control) {
        if (reachesTheMargin(control.designed))
            return control.designed.width() + extraWidth;
        if (!wraps(control.widget))
            return std::max(control.designed.width(), control.widget->sizeHint().width());
        return control.designed.width();
    };

    // How much each designed bottom edge grows: controls side by side (the
    // same bottom) grow together, by the most that one of them needs.
    QMap<int, int> growthAtBottom;
    for (const Control& control : controls) {
        int needed = neededHeight ? neededHeight(control.widget, widthOf(control)) : 0;
        if (needed == 0)
            needed = textHeight(control.widget, widthOf(control));
        const int growth = std::max(0, needed - control.designed.height());
        int& atBottom = growthAtBottom[control.designed.bottom()];
        atBottom = std::max(atBottom, growth);
    }
    const auto shiftAbove = [&](int top) {
        int shift = 0;
        for (auto it = growthAtBottom.cbegin(); it != growthAtBottom.cend() && it.key() < top; ++it)
            shift += it.value();
        return shift;
    };

    for (const Control& control : controls) {
        const int growth = growthAtBottom.value(control.designed.bottom());
        control.widget->setGeometry(control.designed.left(),
                                    control.designed.top() + shiftAbove(control.designed.top()), widthOf(control),
                                    control.designed.height() + growth);
    }
    return {designed.width() + extraWidth, designed.height() + shiftAbove(designed.height() + 1)};
}

namespace {

class Refitter : public QObject {
public:
    Refitter(QWidget* window, std::function<void()> fit)
        : QObject(window)
        , m_window(window)
        , m_fit(std::move(fit))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // Later, not now: the window's controls may not have their new font
        // yet (on Windows the change reaches them after the window), and a
        // new window has no frame yet. The window manager frames it after
        // it is shown, and moves it as it does: then it is fitted again,
        // with its frame, once. (A frame that comes and goes later, as the
        // window manager takes it away for full screen, is none to fit to.)
        const bool framed = !m_framed && (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            && m_window->isVisible() && !frameOf(m_window).isNull();
        if (event->type() == QEvent::FontChange || event->type() == QEvent::Show || framed)
            QTimer::singleShot(0, this, [this] {
                m_framed = m_framed || !frameOf(m_window).isNull();
                m_fit();
            });
        return false;
    }

private:
    QWidget* m_window;
    std::function<void()> m_fit;
    bool m_framed = false; // fitted with the window manager's frame
};

} // namespace

void RefitWhenNeeded(QWidget* window, std::function<void()> fit)
{
    new Refitter(window, std::move(fit));
}

QScrollArea* MakeBody(QWidget* parent, QWidget* content)
{
    auto* body = new QScrollArea(parent);
    body->setObjectName(QStringLiteral("Body"));
    body->setFrameShape(QFrame::NoFrame);
    body->setWidgetResizable(false);
    body->setWidget(content);
    // Drawn as the window behind it, as the content was before it scrolled.
    body->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    return body;
}

void FitOnScreen(QWidget* window, QScrollArea* body, const QSize& contentSize, int chrome)
{
    const QMargins frame = frameOf(window);
    const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    QSize room(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QRect available;
    if (const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        available = screen->availableGeometry();
        room = available.size() - frameSize - QSize(0, chrome);
    }
    QSize shown = contentSize.boundedTo(room);
    // A scroll bar takes room from the other direction.
    const int bar = body->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, body);
    if (shown.height() < contentSize.height())
        shown.setWidth(std::min(contentSize.width() + bar, room.width()));
    if (shown.width() < contentSize.width())
        shown.setHeight(std::min(shown.height() + bar, room.height()));
    body->setFixedSize(shown);
    body->setHorizontalScrollBarPolicy(shown.width() < contentSize.width() ? Qt::ScrollBarAsNeeded
                                                                           : Qt::ScrollBarAlwaysOff);
    body->setVerticalScrollBarPolicy(shown.height() < contentSize.height() ? Qt::ScrollBarAsNeeded
                                                                           : Qt::ScrollBarAlwaysOff);
    window->setFixedSize(shown + QSize(0, chrome));
    if (available.isValid()) {
        const QSize outer = window->size() + frameSize;
        const QPoint topLeft = available.center() - QPoint(outer.width() / 2, outer.height() / 2);
        window->move(std::max(topLeft.x(), available.left()), std::max(topLeft.y(), available.top()));
    }
}

} // namespace quillmend::shell
