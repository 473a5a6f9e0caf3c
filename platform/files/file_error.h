// The failure of a file operation: the path, and the reason in plain words.
#pragma once

#include "platform/files/interrupt_cleanup.h"
#include "platform/files/native_name.h"

#include <QString>

#include <stdexcept>
#include <utility>

namespace quillmend::platform {

/// A failed file operation: which path, and the system's reason.
class FileError : public std::runtime_error {
public:
    /// A failure reported by the system with `errorCode` (an errno value);
    /// the reason says it in plain words ("the disk is full").
    FileError(const NativeName& path, int errorCode);
    /// A failure found by the program itself, described by `reason`, a clause
    /// such as "it is a folder, not a file".
    FileError(const NativeName& path, const QString& reason);

    const NativeName& path() const { return m_path; }
    /// The errno value, or 0 when the program found the failure itself.
    int errorCode() const { return m_errorCode; }
    const QString& reason() const { return m_reason; }

    /// Held while this failure is not yet told, where it must be told before
    /// an interrupt ends the program (a failure of a replacement's last step,
    /// which may tell what became of another program's save).
    const InterruptCleanup::UntilTold& untilTold() const { return m_untilTold; }
    void holdUntilTold(InterruptCleanup::UntilTold hold) { m_untilTold = std::move(hold); }

private:
    NativeName m_path;
    int m_errorCode;
    QString m_reason;
    InterruptCleanup::UntilTold m_untilTold;
};

} // namespace quillmend::platform
