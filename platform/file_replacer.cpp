#include "platform/file_replacer.h"

#include "platform/file_descriptor.h"
#include "platform/file_error.h"
#include "platform/file_reader.h"
#include "platform/system_calls.h"

#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstring>
#include <utility>

namespace quillmend::platform {

namespace {

constexpr std::size_t kCopyChunk = std::size_t(1) << 20;

const char kTemporaryPrefix[] = ".quillmend-";
const char kTemporarySuffix[] = ".tmp";
const char kTemporaryAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kTemporaryRandomLength = 10;
// The first letters of the random part name the process that made the file,
// in base 36, which seven letters hold for any 32-bit identifier.
constexpr std::size_t kTemporaryMakerLength = 7;
constexpr std::uint32_t kTemporaryBase = sizeof kTemporaryAlphabet - 1;

NativeName randomTemporaryName()
{
    QByteArray name = kTemporaryPrefix;
    std::uint32_t maker = SystemCalls::current().processId();
    for (std::size_t i = 0; i < kTemporaryMakerLength; ++i, maker /= kTemporaryBase)
        name += kTemporaryAlphabet[maker % kTemporaryBase];
    for (std::size_t i = kTemporaryMakerLength; i < kTemporaryRandomLength; ++i)
        name += kTemporaryAlphabet[QRandomGenerator::global()->bounded(int(kTemporaryBase))];
    return NativeName::fromSystem(name + kTemporarySuffix);
}

#ifdef _WIN32
// The process that made a temporary file, from its name (which
// isTemporaryName has accepted).
std::uint32_t makerOf(const NativeString& name)
{
    std::uint64_t maker = 0;
    for (std::size_t i = kTemporaryMakerLength; i-- > 0;) {
        const auto unit = char(name[sizeof kTemporaryPrefix - 1 + i]);
        maker = maker * kTemporaryBase + std::uint64_t(std::strchr(kTemporaryAlphabet, unit) - kTemporaryAlphabet);
    }
    return std::uint32_t(maker);
}
#endif

// The errors with which link() says that this file system, or this file,
// cannot have another hard link.
bool meansNoHardLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOTSUP || error == EMLINK || error == ENOSYS
        || error == EXDEV;
}

// Removes a file that this replacer made. A temporary file is also removed on
// ordinary roads (a file that needs no repair), so a passing failure is tried
// once more before the file is left behind.
bool removeOwnFile(const NativeName& path) noexcept
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (SystemCalls::current().unlink(path.system()) == 0 || errno == ENOENT)
            return true;
    }
    return false;
}

// The access control list among a file's extended attributes, where the
// system keeps it there (Linux).
const char kAccessListAttribute[] = "system.posix_acl_access";

// The errors with which a file system turns down one extended attribute
// (one it has no room or no namespace for, or one this process may not set).
bool meansAttributeRefused(int error)
{
    return error == EPERM || error == EACCES || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS
        || error == E2BIG || error == ERANGE || error == EINVAL;
}

// The errors with which a file system says that it holds no owners, or no
// permissions, at all (FAT through FUSE): its files all have the owner and
// mode it was mounted with.
bool meansNotHeld(int error)
{
    return error == ENOSYS || error == EOPNOTSUPP;
}

// `mode` with the group's bits cut down to those that others have too: for a
// file whose group, or whose list of who may do what, could not be kept.
std::uint32_t groupNoMoreThanOthers(std::uint32_t mode)
{
    return (mode & ~std::uint32_t(S_IRWXG | S_ISGID)) | (mode & S_IRWXG & ((mode & S_IRWXO) << 3));
}

// Whether `path` still names the file open as `fd`: 1 when it does, 0 when
// it names another or nothing, -1 and errno when the system cannot tell.
int namesOpenFile(const NativeName& path, int fd)
{
    FileStatus named;
    FileStatus open;
    if (SystemCalls::current().fstat(fd, &open) < 0)
        return -1;
    if (SystemCalls::current().lstat(path.system(), &named) < 0)
        return errno == ENOENT ? 0 : -1;
    return named.device == open.device && named.inode == open.inode ? 1 : 0;
}

const QString kChangedMeanwhile = QStringLiteral("it was changed by another program while it was being repaired");

} // namespace

bool FileReplacer::isTemporaryName(const NativeString& name)
{
    const std::size_t prefix = sizeof kTemporaryPrefix - 1;
    const std::size_t suffix = sizeof kTemporarySuffix - 1;
    if (name.size() != prefix + kTemporaryRandomLength + suffix)
        return false;
    // In the system's units, which on Windows are wider than the ASCII here.
    const auto holds = [&name](std::size_t at, const char* ascii, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            if (name[at + i] != NativeChar(static_cast<unsigned char>(ascii[i])))
                return false;
        }
        return true;
    };
    if (!holds(0, kTemporaryPrefix, prefix) || !holds(prefix + kTemporaryRandomLength, kTemporarySuffix, suffix))
        return false;
    for (std::size_t i = prefix; i < prefix + kTemporaryRandomLength; ++i) {
        const auto unit = static_cast<std::uint32_t>(name[i]);
        if (unit == 0 || unit > 0x7F || !std::strchr(kTemporaryAlphabet, int(unit)))
            return false;
    }
    return true;
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

