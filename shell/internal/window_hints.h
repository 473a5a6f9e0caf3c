// The window system's own hints of what a window allows: one backend each.
#pragma once

#include "shell/window_controls.h"

class QWidget;

namespace quillmend::shell::internal {

/// Tells the window system, as it reads window hints, that `window` may be
/// moved and (where `closing` is Offered) closed, and nothing else. Called
/// each time the window is about to be mapped, after Qt has made its native
/// window from its flags.
void WriteWindowHints(QWidget* window, Closing closing);

} // namespace quillmend::shell::internal
