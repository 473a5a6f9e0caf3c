#pragma once

// The seam between the held names and each system's own way of being
// interrupted; only interrupt_cleanup.cpp and the backends use it.

#include "platform/files/file_status.h"

namespace quillmend::platform::internal {

/// Removes every held name; safe inside a signal handler.
void RemoveHeldNames() noexcept;

/// Makes the system call RemoveHeldNames() before an interrupt ends the
/// program, ahead of any handler that the program has set by then.
void InstallInterruptHandler();

/// The system's own removal of a name, safe inside a signal handler and
/// deaf to injected faults.
void RemoveNameNow(const NativeChar* path) noexcept;

} // namespace quillmend::platform::internal