NativeName FileReplacer::replace(QByteArrayView bytes, const KeptCopyNamer& keptCopyName)
{
    begin();
    append(bytes);
    return commit(keptCopyName);
}

void FileReplacer::begin()
{
    removeStrayTemporaryFiles();
    m_temporary = createTemporary(m_temporaryPath);
}

void FileReplacer::removeStrayTemporaryFiles() const
{
    // Left by a repair that was killed half-way; never the user's own files,
    // whose names do not take this form. A running repair holds a lock on
    // each of its temporary files for as long as it lives, so a file that
    // can be locked is one that nobody will finish (on Windows, also one
    // whose maker has ended).
    SystemCalls& system = SystemCalls::current();
    std::vector<NativeString> names;
    if (system.listFolder(m_folder.path().system(), names) < 0)
        return;
    for (const NativeString& name : names) {
        if (!isTemporaryName(name))
            continue;
        const NativeName path = m_folder.child(NativeName::fromSystem(name)).path();
        const int fd = system.open(path.system(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        bool stray = system.lock(fd, LOCK_EX | LOCK_NB) == 0 && namesOpenFile(path, fd) == 1;
#ifdef _WIN32
        // A repair on Windows closes its new file, and so drops its lock,
        // just before the file takes the old name; its maker, still running,
        // then tells that it is no stray.
        stray = stray && system.processRuns(makerOf(name)) == 0;
#endif
        if (stray)
            system.unlink(path.system());
        system.close(fd);
    }
}

FileDescriptor FileReplacer::createTemporary(NativeName& path) const
{
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const NativeName candidate = m_folder.child(randomTemporaryName()).path();
        try {
            FileDescriptor created
                = FileDescriptor::open(candidate, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, S_IRUSR | S_IWUSR);
            // Another repair's clean-up may have taken the file between its
            // creation and the lock; then it is no longer ours to use. Where
            // the file system has no locks, no clean-up removes it either.
            SystemCalls& system = SystemCalls::current();
            if (system.lock(created.get(), LOCK_EX | LOCK_NB) < 0 && errno == EWOULDBLOCK)
                continue;
            const int stillOurs = namesOpenFile(candidate, created.get());
            if (stillOurs < 0) {
                const int error = errno;
                removeOwnFile(candidate);
                throw FileError(candidate, error);
            }
            if (stillOurs == 0)
                continue;
            path = candidate;
            return created;
        } catch (const FileError& error) {
            if (error.errorCode() != EEXIST)
                throw;
        }
    }
    throw FileError(m_folder.path(), EEXIST);
}

void FileReplacer::append(QByteArrayView bytes)
{
    m_temporary.writeFully(bytes.data(), std::size_t(bytes.size()));
    m_appended += bytes.size();
}

void FileReplacer::startWriteback()
{
    if (!m_temporary.isOpen() || m_appended == m_writebackStarted)
        return;
    SystemCalls::current().startWriteback(m_temporary.get(), std::int64_t(m_writebackStarted),
                                          std::int64_t(m_appended - m_writebackStarted));
    m_writebackStarted = m_appended;
}

void FileReplacer::replaceOldName() const
{
    // Another program that has the file open (the CAD program, a virus
    // scanner, a search indexer, a sync client) makes Windows refuse the
    // replacement for as long as it holds it: a few tries over a second.
    for (int attempt = 1;; ++attempt) {
        if (SystemCalls::current().rename(m_temporaryPath.system(), m_file.path().system()) == 0)
            return;
        if (errno != EBUSY || attempt == kReplaceAttempts)
            throw FileError(m_file.path(), errno);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        checkUnchanged(m_file);
    }
}

NativeName FileReplacer::commit(const KeptCopyNamer& keptCopyName)
{
    try {
        {
            FileDescriptor original = FileDescriptor::open(m_file.path(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
            applyMetadata(original.get(), m_temporary.get(), m_temporaryPath);
            original.close();
        }
        m_temporary.sync();
        checkUnchanged(m_file);
        if (keptCopyName)
            makeKeptCopy(keptCopyName);
        checkUnchanged(m_file);
        checkContentUnchanged();
#ifdef _WIN32
        // ReplaceFileW takes no file that is open, not even by this process.
        // Without the lock, the name's maker (this process, still running)
        // keeps other repairs' clean-ups from taking it for a stray.
        m_temporary.close();
#endif
        replaceOldName();
        m_movedIntoPlace = true;
        m_temporaryPath = NativeName();
        // Open, and so locked, until here: a clean-up in another repair
        // would otherwise take it for a stray. Its content is stored already.
        m_temporary = FileDescriptor();
        syncFolder();
    } catch (...) {
        rollBack();
        throw;
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
    throw FileError(m_file.path(), QStringLiteral("every name for a copy of the original is taken"));
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
    if (m_copyPath.isEmpty()) {
        m_copy = createTemporary(m_copyPath);
        copyOriginalTo(m_copy);
    }
}

FileReplacer::KeptCopyAttempt FileReplacer::moveCopyToKeptName(const FileRef& kept)
{
    makeCompleteCopy();
    if (SystemCalls::current().renameNoReplace(m_copyPath.system(), kept.path().system()) == 0) {
        m_keptPath = kept.path();
        m_copyPath = NativeName();
        m_copy = FileDescriptor();
        return KeptCopyAttempt::Made;
    }
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
    if (SystemCalls::current().rename(m_copyPath.system(), kept.path().system()) < 0)
        throw FileError(kept.path(), errno);
    m_keptPath = kept.path();
    m_copyPath = NativeName();
    m_copy = FileDescriptor();
    return KeptCopyAttempt::Made;
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

void FileReplacer::checkUnchanged(const FileRef& entry) const
{
    FileStatus status;
    if (SystemCalls::current().stat(entry.path().system(), &status) < 0)
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
    const std::uint32_t mode = applyOwnerAndMode(fd, path);
    copyAttributes(source, fd, path, mode);
}

std::uint32_t FileReplacer::applyOwnerAndMode(int fd, const NativeName& path) const
{
    SystemCalls& system = SystemCalls::current();
    std::uint32_t mode = m_expected.mode & 07777;
    // Only a privileged process may give a file away; others keep their own
    // owner, as any editor's saved file would, and keep the group on its own
    // where they belong to it.
    const auto cannotSet = [](int error) { return error == EPERM || meansNotHeld(error); };
    if (system.fchown(fd, m_expected.owner, m_expected.group) < 0) {
        if (!cannotSet(errno))
            throw FileError(path, errno);
        mode &= ~std::uint32_t(S_ISUID);
        if (system.fchown(fd, kKeepId, m_expected.group) < 0 && !cannotSet(errno))
            throw FileError(path, errno);
        FileStatus status;
        if (system.fstat(fd, &status) < 0)
            throw FileError(path, errno);
        // Whichever group the new file has instead may do no more than
        // anybody could do with the original.
        if (status.group != m_expected.group)
            mode = groupNoMoreThanOthers(mode);
    }
    if (system.fchmod(fd, mode) < 0 && !meansNotHeld(errno))
        throw FileError(path, errno);
    return mode;
}

void FileReplacer::copyAttributes(int source, int fd, const NativeName& path, std::uint32_t mode) const
{
    // After the mode: on Linux the access control list comes as an
    // attribute, and setting it sets the group's bits to its mask.
    SystemCalls& system = SystemCalls::current();
    std::vector<std::string> names;
    if (system.listAttributes(source, names) < 0) {
        if (!meansAttributeRefused(errno))
            throw FileError(m_file.path(), errno);
        names.clear();
    }
    bool accessListLost = false;
    for (const std::string& name : names) {
        std::string value;
        bool copied = system.getAttribute(source, name.c_str(), value) == 0;
        if (!copied && errno == ENODATA)
            continue;
        if (!copied && !meansAttributeRefused(errno))
            throw FileError(m_file.path(), errno);
        if (copied && system.setAttribute(fd, name.c_str(), value) < 0) {
            if (!meansAttributeRefused(errno))
                throw FileError(path, errno);
            copied = false;
        }
        if (!copied && name == kAccessListAttribute)
            accessListLost = true;
    }
    if (system.copyAccessList(source, fd) < 0) {
        if (!meansAttributeRefused(errno))
            throw FileError(path, errno);
        accessListLost = true;
    }
    // Without its list the original's group bits would be the list's mask,
    // and the owning group would gain what only named users had.
    if (accessListLost && system.fchmod(fd, groupNoMoreThanOthers(mode)) < 0 && !meansNotHeld(errno))
        throw FileError(path, errno);
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
    m_temporary = FileDescriptor();
    m_copy = FileDescriptor();
    if (m_movedIntoPlace) {
        // Only the folder's flush failed. Where the former content has a kept
        // copy, it goes back under the old name; otherwise the old name holds
        // the complete new content, which is as good as it gets.
        if (!m_keptPath.isEmpty()
            && system.rename(m_keptPath.system(), m_file.path().system()) == 0)
            m_keptPath = NativeName();
        return;
    }
    if (!m_keptPath.isEmpty() && removeOwnFile(m_keptPath))
        m_keptPath = NativeName();
    if (!m_temporaryPath.isEmpty() && removeOwnFile(m_temporaryPath))
        m_temporaryPath = NativeName();
    if (!m_copyPath.isEmpty() && removeOwnFile(m_copyPath))
        m_copyPath = NativeName();
}

} // namespace quillmend::platform
