#pragma once

// The seam between the held names and each system's own way of being
// interrupted; only interrupt_cleanup.cpp and the backends use it.

#include "platform/files/file_status.h"

namespace quillmend::platform::internal {

/// Called by the system's handler as an interrupt arrives, on whatever
/// thread. Removes every held name and returns true, so that the program
/// may end; where a Deferral lives, returns false instead and keeps
/// `signal`, to be delivered by DeliverInterrupt() as the Deferral ends.
/// Safe inside a signal handler.
bool InterruptArrived(int signal) noexcept;

/// Makes the system call InterruptArrived() before an interrupt ends the
/// program, ahead of any handler that the program has set by then.
void InstallInterruptHandler();

/// Delivers an interrupt that waited for a Deferral, on the thread that
/// ends it (POSIX raises the signal again; on Windows the handler's own
/// thread has waited, and nothing is to be done).
void DeliverInterrupt(int signal) noexcept;

/// The system's own removal of a name, safe inside a signal handler and
/// deaf to injected faults.
void RemoveNameNow(const NativeChar* path) noexcept;

} // namespace quillmend::platform::internal
