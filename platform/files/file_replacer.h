// Replaces a file's content durably, keeping the original where asked.
#pragma once

#include "platform/files/file_descriptor.h"
#include "platform/files/file_error.h"
#include "platform/files/file_identity.h"
#include "platform/files/file_ref.h"
#include "platform/files/internal/change_watch.h"
#include "platform/files/internal/kept_copy.h"
#include "platform/files/interrupt_cleanup.h"
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
/// The new content is given in pieces: begin(), then append() as often as
/// needed, then commit(). A replacer destroyed before its commit removes what
/// it wrote. From begin() until it is destroyed, the replacer holds the file
/// for itself (internal::ChangeWatch::claim): a second replacer of the same
/// file, in this process or another, fails rather than both keep "the
/// original".
///
/// The new content goes to a temporary file in the same folder (see
/// TemporaryFile: nameless where the system allows), with the original's
/// permissions, extended attributes and access control list, and nothing
/// more (and owner and group where the process may set them; where it may
/// not, no group gains access), and is flushed to disk. The former content
/// is then kept (internal::KeptCopy) under a name that no entry had. Last,
/// the temporary file is renamed over the old name and the folder is
/// flushed. Any failure undoes what was done: the old name keeps the former
/// content, and no temporary file or partial kept copy is left. Nothing is
/// replaced where the file or its folder is append-only or immutable, nor
/// where another program changes the file, opens it to write or saves
/// another file under its name while the replacement is made ready
/// (internal::ChangeWatch). Where the system can swap two names in one step
/// (Linux and macOS on their own file systems), the last step is such a swap,
/// after which what stood under the name is looked at once more: where it is
/// not the file as read, or another program waits to write to it, the swap
/// is undone, and that program's save stays under the name.
class FileReplacer {
public:
    /// Gives the kept copy's name for attempt 1, 2, ...; a taken name is never
    /// replaced, the next attempt's name is tried instead.
    using KeptCopyNamer = internal::KeptCopy::Namer;
    /// The name that commit() would keep `file`'s former content under if
    /// nothing changed in its folder meanwhile (internal::KeptCopy::freeName).
    /// Throws FileError as commit() would.
    static NativeName freeKeptCopyName(const FileRef& file, const KeptCopyNamer& name)
    {
        return internal::KeptCopy::freeName(file, name);
    }

    /// `file` is a regular file (links resolved) whose state when it was read
    /// was `expected`; if it has changed since, nothing is replaced.
    FileReplacer(FileRef file, const FileIdentity& expected);

    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    /// `progress` is called after each MiB of a copy of the original that
    /// commit() makes where there are no hard links, so that the caller can
    /// let its window be drawn meanwhile.
    void setProgress(const std::function<void()>& progress);

    /// The digest of the content as it was read (FileReader::contentDigest).
    /// Where it is not empty, the file is read once more just before it is
    /// replaced, and a different digest means that another program saved it
    /// meanwhile: nothing is replaced.
    void expectContent(QByteArray digest) { m_watch.expectContent(std::move(digest)); }

    /// Claims the file and creates the temporary file for the new content,
    /// first removing those that a repair ended half-way left in the folder
    /// (TemporaryFile::removeStrays). Throws FileError, before anything is
    /// written, where the name cannot be replaced or another repair of the
    /// file is under way.
    void begin();
    /// What begin() found in the folder that may be a repair's leftover but
    /// could not be proven so, and left.
    const std::vector<TemporaryFile::Leftover>& leftovers() const { return m_leftovers; }
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
    /// An `interimCopyName` (used only without a `keptCopyName`, and only
    /// where the file system may replace a name in more than one step: where
    /// there are no nameless files, TemporaryFile::madeNameless) keeps the
    /// former content under such a name until the new content is on the disk
    /// under the old name, and then removes it: where a replacing rename is
    /// no single step (FAT and exFAT), a power cut at any moment leaves one
    /// of the two contents whole under a name the user sees.
    /// Throws FileError after undoing what was done.
    NativeName commit(const KeptCopyNamer& keptCopyName, const KeptCopyNamer& interimCopyName = {});
    /// From the moment the new content has the name: an interrupt waits for
    /// its last holder, who tells the outcome first.
    const InterruptCleanup::UntilTold& untilTold() const { return m_untilTold; }

private:
    /// The last step: the temporary file takes the old name.
    void replaceOldName();
    /// That step as a swap of names, looked at once more after it; false,
    /// with nothing changed, where the system cannot swap them.
    bool swapIntoPlace();
    /// That step as a rename, where no swap can be had.
    void renameIntoPlace();
    /// The last look at the file before either.
    void checkLastLook() const;
    /// The failure of either, with the system's `error`.
    FileError lastStepFailed(int error) const;
    static constexpr int kReplaceAttempts = 10;
    void syncFolder() const;
    void rollBack() noexcept;

    FileRef m_file;
    FileRef m_folder;
    internal::ChangeWatch m_watch;
    internal::KeptCopy m_kept; // watched by m_watch, so declared after it
    TemporaryFile m_temporary;
    std::vector<TemporaryFile::Leftover> m_leftovers;
    InterruptCleanup::UntilTold m_untilTold;
    qint64 m_appended = 0;
    qint64 m_writebackStarted = 0; // how much of the new content startWriteback() has handed over
    bool m_keptIsInterim = false;
    bool m_movedIntoPlace = false;
};

} // namespace quillmend::platform
