// What the user may do with a window through its title bar and the window manager.
#pragma once

class QWidget;

namespace quillmend::shell {

/// The one thing a window may offer beyond being moved.
enum class Closing { Refused, Offered };

/// Lets the user move the top-level `window`, and close it where `closing`
/// is Offered, but never minimise, maximise, resize, roll up or make it full
/// screen.
/// Call before the window is first shown.
///
/// The window system is asked first: on Windows and macOS through Qt's
/// window flags (title and close button), on X11 through the window's Motif
/// hints, which Qt would otherwise write as "every action" for a window with
/// no minimise, maximise or close flag. Where an X11 window manager offers
/// an action all the same (openbox keeps minimise, close and full screen
/// whatever the hints say; xfwm4 rolls a window up), the window returns to
/// its normal state at once; a refused close is the window's own
/// closeEvent() to turn down.
void LimitWindowActions(QWidget* window, Closing closing);

} // namespace quillmend::shell
