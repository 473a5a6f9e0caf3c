#pragma once

#include "platform/files/file_descriptor.h"
#include "platform/files/file_error.h"
#include "platform/files/file_identity.h"
#include "platform/files/file_ref.h"
#include "platform/files/temporary_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace quillmend::platform {

/// Replaces a file's content durably, keeping its former content under another
/// name if asked, so that no failure at any step loses either.
///
/// The new content is given whole to replace(), or in pieces: begin(), then
/// append() as often as needed, then commit(). A replacer destroyed before
/// its commit removes what it wrote.
///
/// The new content goes to a temporary file in the same folder (see
/// TemporaryFile: nameless where the system allows), with the original's permissions, extended attributes and access
/// control list, and nothing more (and owner and group where the process may
/// set them; where it may not, no group gains access), and is flushed to
/// disk. The kept copy is then a hard link to the original, or, where the
/// file system has none, a flushed copy in a temporary file that takes the
/// kept name in one step; none of them replaces an existing name, and none
/// leaves a partial copy under it. Last, the temporary file is renamed over
/// the old name and the folder is flushed. Any failure undoes what was done:
/// the old name keeps the former content, and no temporary file or partial
/// kept copy is left. Nothing is replaced where the file or its folder is
/// append-only or immutable, nor where another program opens the file to
/// write it while the replacement is made ready (seen by a lease where the
/// system offers one).
class FileReplacer {
public:
    /// Gives the kept copy's name for attempt 1, 2, ...; a taken name is never
    /// replaced, the next attempt's name is tried instead.
    using KeptCopyNamer = std::function<NativeName(int attempt)>;
    /// How many names, for a kept copy or a temporary file, are tried before giving up.
    static constexpr int kMaxNameAttempts = 1000;
    /// The failure of a file all of whose kept copy's names, as many as
    /// are tried, are taken.
    static FileError keptNamesTaken(const NativeName& path);

    /// `file` is a regular file (links resolved) whose state when it was read
    /// was `expected`; if it has changed since, nothing is replaced.
    FileReplacer(FileRef file, const FileIdentity& expected);

    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    /// `progress` is called after each MiB of a copy of the original that
    /// commit() makes where there are no hard links, so that the caller can
    /// let its window be drawn meanwhile.
    void setProgress(std::function<void()> progress) { m_progress = std::move(progress); }

    /// The digest of the content as it was read (FileReader::contentDigest).
    /// Where it is not empty, the file is read once more just before it is
    /// replaced, and a different digest means that another program saved it
    /// meanwhile: nothing is replaced.
    void expectContent(QByteArray digest) { m_expectedDigest = std::move(digest); }

    /// Creates the temporary file for the new content, first removing those
    /// that a repair ended half-way left in the folder
    /// (TemporaryFile::removeStrays). Throws FileError, before anything is
    /// written, where the name cannot be replaced.
    void begin();
    /// Adds `bytes` to the new content. Throws FileError.
    void append(QByteArrayView bytes);
    /// Lets the system start storing what has been appended so far while
    /// more is being prepared, so that commit() has less left to flush. Worth
    /// it only for content that will be committed. Failures are ignored: the
    /// flush in commit() is what makes the content durable.
    void startWriteback();
    /// Puts the new content under the file's name. With a `keptCopyName`, the
    /// former content stays under the first free name it gives, which is
    /// returned; without, the content is replaced and an empty name returned.
    /// An `interimCopyName` (used only without a `keptCopyName`) keeps the
    /// former content under such a name until the new content is on the disk
    /// under the old name, and then removes it: where a replacing rename is
    /// no single step (FAT and exFAT), a power cut at any moment leaves one
    /// of the two contents whole under a name the user sees.
    /// Throws FileError after undoing what was done.
    NativeName commit(const KeptCopyNamer& keptCopyName, const KeptCopyNamer& interimCopyName = {});

private:
    /// How one way of making the kept copy fared with one name.
    enum class KeptCopyAttempt { Made, NameTaken, Unsupported };

    void makeKeptCopy(const KeptCopyNamer& keptCopyName);
    KeptCopyAttempt linkKeptCopy(const FileRef& kept);
    KeptCopyAttempt moveCopyToKeptName(const FileRef& kept);
    KeptCopyAttempt moveCopyToFreeKeptName(const FileRef& kept);
    KeptCopyAttempt copyTakesKeptName(const FileRef& kept);
    void makeCompleteCopy();
    void copyOriginalTo(FileDescriptor& out);
    /// Opens the original, and takes a lease on it where the system offers one.
    void watchForWriters();
    /// Throws where another program waits to write to the file.
    void checkNoWriterWaits() const;
    void checkUnchanged(const FileRef& entry) const;
    void checkContentUnchanged() const;
    /// The last step: the temporary file takes the old name.
    void replaceOldName() const;
    static constexpr int kReplaceAttempts = 10;
    /// CopyMetadata from the original, open as `source`, once it is known to
    /// be still the file that was read.
    void applyMetadata(int source, int fd, const NativeName& path) const;
    void syncFolder() const;
    void rollBack() noexcept;

    FileRef m_file;
    FileRef m_folder;
    FileIdentity m_expected;
    TemporaryFile m_temporary;
    TemporaryFile m_copy; // the kept copy's temporary file, where it needs one
    FileDescriptor m_original; // open from commit() on, and for as long as its lease is held
    bool m_leased = false;
    QByteArray m_expectedDigest;
    qint64 m_appended = 0;
    qint64 m_writebackStarted = 0; // how much of the new content startWriteback() has handed over
    NativeName m_keptPath;
    bool m_keptIsInterim = false;
    bool m_movedIntoPlace = false;
    std::function<void()> m_progress;
};

} // namespace quillmend::platform
