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

/// Fits the designed layout of `body`'s content to the desktop's font and
/// the window to its screen; `body` is a frameless scroll area of the
/// top-level `window`, with `chrome` pixels above it (a menu bar).
///
/// The layout grows where its texts need more room than the design gives
/// them (a larger font), and gets back its designed geometry (the children's
/// at the first call) where they do not. A wrapped label grows to the height
/// of its text, a checkbox or one-line label to the size of its caption;
/// what lies below a control that grows moves down by as much, what lies to
/// its right moves right. A control that widens at the right margin widens
/// the content with it, and the controls reaching that margin widen too, so
/// that the margin stays. Where the screen is narrower than the content, the
/// texts that wrap take the width there is. The controls of a group (a
/// child that is a plain QWidget) are laid out as the content's own, and the
/// group spans them.
///
/// The window then shows the whole content where it fits in the available
/// area of its screen with its frame, otherwise as much as fits, the rest
/// reached by scrolling, and is centred in that area.
///
///     FitToTextAndScreen(window, body, QSize(600, 405));
void FitToTextAndScreen(QWidget* window, QScrollArea* body, const QSize& designed,
                        const NeededHeight& neededHeight = {}, int chrome = 0);

/// Calls `fit` again whenever the desktop's font changes (the texts need
/// more or less room), once `window` has been shown, and once the window
/// manager has framed it (FitToTextAndScreen() counts the frame): a window is
/// framed only after it is shown.
void RefitWhenNeeded(QWidget* window, std::function<void()> fit);

/// A frameless scroll area showing `content`, drawn as the window it lies in
/// (no frame, no background of its own); scroll bars only where needed.
/// Where it has the keyboard focus, a line around what it shows says so.
QScrollArea* MakeBody(QWidget* parent, QWidget* content);

} // namespace quillmend::shell
