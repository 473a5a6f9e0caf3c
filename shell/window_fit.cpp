// Window fit: a window kept whole on the screen, with its frame.
#include "shell/window_fit.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMap>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
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

// The designed layout, grown where the desktop's font needs more room than
// the design gives its texts, and given back its designed geometry where it
// does not; no wider than `maxWidth` where the texts that wrap can be
// narrowed. Returns the content's size.
QSize FitToText(QWidget* content, const QSize& designed, const NeededHeight& neededHeight, int maxWidth)
{
    struct Control {
        QWidget* widget;
        QRect designed;
    };
    // A plain widget among the children only holds controls together (a
    // group, for assistive technology): its controls are laid out as the
    // content's own, in the content's coordinates, and it spans them.
    QList<Control> controls;
    QList<QWidget*> groups;
    for (QWidget* child : content->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect designedHere = designedGeometry(child);
        if (child->metaObject() != &QWidget::staticMetaObject) {
            controls.append({child, designedHere});
            continue;
        }
        groups.append(child);
        for (QWidget* member : child->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            controls.append({member, designedGeometry(member).translated(designedHere.topLeft())});
    }

    // A one-line text wider than its control widens it. What lies to the
    // right of a control that widens moves right by as much; a caption wider
    // than its control at the right margin (a checkbox's, which cannot wrap),
    // or a control moved there, widens the content, and the controls that
    // reach the right margin widen with it, so that the margin stays.
    const auto reachesTheMargin
        = [&](const QRect& geometry) { return geometry.right() + 1 + geometry.left() >= designed.width(); };
    const auto ownWidth = [&](const Control& control) {
        return wraps(control.widget) ? control.designed.width()
                                     : std::max(control.designed.width(), control.widget->sizeHint().width());
    };
    QMap<QWidget*, int> rightward;
    for (const Control& control : controls) {
        for (const Control& left : controls) {
            const bool sideBySide
                = left.designed.bottom() >= control.designed.top() && left.designed.top() <= control.designed.bottom();
            if (sideBySide && left.designed.right() < control.designed.left() && !reachesTheMargin(left.designed))
                rightward[control.widget]
                    = std::max(rightward.value(control.widget), ownWidth(left) - left.designed.width());
        }
    }
    int extraWidth = 0;
    for (const Control& control : controls) {
        if (reachesTheMargin(control.designed))
            extraWidth
                = std::max(extraWidth, ownWidth(control) - control.designed.width() + rightward.value(control.widget));
    }
    // Where the screen is narrower than that, the texts that wrap take the
    // width there is: read without scrolling sideways, even where a caption
    // that cannot wrap reaches further.
    const int wrappedExtra = std::min(extraWidth, maxWidth - designed.width());
    int contentExtra = wrappedExtra;
    for (const Control& control : controls) {
        if (reachesTheMargin(control.designed) && !wraps(control.widget))
            contentExtra = extraWidth;
    }
    const auto widthOf = [&](const Control& control) {
        if (reachesTheMargin(control.designed))
            return control.designed.width() + (wraps(control.widget) ? wrappedExtra : extraWidth)
                - rightward.value(control.widget);
        return ownWidth(control);
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

    QMap<QWidget*, QRect> spans; // each group's, in the content's coordinates
    QList<QRect> fitted;
    for (const Control& control : controls) {
        const int growth = growthAtBottom.value(control.designed.bottom());
        fitted.append(QRect(control.designed.left() + rightward.value(control.widget),
                            control.designed.top() + shiftAbove(control.designed.top()), widthOf(control),
                            control.designed.height() + growth));
        spans[control.widget->parentWidget()] |= fitted.last();
    }
    for (QWidget* group : groups)
        group->setGeometry(spans.value(group));
    for (qsizetype i = 0; i < controls.size(); ++i) {
        QWidget* parent = controls[i].widget->parentWidget();
        controls[i].widget->setGeometry(parent == content ? fitted[i] : fitted[i].translated(-parent->pos()));
    }
    return {designed.width() + contentExtra, designed.height() + shiftAbove(designed.height() + 1)};
}

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
        // with its frame, and again each time the frame changes (xfwm4 drops
        // the side borders of a window as wide as the screen, and places it
        // anew). A frame that goes away for a while, as the window manager
        // takes it away for full screen, is none to fit to.
        const QMargins frame = frameOf(m_window);
        const bool reframed = (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            && m_window->isVisible() && !frame.isNull() && frame != m_fittedFrame;
        if (event->type() == QEvent::FontChange || event->type() == QEvent::Show || reframed) {
            m_fittedFrame = frame;
            QTimer::singleShot(0, this, [this] {
                m_fittedFrame = frameOf(m_window);
                m_fit();
            });
        }
        return false;
    }

private:
    QWidget* m_window;
    std::function<void()> m_fit;
    QMargins m_fittedFrame; // the frame of the last fit
};

} // namespace

void RefitWhenNeeded(QWidget* window, std::function<void()> fit)
{
    new Refitter(window, std::move(fit));
}

namespace {

// Where the body takes the keyboard focus (About's, to scroll with the
// arrow keys), it shows it as any control does: a line around what is seen,
// drawn by the style below the content, in the content's empty margin.
class Body : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QScrollArea::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter painter(viewport());
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = viewport()->rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
    void focusInEvent(QFocusEvent* event) override
    {
        QScrollArea::focusInEvent(event);
        viewport()->update();
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QScrollArea::focusOutEvent(event);
        viewport()->update();
    }
};

} // namespace

QScrollArea* MakeBody(QWidget* parent, QWidget* content)
{
    auto* body = new Body(parent);
    body->setObjectName(QStringLiteral("Body"));
    body->setFrameShape(QFrame::NoFrame);
    body->setWidgetResizable(false);
    body->setWidget(content);
    // Drawn as the window behind it, as the content was before it scrolled.
    body->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    return body;
}

void FitToTextAndScreen(QWidget* window, QScrollArea* body, const QSize& designed, const NeededHeight& neededHeight,
                        int chrome)
{
    QWidget* content = body->widget();
    const QMargins frame = frameOf(window);
    const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    QSize room(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QRect available;
    if (const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        available = screen->availableGeometry();
        // A window that would fill the screen is kept a few pixels inside
        // it: at 150 % Qt rounds the frame's pixels, and xfwm4 places a
        // window as tall as the screen 5 pixels down, so that its frame
        // would end below it.
        const int slack = 4;
        room = available.size() - frameSize - QSize(slack, chrome + slack);
    }
    const int bar = body->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, body);
    QSize contentSize = FitToText(content, designed, neededHeight, room.width());
    // Taller than the screen: the vertical scroll bar takes its width.
    if (contentSize.height() > room.height() && contentSize.width() + bar > room.width())
        contentSize = FitToText(content, designed, neededHeight, room.width() - bar);
    content->setFixedSize(contentSize);

    QSize shown = contentSize.boundedTo(room);
    // A scroll bar takes room from the other direction.
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
