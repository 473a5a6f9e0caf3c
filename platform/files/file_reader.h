// Reads a regular file from its start, with what the system said of it.
#pragma once

#include "platform/files/file_descriptor.h"
#include "platform/files/file_identity.h"
#include "platform/files/file_ref.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <cstddef>
#include <memory>

namespace quillmend::platform {

/// Reads one regular file, in pieces or whole, and tells whether it has
/// changed since it was opened. Every failure throws FileError.
class FileReader {
public:
    /// Opens `file` (links followed). A folder, FIFO, device or socket is
    /// refused without being opened, so that reading never hangs.
    explicit FileReader(const FileRef& file);

    /// The file's state when it was opened.
    const FileIdentity& identity() const { return m_identity; }

    /// Reads until `count` bytes have arrived or the file ends; returns how many arrived.
    std::size_t read(char* buffer, std::size_t count);
    /// Goes back to the file's start.
    void rewind();
    /// Throws unless everything since the start (or the last rewind) has been
    /// read and the file's size and modification time are still those of
    /// when it was opened.
    void checkReadWhole() const;
    /// Closes the file, throwing if the system reports a failure.
    void close();

    /// For a file whose times are too coarse to show a change (see
    /// FileIdentity::hasCoarseTimes): a digest of every byte read since the
    /// start (or the last rewind). Empty for other files, whose identity
    /// tells of any change.
    QByteArray contentDigest() const;
    /// How that digest is made, for whoever reads the same bytes again.
    static constexpr QCryptographicHash::Algorithm kDigestAlgorithm = QCryptographicHash::Blake2b_256;

private:
    FileRef m_file;
    FileDescriptor m_descriptor;
    FileIdentity m_identity;
    qint64 m_position = 0;
    std::unique_ptr<QCryptographicHash> m_digest;
};

} // namespace quillmend::platform
