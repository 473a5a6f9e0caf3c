// FileReplacer: the steps of a replacement, and their undoing.
#include "platform/files/file_replacer.h"

#include "platform/files/file_descriptor.h"
#include "platform/files/file_error.h"
#include "platform/files/file_metadata.h"
#include "platform/files/interrupt_cleanup.h"
#include "platform/files/temporary_file.h"
#include "platform/system/system_calls.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace quillmend::platform {

FileReplacer::FileReplacer(FileRef file, const FileIdentity& expected)
    : m_file(std::move(file))
    , m_folder(m_file.parent())
    , m_watch(m_file, expected)
    , m_kept(m_file, m_watch)
{
}

FileReplacer::~FileReplacer()
{
    if (!m_movedIntoPlace)
        rollBack();
}

void FileReplacer::setProgress(const std::function<void()>& progress)
{
    m_watch.setProgress(progress);
    m_kept.setProgress(progress);
}

void FileReplacer::begin()
{
    // Before anything is written: a folder that lets files be added but not
    // replaced would collect a temporary file and a kept copy on every try.
    if (!m_file.mayReplaceName())
        throw FileError(
            m_file.path(),
            QStringLiteral("its folder or the file itself is locked against changes (append-only or immutable)"));
    m_watch.claim();
    if (m_watch.claimed() >= 0)
        TemporaryFile::unmarkIfStale(m_watch.claimed());
    m_leftovers = TemporaryFile::removeStrays(m_folder, m_watch.expected());
    m_temporary = TemporaryFile::create(m_folder);
}

void FileReplacer::append(QByteArrayView bytes)
{
    m_temporary.descriptor().writeFully(bytes.data(), std::size_t(bytes.size()));
    m_appended += bytes.size();
}

void FileReplacer::startWriteback()
{
    if (!m_temporary.isOpen() || m_appended == m_writebackStarted)
        return;
    SystemCalls::current().startWriteback(m_temporary.fd(), std::int64_t(m_writebackStarted),
                                          std::int64_t(m_appended - m_writebackStarted));
    m_writebackStarted = m_appended;
}

void FileReplacer::replaceOldName()
{
    // No interrupt between the step that makes the kept copy the user's and
    // letting go of its name, nor between a swap and its undoing.
    InterruptCleanup::Deferral deferral(m_file.path());
    try {
        if (!swapIntoPlace())
            renameIntoPlace();
    } catch (FileError& failure) {
        // Another program's save may have been put back, or lost: an
        // interrupt meanwhile would end the program before that is told.
        failure.holdUntilTold(std::make_shared<InterruptCleanup::Deferral>(m_file.path()));
        throw;
    }
    m_untilTold = std::make_shared<InterruptCleanup::Deferral>(m_file.path());
    if (!m_keptIsInterim)
        m_kept.keep();
}

FileError FileReplacer::lastStepFailed(int error) const
{
    // The file was there at the last look: what went is the repaired copy,
    // which sync clients and cleaners take for litter.
    if (error == ENOENT && !m_temporary.path().isEmpty() && !FileRef(m_temporary.path()).exists() && m_file.exists())
        return FileError(m_file.path(),
                         QStringLiteral("its repaired copy, a hidden file beside it, was removed by another program"));
    return FileError(m_file.path(), error);
}

void FileReplacer::checkLastLook() const
{
    // As close to the last step as the system allows: a save by rename, or
    // a program that opened the file to write, since the content was read.
    m_watch.checkNoWriterWaits();
    m_watch.checkUnchanged(m_file);
}

bool FileReplacer::swapIntoPlace()
{
    SystemCalls& system = SystemCalls::current();
    const NativeName aside = m_temporary.path();
    checkLastLook();
    // Once swapped, the user's file stands under the temporary name until
    // it goes; should this process die meanwhile, the mark lets the next
    // repair take it.
    const int original = m_watch.claimed();
    if (original >= 0)
        TemporaryFile::markOwn(original);
    const auto unmark = [original] {
        if (original >= 0)
            TemporaryFile::unmarkOwn(original);
    };
    if (system.exchange(aside.system(), m_file.path().system()) != 0) {
        const int error = errno;
        unmark();
        if (error == ENOSYS)
            return false;
        throw lastStepFailed(error);
    }
    bool asRead = false;
    try {
        m_watch.checkUnchanged(FileRef(aside));
        m_watch.checkNoWriterWaits();
        asRead = true;
    } catch (const FileError&) {
    }
    if (!asRead) {
        // Another program saved the file, or waits to: its save goes back
        // under the name, and the repair stops.
        if (system.exchange(aside.system(), m_file.path().system()) != 0) {
            const int error = errno;
            unmark();
            // Its save has only the temporary name now: it must stay there,
            // told, and the former content goes back under the name.
            m_temporary.taken();
            m_movedIntoPlace = true;
            throw FileError(m_file.path(),
                            QStringLiteral("another program saved it meanwhile, and its save could not "
                                           "be put back under its name (%1): it is in the hidden "
                                           "file %2 beside it")
                                .arg(FileError(aside, error).reason(), FileRef(aside).name().toEscapedText()));
        }
        unmark();
        throw m_watch.changedMeanwhile();
    }
    TemporaryFile::removeOwnName(aside);
    // Where the kept copy is a link to it, it keeps no mark.
    unmark();
    m_temporary.taken();
    m_movedIntoPlace = true;
    return true;
}

