// The windows' designed look, on light and dark desktops.
#include "shell/designed_look.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>

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

} // namespace

QPalette DesignedPalette(const QPalette& desktop)
{
    const bool dark = desktop.color(QPalette::Window).lightness() < desktop.color(QPalette::WindowText).lightness();
    if (!dark)
        return desktop;
    // Every colour set, so that none is taken from the desktop's palette.
    QPalette light;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            if (role != QPalette::NoRole)
                light.setColor(group, QPalette::ColorRole(role), lightColour(group, QPalette::ColorRole(role)));
        }
    }
    return light;
}

void FocusVisibleStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                      const QWidget* widget) const
{
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

void UseDesignedLook(QApplication& app)
{
    if (!dynamic_cast<FocusVisibleStyle*>(app.style()))
        QApplication::setStyle(new FocusVisibleStyle);
    QApplication::setPalette(DesignedPalette(QApplication::palette()));
}

} // namespace quillmend::shell
