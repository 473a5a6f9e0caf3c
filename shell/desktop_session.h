// Starting without a desktop: a plain message rather than a crash.
#pragma once

#include <QString>

namespace quillmend::shell {

/// What the program says where it cannot open a window: there is no desktop
/// session (no display), or Qt finds no way to draw on it.
QString NoDesktopMessage();

/// For as long as it lives, Qt's messages are held back; a fatal one (Qt
/// cannot open the display or load its platform plugin, which would abort
/// with Qt's own advice to reinstall) ends the program instead with
/// NoDesktopMessage() on the standard error and exit status 1. Once the
/// application object exists, what was held back goes out as it would have.
///
///     {
///         DesktopSessionGuard guard;
///         App app(argc, argv);   // ends the program here without a desktop
///     }
class DesktopSessionGuard {
public:
    DesktopSessionGuard();
    ~DesktopSessionGuard();
    DesktopSessionGuard(const DesktopSessionGuard&) = delete;
    DesktopSessionGuard& operator=(const DesktopSessionGuard&) = delete;
};

} // namespace quillmend::shell
