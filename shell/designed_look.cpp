// The windows' designed look, on light and dark desktops.
#include "shell/designed_look.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

#include <memory>

namespace quillmend::shell {

QPalette DesignedPalette(const QPalette& desktop)
{
    const bool dark = desktop.color(QPalette::Window).lightness() < desktop.color(QPalette::WindowText).lightness();
    if (!dark)
        return desktop;
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion ? fusion->standardPalette() : QPalette(QColor(0xEF, 0xEF, 0xEF));
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
