#include "platform/files/file_replacer.h"

#include "platform/files/file_descriptor.h"
#include "platform/files/file_error.h"
#include "platform/files/file_metadata.h"
#include "platform/files/file_reader.h"
#include "platform/files/system_calls.h"
#include "platform/files/temporary_file.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <cstring>
#include <utility>

namespace quillmend::platform {

namespace {

constexpr std::size_t kCopyChunk = std::size_t(1) << 20;

// The errors with which link() says that this file system, or this file,
// cannot have another hard link.
bool meansNoHardLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOTSUP || error == EMLINK || error == ENOSYS
        || error == EXDEV;
}

const QString kChangedMeanwhile = QStringLiteral("it was changed by another program while it was being repaired");

} // namespace

FileError FileReplacer::keptNamesTaken(const NativeName& path)
{
    return FileError(path, QStringLiteral("every name for a copy of the original is taken"));
}

FileReplacer::FileReplacer(FileRef file, const FileIdentity& expected)
    : m_file(std::move(file))
    , m_folder(m_file.parent())
    , m_expected(expected)
{
}

FileReplacer::~FileReplacer()
{
    if (!m_movedIntoPlace)
        rollBack();
}

void FileReplacer::begin()
{
    // Before anything is written: a folder that lets files be added but not
    // replaced would collect a temporary file and a kept copy on every try.
    if (!m_file.mayReplaceName())
        throw FileError(m_file.path(),
                        QStringLiteral("its folder or the file itself is locked against changes (append-only or immutable)"));
    TemporaryFile::removeStrays(m_folder, m_expected);
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

void FileReplacer::replaceOldName() const
{
    // Another program that has the file open (the CAD program, a virus
    // scanner, a search indexer, a sync client) makes Windows refuse the
    // replacement for as long as it holds it: a few tries over a second.
    for (int attempt = 1;; ++attempt) {
        if (SystemCalls::current().rename(m_temporary.path().system(), m_file.path().system()) == 0)
            return;
        if (errno != EBUSY || attempt == kReplaceAttempts)
            throw FileError(m_file.path(), errno);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        checkUnchanged(m_file);
    }
}

NativeName FileReplacer::commit(const KeptCopyNamer& keptCopyName, const KeptCopyNamer& interimCopyName)
{
    try {
        watchForWriters();
        applyMetadata(m_original.get(), m_temporary.fd(), m_temporary.descriptor().path());
        // Held on only for its lease: Windows replaces no file that is open.
        if (!m_leased)
            m_original.close();
        m_temporary.descriptor().sync();
        checkUnchanged(m_file);
        if (keptCopyName) {
            makeKeptCopy(keptCopyName);
        } else if (interimCopyName) {
            makeKeptCopy(interimCopyName);
            m_keptIsInterim = true;
        }
        checkUnchanged(m_file);
        checkContentUnchanged();
        m_temporary.giveName();
        if (SystemCalls::renamesOnlyClosedFiles())
            m_temporary.close();
        checkNoWriterWaits();
        replaceOldName();
        m_temporary.taken();
        m_movedIntoPlace = true;
        m_original = FileDescriptor();
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
        if (TemporaryFile::removeOwnName(m_keptPath))
            m_keptPath = NativeName();
        return NativeName();
    }
    return m_keptPath.isEmpty() ? NativeName() : FileRef(m_keptPath).name();
}

void FileReplacer::makeKeptCopy(const KeptCopyNamer& keptCopyName)
{
    // The three ways, best first; a way that the file system does not offer
    // gives way to the next for the same name, a taken name to the next name.
    int way = 0;
    const auto tryWay = [this, &way](const FileRef& kept) {
        switch (way) {
        case 0:
            return linkKeptCopy(kept);
        case 1:
            return moveCopyToKeptName(kept);
        default:
            return moveCopyToFreeKeptName(kept);
        }
    };
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const FileRef kept = m_folder.child(keptCopyName(attempt));
        KeptCopyAttempt result = tryWay(kept);
        while (result == KeptCopyAttempt::Unsupported && way < 2) {
            ++way;
            result = tryWay(kept);
        }
        if (result == KeptCopyAttempt::Made)
            return;
    }
    throw keptNamesTaken(m_file.path());
}

FileReplacer::KeptCopyAttempt FileReplacer::linkKeptCopy(const FileRef& kept)
{
    if (SystemCalls::current().link(m_file.path().system(), kept.path().system()) == 0) {
        m_keptPath = kept.path();
        // The link must be the very file that was read, not one put in its
        // place since.
        checkUnchanged(kept);
        return KeptCopyAttempt::Made;
    }
    if (errno == EEXIST)
        return KeptCopyAttempt::NameTaken;
    if (!meansNoHardLinks(errno))
        throw FileError(kept.path(), errno);
    return KeptCopyAttempt::Unsupported;
}

void FileReplacer::makeCompleteCopy()
{
    // Complete and stored before it takes the kept name, so that no crash
    // leaves a partial copy under that name.
    if (!m_copy.isOpen()) {
        m_copy = TemporaryFile::create(m_folder);
        copyOriginalTo(m_copy.descriptor());
    }
}

FileReplacer::KeptCopyAttempt FileReplacer::copyTakesKeptName(const FileRef& kept)
{
    m_copy.taken();
    m_keptPath = kept.path();
    m_copy = TemporaryFile();
    return KeptCopyAttempt::Made;
}

