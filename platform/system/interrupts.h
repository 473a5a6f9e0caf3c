// The system's own ways of being interrupted (signals on POSIX, console
// events on Windows), for the clean-up of held names (InterruptCleanup).
#pragma once

#include "platform/system/system_types.h"

namespace quillmend::platform {

/// Called by the system's handler as an interrupt arrives, on whatever
/// thread, with the interrupt's number: true lets the program end as the
/// interrupt would end it; false keeps it waiting, for DeliverInterrupt().
/// Must be safe inside a signal handler.
using InterruptArrivedFunction = bool (*)(int interrupt) noexcept;

/// Makes the system call `arrived` before an interrupt (Ctrl-C, SIGTERM,
/// SIGHUP, SIGQUIT; a closed console) ends the program, ahead of any handler
/// that the program has set by then; also ignores SIGPIPE, so that a reader
/// that goes away ends no repair (the failed write is told instead).
void InstallInterruptHandler(InterruptArrivedFunction arrived);

/// Delivers an interrupt that waited, on the thread that let it go (POSIX
/// raises the signal again; on Windows the handler's own thread has waited,
/// and nothing is to be done).
void DeliverInterrupt(int interrupt) noexcept;

/// The system's own removal of a name, safe inside a signal handler and
/// deaf to injected faults.
void RemoveNameNow(const NativeChar* path) noexcept;

} // namespace quillmend::platform
