// Sees whether another program changed a file since it was read.
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
/// Every check throws the same FileError, naming the file. It also claims
/// the file for one repair at a time.
///
///     ChangeWatch watch(file, identityWhenRead);
///     watch.claim();                // before the first byte is written
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

    /// Claims the file, as it was read, for this repair alone until the
    /// watch ends: a second repair of it, from another window or a script,
    /// meets the claim and stops (a lock that blocks no reading, flock() on
    /// POSIX). Throws FileError: changedMeanwhile() where the name no longer
    /// names the file read, anotherRepair() where another holds the claim.
    /// Where the file system keeps no locks, the checks are all there is.
    void claim();
    /// The file as claimed, open for reading; -1 before claim() or after
    /// releaseClaim().
    int claimed() const { return m_claim.get(); }
    /// Lets the claim go, before the end where Windows replaces no file that
    /// is open.
    void releaseClaim() noexcept { m_claim = FileDescriptor(); }
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

    /// Whether another program waits to write to the file (it opened it
    /// since watchForWriters(), and the lease holds it up).
    bool writerWaits() const;
    /// Lets the programs that writerWaits() for go on, and holds the file
    /// open until they have closed it again, for two seconds at most.
    void letWriterIn() noexcept;
    /// Throws where writerWaits().
    void checkNoWriterWaits() const;
    /// Throws where `entry` (the file's name, or a link made to it) names
    /// anything but the file as it was read.
    void checkUnchanged(const FileRef& entry) const;
    /// Throws where the file open as `fd` is not the file as it was read.
    void checkOpenFile(int fd) const;
    /// Whether `link`, a link just made to the file, is the file as it was
    /// read: the same identity or, where the file system numbers a new link
    /// apart (sshfs), the same size, time and bytes; false where nothing can
    /// prove it either way. Throws changedMeanwhile() where it is another.
    bool isLinkOfFile(const FileRef& link) const;
    /// Reads the file once more and throws where its digest differs from
    /// the one expected; does nothing where none is.
    void checkContentUnchanged() const;
    /// Throws where a digest is expected and `digest` (of the bytes that a
    /// copy read, made as FileReader makes it) is another.
    void checkDigest(const QByteArray& digest) const;
    /// Whether a digest is expected.
    bool expectsContent() const { return !m_expectedDigest.isEmpty(); }

    /// The failure of a file that another program changed.
    FileError changedMeanwhile() const;
    /// The failure of a file that another program opened to write as it was
    /// being replaced, where what it writes goes to a file without a name.
    FileError writeLost() const;
    /// The failure of a file that another repair has claimed.
    FileError anotherRepair() const;

private:
    /// checkContentUnchanged() of `entry`, the file's name or a link to it.
    void checkContentUnchanged(const FileRef& entry) const;

    FileRef m_file;
    FileIdentity m_expected;
    QByteArray m_expectedDigest;
    FileDescriptor m_claim;
    FileDescriptor m_original;
    bool m_leased = false;
    std::function<void()> m_progress;
};

} // namespace quillmend::platform::internal
