// The failure of a file operation: the path, and the reason in plain words.
#pragma once

#include "platform/files/native_name.h"

#include <QString>

#include <stdexcept>

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

private:
    NativeName m_path;
    int m_errorCode;
    QString m_reason;
};

} // namespace quillmend::platform
