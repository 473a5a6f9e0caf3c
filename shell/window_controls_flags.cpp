// Window hints where Qt's window flags are all the window system reads.
#include "shell/internal/window_hints.h"

namespace quillmend::shell::internal {

void WriteWindowHints(QWidget*, Closing) {}

bool WindowManagerMayOverride()
{
    return false;
}

} // namespace quillmend::shell::internal
