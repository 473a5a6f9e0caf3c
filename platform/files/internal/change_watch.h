#pragma once

#include "platform/files/file_descriptor.h"
#include "platform/files/file_error.h"
#include "platform/files/file_identity.h"
#include "platform/files/file_ref.h"

#include <QByteArray>

#include <functional>

namespace quillmend::platform::internal {

/// Sees whether another program changed a file since it was read, up to the
/// moment it is replaced: its state (identity, size, time), its content
/// where a digest is known, and, where the system offers a lease (Linux, on
/// the user's own file), any program that opens it to write meanwhile.
/// Every check throws the same FileError, naming the file.
///
///     ChangeWatch watch(file, identityWhenRead);
///     watch.expectContent(digestWhenRead);
///     watch.watchForWriters();
///     ...                           // make the replacement ready
///     watch.checkContentUnchanged();
///     watch.checkNoWriterWaits();   // just before the rename
class ChangeWatch {
public:
    ChangeWatch(FileRef file, const FileIdentity& expected);

    const FileIdentity& expected() const { return m_expected; }
    void expectContent(QByteArray digest) { m_expectedDigest = std::move(digest); }
    /// Called after each MiB of a re-read, so that a window can be drawn.
    void setProgress(std::function<void()> progress) { m_progress = std::move(progress); }

    /// Opens the original, and takes a lease on it where the system offers
    /// one. Throws FileError.
    void watchForWriters();
    /// The original, open since watchForWriters().
    int original() const { return m_original.get(); }
    /// Closes the original unless a lease needs it open: Windows replaces
    /// no file that is open.
    void closeUnlessLeased();
    /// Closes the original and gives up its lease.
    void stop() noexcept { m_original = FileDescriptor(); }

    /// Throws where another program waits to write to the file.
    void checkNoWriterWaits() const;
    /// Throws where `entry` (the file's name, or a link made to it) names
    /// anything but the file as it was read.
    void checkUnchanged(const FileRef& entry) const;
    /// Throws where the file open as `fd` is not the file as it was read.
    void checkOpenFile(int fd) const;
    /// Reads the file once more and throws where its digest differs from
    /// the one expected; does nothing where none is.
    void checkContentUnchanged() const;

    /// The failure of a file that another program changed.
    FileError changedMeanwhile() const;

private:
    FileRef m_file;
    FileIdentity m_expected;
    QByteArray m_expectedDigest;
    FileDescriptor m_original;
    bool m_leased = false;
    std::function<void()> m_progress;
};

} // namespace quillmend::platform::internal
