// The windows' designed look, on light and dark desktops.
#include "shell/designed_look.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

namespace quillmend::shell {

namespace {

// The light palette the windows were designed in, from fixed colours: a
// style's or platform theme's own "standard" palette follows the desktop
// (under the GTK theme on a dark desktop, it is the dark one).
QColor lightColour(QPalette::ColorGroup group, QPalette::ColorRole role)
{
    const bool disabled = group == QPalette::Disabled;
    switch (role) {
    case QPalette::Window:
    case QPalette::Button:
        return QColor(0xEF, 0xEF, 0xEF);
    case QPalette::WindowText:
    case QPalette::Text:
    case QPalette::ButtonText:
        return disabled ? QColor(0xBE, 0xBE, 0xBE) : QColor(Qt::black);
    case QPalette::Base:
        return disabled ? QColor(0xEF, 0xEF, 0xEF) : QColor(Qt::white);
    case QPalette::AlternateBase:
        return QColor(0xF7, 0xF7, 0xF7);
    case QPalette::Light:
    case QPalette::BrightText:
    case QPalette::HighlightedText:
        return QColor(Qt::white);
    case QPalette::Midlight:
        return QColor(0xCA, 0xCA, 0xCA);
    case QPalette::Mid:
        return QColor(0xB8, 0xB8, 0xB8);
    case QPalette::Dark:
        return disabled ? QColor(0xBE, 0xBE, 0xBE) : QColor(0x9F, 0x9F, 0x9F);
    case QPalette::Shadow:
        return disabled ? QColor(0xB1, 0xB1, 0xB1) : QColor(0x76, 0x76, 0x76);
    case QPalette::Highlight:
        return disabled ? QColor(0x91, 0x91, 0x91) : QColor(0x30, 0x8C, 0xC6);
    case QPalette::Link:
        return QColor(0x00, 0x00, 0xFF);
    case QPalette::LinkVisited:
        return QColor(0xFF, 0x00, 0xFF);
    case QPalette::ToolTipBase:
        return QColor(0xFF, 0xFF, 0xDC);
    case QPalette::ToolTipText:
        return QColor(Qt::black);
    case QPalette::PlaceholderText:
        return QColor(0x76, 0x76, 0x76);
    case QPalette::NoRole:
    case QPalette::NColorRoles:
        break;
    }
    return {};
}

// The relative luminance of WCAG 2, from 0 (black) to 1 (white).
double luminance(const QColor& colour)
{
    const auto channel
        = [](double value) { return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double contrast(const QColor& first, const QColor& second)
{
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// `colour`, darkened step by step until `text` on it reads at `ratio`
// (white text on Fusion's blue highlight, #308CC6, is 3.69:1).
QColor darkenedFor(QColor colour, const QColor& text, double ratio)
{
    while (contrast(colour, text) < ratio && colour.value() > 0)
        colour = colour.darker(105);
    return colour;
}

} // namespace

QPalette DesignedPalette(const QPalette& desktop)
{
    const bool dark = desktop.color(QPalette::Window).lightness() < desktop.color(QPalette::WindowText).lightness();
    // On a dark desktop every colour is set, so that none is taken from the
    // desktop's palette.
    QPalette palette = desktop;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (int role = 0; dark && role < QPalette::NColorRoles; ++role) {
            if (role != QPalette::NoRole)
                palette.setColor(group, QPalette::ColorRole(role), lightColour(group, QPalette::ColorRole(role)));
        }
        if (group != QPalette::Disabled)
            palette.setColor(group, QPalette::Highlight,
                             darkenedFor(palette.color(group, QPalette::Highlight),
                                         palette.color(group, QPalette::HighlightedText), 4.5));
    }
    return palette;
}

void DesignedStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const
{
    if (element == PE_IndicatorCheckBox) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        // Fusion's boundary is its window colour darkened by 40 %, too faint
        // to find; the other styles draw their own, and stay as they are.
        if (baseStyle()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
            return;
        // Half-way from the window to the text, darker where that is not 3:1.
        const QColor window = option->palette.color(QPalette::Window);
        const QColor text = option->palette.color(QPalette::WindowText);
        const QColor halfway
            = QColor::fromRgbF((text.redF() + window.redF()) / 2, (text.greenF() + window.greenF()) / 2,
                               (text.blueF() + window.blueF()) / 2);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(darkenedFor(halfway, window, 3), 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
        return;
    }
    if (element != PE_FrameFocusRect) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    if (!(option->state & State_HasFocus))
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(option->palette.color(QPalette::WindowText), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

int DesignedStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    const int designed = QProxyStyle::pixelMetric(metric, option, widget);
    if ((metric != PM_IndicatorWidth && metric != PM_IndicatorHeight) || !widget)
        return designed;
    return std::max(designed, QFontMetrics(widget->font()).capHeight() + 4);
}

void UseDesignedLook(QApplication& app)
{
    if (!dynamic_cast<DesignedStyle*>(app.style()))
        QApplication::setStyle(new DesignedStyle);
    QApplication::setPalette(DesignedPalette(QApplication::palette()));
}

} // namespace quillmend::shell
