// The windows' colours and fonts as designed, on any desktop.
#pragma once

#include <QPalette>
#include <QProxyStyle>

class QApplication;

namespace quillmend::shell {

/// The palette the windows are drawn with on a desktop whose own is
/// `desktop`: the desktop's own where it is light, as the windows were
/// designed on it (their dark blue and red text stay exactly as designed);
/// where it is dark, a light grey palette of fixed colours that no style or
/// platform theme can change, since the designed colours would be
/// unreadable on a dark background. On either, the highlight (a chosen menu
/// item) is darkened where its text would read at less than 4.5:1.
QPalette DesignedPalette(const QPalette& desktop);

/// The desktop's style, drawn so that a person with low vision finds each
/// control: the keyboard focus always shown, as a line in the text colour
/// around the focused control (3:1 or more against the background wherever
/// the text is readable), and not only once the user has moved it with the
/// keyboard; a checkbox's box bounded at 3:1 or more (Fusion's own boundary
/// is 1.65:1) and as tall as the capital letters of its caption, so that it
/// grows with a larger font.
class DesignedStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

/// Gives `app` the designed look on this desktop: DesignedPalette() of the
/// desktop's palette as it is now, and DesignedStyle. The palette, once
/// set, stays when the desktop's theme changes while the program runs.
void UseDesignedLook(QApplication& app);

} // namespace quillmend::shell