FileReplacer::KeptCopyAttempt FileReplacer::moveCopyToKeptName(const FileRef& kept)
{
    makeCompleteCopy();
    // A copy without a name yet takes the kept one directly, which never
    // replaces an entry.
    if (m_copy.path().isEmpty()) {
        if (!m_copy.linkAs(kept))
            return KeptCopyAttempt::NameTaken;
        return copyTakesKeptName(kept);
    }
    if (SystemCalls::current().renameNoReplace(m_copy.path().system(), kept.path().system()) == 0)
        return copyTakesKeptName(kept);
    if (errno == EEXIST)
        return KeptCopyAttempt::NameTaken;
    if (errno != ENOSYS)
        throw FileError(kept.path(), errno);
    return KeptCopyAttempt::Unsupported;
}

FileReplacer::KeptCopyAttempt FileReplacer::moveCopyToFreeKeptName(const FileRef& kept)
{
    // Where no rename can refuse to replace (FAT and exFAT, seen through
    // some drivers), the name is checked just before the plain rename. Only
    // another program creating that very name in the moment between the two
    // calls could lose its file; the user's own file is never at stake.
    makeCompleteCopy();
    if (kept.exists())
        return KeptCopyAttempt::NameTaken;
    if (SystemCalls::current().rename(m_copy.path().system(), kept.path().system()) < 0)
        throw FileError(kept.path(), errno);
    return copyTakesKeptName(kept);
}

void FileReplacer::copyOriginalTo(FileDescriptor& out)
{
    FileDescriptor in = FileDescriptor::open(m_file.path(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    QByteArray chunk(qsizetype(kCopyChunk), Qt::Uninitialized);
    std::int64_t copied = 0;
    while (const std::size_t n = in.readFully(chunk.data(), kCopyChunk)) {
        out.writeFully(chunk.constData(), n);
        copied += std::int64_t(n);
        if (m_progress)
            m_progress();
    }
    FileStatus source;
    if (SystemCalls::current().fstat(in.get(), &source) < 0)
        throw FileError(m_file.path(), errno);
    if (copied != m_expected.size || !FileIdentity::fromStatus(source).sameFileAndContent(m_expected))
        throw FileError(m_file.path(), kChangedMeanwhile);
    applyMetadata(in.get(), out.get(), out.path());
    out.sync();
    in.close();
}

void FileReplacer::watchForWriters()
{
    // From here on, a program that opens the file to save it is held up and
    // seen, where the system offers that (Linux, on the user's own file):
    // its save then wins, rather than landing in a file that is no longer
    // under the name. Without a lease, the checks of the file's state and
    // content are all there is.
    m_original = FileDescriptor::open(m_file.path(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    m_leased = SystemCalls::current().lease(m_original.get(), SystemCalls::LeaseRequest::Take) == 0;
}

void FileReplacer::checkNoWriterWaits() const
{
    if (m_leased && SystemCalls::current().lease(m_original.get(), SystemCalls::LeaseRequest::Check) == 0)
        throw FileError(m_file.path(), kChangedMeanwhile);
}

void FileReplacer::checkUnchanged(const FileRef& entry) const
{
    // The entry itself, not what it leads to: a link put in the file's place
    // would make the kept copy a link, which dangles once its target goes.
    FileStatus status;
    if (SystemCalls::current().lstat(entry.path().system(), &status) < 0)
        throw FileError(entry.path(), errno);
    if (!FileIdentity::fromStatus(status).sameFileAndContent(m_expected))
        throw FileError(m_file.path(), kChangedMeanwhile);
}

void FileReplacer::checkContentUnchanged() const
{
    if (m_expectedDigest.isEmpty())
        return;
    FileReader reader(m_file);
    if (!reader.identity().sameFileAndContent(m_expected))
        throw FileError(m_file.path(), kChangedMeanwhile);
    QByteArray chunk(qsizetype(kCopyChunk), Qt::Uninitialized);
    while (reader.read(chunk.data(), kCopyChunk) > 0) {
        if (m_progress)
            m_progress();
    }
    reader.checkReadWhole();
    reader.close();
    if (reader.contentDigest() != m_expectedDigest)
        throw FileError(m_file.path(), kChangedMeanwhile);
}

void FileReplacer::applyMetadata(int source, int fd, const NativeName& path) const
{
    FileStatus status;
    if (SystemCalls::current().fstat(source, &status) < 0)
        throw FileError(m_file.path(), errno);
    if (!FileIdentity::fromStatus(status).sameFileAndContent(m_expected))
        throw FileError(m_file.path(), kChangedMeanwhile);
    CopyMetadata(source, fd, path, m_expected, m_file.path());
}

void FileReplacer::syncFolder() const
{
    FileDescriptor folder = FileDescriptor::open(m_folder.path(), O_RDONLY | O_DIRECTORY);
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
    SystemCalls& system = SystemCalls::current();
    m_original = FileDescriptor();
    if (m_movedIntoPlace) {
        // Only the folder's flush failed. Where the former content has a kept
        // copy, it goes back under the old name; otherwise the old name holds
        // the complete new content, which is as good as it gets.
        if (!m_keptPath.isEmpty()
            && system.rename(m_keptPath.system(), m_file.path().system()) == 0)
            m_keptPath = NativeName();
        return;
    }
    if (!m_keptPath.isEmpty() && TemporaryFile::removeOwnName(m_keptPath))
        m_keptPath = NativeName();
    m_temporary.discard();
    m_copy.discard();
}

} // namespace quillmend::platform