void FileReplacer::renameIntoPlace()
{
    // Another program that has the file open (the CAD program, a virus
    // scanner, a search indexer, a sync client) makes Windows refuse the
    // replacement for as long as it holds it: a few tries over a second.
    for (int attempt = 1;; ++attempt) {
        checkLastLook();
        if (SystemCalls::current().rename(m_temporary.path().system(), m_file.path().system()) == 0)
            break;
        if (errno != EBUSY || attempt == kReplaceAttempts)
            throw lastStepFailed(errno);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    m_temporary.taken();
    m_movedIntoPlace = true;
    // A program that opened the file to write between the last look and the
    // rename waits for the lease, and then writes to the file as it was,
    // which has no name of its own any more unless its kept copy is a link
    // to it: that goes back under the name, with the program's save in it.
    if (!m_watch.writerWaits())
        return;
    const bool saveKept = m_kept.isLinkToOriginal();
    m_kept.restore();
    m_watch.letWriterIn();
    throw saveKept ? m_watch.changedMeanwhile() : m_watch.writeLost();
}

NativeName FileReplacer::commit(const KeptCopyNamer& keptCopyName, const KeptCopyNamer& interimCopyName)
{
    try {
        m_watch.watchForWriters();
        m_watch.checkOpenFile(m_watch.original());
        CopyMetadata(m_watch.original(), m_temporary.fd(), m_temporary.descriptor().path(), m_watch.expected(),
                     m_file.path());
        m_watch.closeUnlessLeased();
        m_temporary.descriptor().sync();
        m_watch.checkUnchanged(m_file);
        if (keptCopyName) {
            m_kept.make(keptCopyName);
        } else if (interimCopyName && !m_temporary.madeNameless()) {
            m_kept.make(interimCopyName);
            m_keptIsInterim = true;
        }
        m_watch.checkUnchanged(m_file);
        // A copy of the original has read the content again already.
        if (!m_kept.copiedContent()) {
            m_watch.checkContentUnchanged();
            // A save by rename while the content was read again leaves the
            // re-read with the file as it was.
            m_watch.checkUnchanged(m_file);
        }
        m_temporary.giveName();
        if (SystemCalls::renamesOnlyClosedFiles()) {
            m_temporary.close();
            m_watch.releaseClaim();
        }
        replaceOldName();
        m_watch.stop();
        // Open, and so locked, until here. Its content is stored already.
        m_temporary = TemporaryFile();
        syncFolder();
    } catch (...) {
        rollBack();
        throw;
    }
    // The new content is on the disk under the old name: the former content
    // may go.
    if (m_keptIsInterim) {
        m_kept.removeName();
        return NativeName();
    }
    return m_kept.path().isEmpty() ? NativeName() : FileRef(m_kept.path()).name();
}

void FileReplacer::syncFolder() const
{
    FileDescriptor folder = FileDescriptor::open(m_folder.path(), OpenFlag::Folder);
    try {
        folder.sync();
    } catch (const FileError& error) {
        // Some file systems cannot flush a folder and say so with EINVAL;
        // there is nothing more to be done for them.
        if (error.errorCode() != EINVAL)
            throw;
    }
    folder.close();
}

void FileReplacer::rollBack() noexcept
{
    m_watch.stop();
    if (m_movedIntoPlace) {
        // Only the folder's flush failed. Where the former content has a kept
        // copy, it goes back under the old name; otherwise the old name holds
        // the complete new content, which is as good as it gets.
        m_kept.restore();
        return;
    }
    m_kept.discard();
    m_temporary.discard();
}

} // namespace quillmend::platform
