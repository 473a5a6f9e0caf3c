// The window system's own hints of what a window allows: one backend each.
#pragma once

#include "shell/window_controls.h"

class QWidget;

namespace quillmend::shell::internal {

/// Tells the window system, as it reads window hints, that `window` may be
/// moved and (where `closing` is Offered) closed, and nothing else. Called
/// each time the window is about to be mapped, after Qt has made its native
/// window from its flags. Where the window manager rolls the window up to
/// its title bar all the same (xfwm4 does), it is unrolled at once.
void WriteWindowHints(QWidget* window, Closing closing);

/// Whether the window manager may offer what the hints refuse: on X11 it
/// may (openbox keeps minimise, close and full screen whatever they say);
/// Windows and macOS follow a window's flags.
bool WindowManagerMayOverride();

} // namespace quillmend::shell::internal
