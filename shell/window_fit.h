// Keeps a window whole on its screen, whatever the fonts and the screen's size.
#pragma once

#include <QSize>

#include <functional>

class QScrollArea;
class QWidget;

namespace quillmend::shell {

/// How high a control must be to show its whole text at `width`; 0 where
/// its own text tells.
using NeededHeight = std::function<int(const QWidget* control, int width)>;

/// Grows a designed layout where its texts need more room than the design
/// gives them (a larger desktop font), and gives it back its designed
/// geometry where they do not. A wrapped label grows to the height of its
/// text, a checkbox or one-line label to the size of its caption; what lies
/// below a control that grows moves down by as much, and a control that
/// widens widens the content with it, so that the right margin stays. The
/// designed geometry is each child's at the first call. Returns the
/// content's size, which is `designed` at the designed font.
///
///     content->setFixedSize(FitToText(content, QSize(600, 405)));
QSize FitToText(QWidget* content, const QSize& designed, const NeededHeight& neededHeight = {});

/// Shows `content` (of size `contentSize`) through `body`, a frameless scroll
/// area of the top-level `window`, and fixes the window's size: the whole
/// content where the window (with `chrome` pixels above the body, a menu bar)
/// fits in the available area of its screen, otherwise as much as fits, the
/// rest reached by scrolling. Then places the window centred in that area.
void FitOnScreen(QWidget* window, QScrollArea* body, const QSize& contentSize, int chrome = 0);

/// Calls `fit` again whenever the desktop's font changes (the texts need
/// more or less room), once `window` has been shown, and once the window
/// manager has framed it (FitOnScreen() counts the frame): a window is
/// framed only after it is shown.
void RefitWhenNeeded(QWidget* window, std::function<void()> fit);

/// A frameless scroll area showing `content`, drawn as the window it lies in
/// (no frame, no background of its own); scroll bars only where needed.
QScrollArea* MakeBody(QWidget* parent, QWidget* content);

} // namespace quillmend::shell
