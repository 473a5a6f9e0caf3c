#pragma once

#include "platform/files/native_name.h"

namespace quillmend::platform {

/// Names that must not outlive an interrupted program: the hidden temporary
/// files of a repair that Ctrl-C, SIGTERM or SIGHUP (on Windows, a console
/// closed or Ctrl-C) ends half-way. Where the program would end at such a
/// signal, each name held here is removed first; a signal that the program
/// was told to ignore stays ignored, and one that the program handles
/// itself is still handled so, after the names are gone. The first add()
/// sets the handling up.
///
///     const int ticket = InterruptCleanup::add(path);
///     ...                                  // write the file
///     InterruptCleanup::remove(ticket);    // just before it takes its name
namespace InterruptCleanup {

/// Holds `path` until remove(); returns the ticket for that, or -1 where no
/// more names can be held or the path is too long to be held (that name then
/// stays after an interrupt, as after a crash).
int add(const NativeName& path);
/// Lets go of the name that `ticket` holds; -1 does nothing.
void remove(int ticket) noexcept;

} // namespace InterruptCleanup

} // namespace quillmend::platform
