#include "platform/file_replacer.h"

#include "platform/file_descriptor.h"
#include "platform/file_error.h"
#include "platform/system_calls.h"

#include <QRandomGenerator>

#include <fcntl.h>

#include <cerrno>
#include <utility>

namespace quillmend::platform {

namespace {

constexpr std::size_t kCopyChunk = std::size_t(1) << 20;

const char kTemporaryPrefix[] = ".quillmend-";
const char kTemporarySuffix[] = ".tmp";
const char kTemporaryAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kTemporaryRandomLength = 10;

NativeName randomTemporaryName()
{
    QByteArray name = kTemporaryPrefix;
    for (std::size_t i = 0; i < kTemporaryRandomLength; ++i)
        name += kTemporaryAlphabet[QRandomGenerator::global()->bounded(int(sizeof kTemporaryAlphabet - 1))];
    return NativeName::fromSystem(name + kTemporarySuffix);
}

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

} // namespace

bool FileReplacer::isTemporaryName(const std::string& name)
{
    const std::size_t prefix = sizeof kTemporaryPrefix - 1;
    const std::size_t suffix = sizeof kTemporarySuffix - 1;
    if (name.size() != prefix + kTemporaryRandomLength + suffix || name.compare(0, prefix, kTemporaryPrefix) != 0
        || name.compare(prefix + kTemporaryRandomLength, suffix, kTemporarySuffix) != 0)
        return false;
    return name.find_first_not_of(kTemporaryAlphabet, prefix) == prefix + kTemporaryRandomLength;
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
    // whose names do not take this form.
    std::vector<std::string> names;
    if (SystemCalls::current().listFolder(m_folder.path().system(), names) < 0)
        return;
    for (const std::string& name : names) {
        if (isTemporaryName(name))
            SystemCalls::current().unlink(m_folder.child(NativeName::fromSystem(QByteArray::fromStdString(name))).path().system());
    }
}

FileDescriptor FileReplacer::createTemporary(NativeName& path) const
{
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const NativeName candidate = m_folder.child(randomTemporaryName()).path();
        try {
            FileDescriptor created
                = FileDescriptor::open(candidate, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, S_IRUSR | S_IWUSR);
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
    SystemCalls::current().startWriteback(m_temporary.get(), off_t(m_writebackStarted),
                                          off_t(m_appended - m_writebackStarted));
    m_writebackStarted = m_appended;
}

NativeName FileReplacer::commit(const KeptCopyNamer& keptCopyName)
{
    try {
        applyOwnerAndMode(m_temporary.get(), m_temporaryPath);
        m_temporary.sync();
        m_temporary.close();
        checkUnchanged(m_file);
        if (keptCopyName)
            makeKeptCopy(keptCopyName);
        checkUnchanged(m_file);
        if (SystemCalls::current().rename(m_temporaryPath.system(), m_file.path().system()) < 0)
            throw FileError(m_file.path(), errno);
        m_movedIntoPlace = true;
        m_temporaryPath = NativeName();
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
        FileDescriptor copy = createTemporary(m_copyPath);
        copyOriginalTo(copy);
    }
}

FileReplacer::KeptCopyAttempt FileReplacer::moveCopyToKeptName(const FileRef& kept)
{
    makeCompleteCopy();
    if (SystemCalls::current().renameNoReplace(m_copyPath.system(), kept.path().system()) == 0) {
        m_keptPath = kept.path();
        m_copyPath = NativeName();
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
    return KeptCopyAttempt::Made;
}

void FileReplacer::copyOriginalTo(FileDescriptor& out)
{
    FileDescriptor in = FileDescriptor::open(m_file.path(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    QByteArray chunk(qsizetype(kCopyChunk), Qt::Uninitialized);
    off_t copied = 0;
    while (const std::size_t n = in.readFully(chunk.data(), kCopyChunk)) {
        out.writeFully(chunk.constData(), n);
        copied += off_t(n);
        if (m_progress)
            m_progress();
    }
    struct stat source {};
    if (SystemCalls::current().fstat(in.get(), &source) < 0)
        throw FileError(m_file.path(), errno);
    if (copied != m_expected.size || !FileIdentity::fromStat(source).sameFileAndContent(m_expected))
        throw FileError(m_file.path(), QStringLiteral("it was changed by another program while it was being repaired"));
    applyOwnerAndMode(out.get(), out.path());
    out.sync();
    out.close();
    in.close();
}

void FileReplacer::checkUnchanged(const FileRef& entry) const
{
    struct stat status {};
    if (SystemCalls::current().stat(entry.path().system(), &status) < 0)
        throw FileError(entry.path(), errno);
    if (!FileIdentity::fromStat(status).sameFileAndContent(m_expected))
        throw FileError(m_file.path(), QStringLiteral("it was changed by another program while it was being repaired"));
}

void FileReplacer::applyOwnerAndMode(int fd, const NativeName& path) const
{
    SystemCalls& system = SystemCalls::current();
    mode_t mode = m_expected.mode & 07777;
    // Only a privileged process may give a file away; others keep their own
    // owner, as any editor's saved file would, and keep the group on its own
    // where they belong to it. A file system that holds no owners at all
    // (FAT through FUSE says ENOSYS) is no failure either.
    const auto cannotSet = [](int error) { return error == EPERM || error == ENOSYS || error == EOPNOTSUPP; };
    if (system.fchown(fd, m_expected.owner, m_expected.group) < 0) {
        if (!cannotSet(errno))
            throw FileError(path, errno);
        mode &= ~mode_t(S_ISUID);
        if (system.fchown(fd, uid_t(-1), m_expected.group) < 0 && !cannotSet(errno))
            throw FileError(path, errno);
        struct stat status {};
        if (system.fstat(fd, &status) < 0)
            throw FileError(path, errno);
        // Whichever group the new file has instead may do no more than
        // anybody could do with the original.
        if (status.st_gid != m_expected.group) {
            const mode_t others = mode & S_IRWXO;
            mode = (mode & ~mode_t(S_IRWXG | S_ISGID)) | (others << 3);
        }
    }
    if (system.fchmod(fd, mode) < 0)
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
