// KeptCopy: a hard link, or a complete copy moved onto a claimed name.
#include "platform/files/internal/kept_copy.h"

#include "platform/files/file_descriptor.h"
#include "platform/files/file_error.h"
#include "platform/files/file_metadata.h"
#include "platform/files/file_reader.h"
#include "platform/files/internal/change_watch.h"
#include "platform/files/interrupt_cleanup.h"
#include "platform/system/system_calls.h"

#include <QCryptographicHash>

#include <cerrno>
#include <utility>

namespace quillmend::platform::internal {

namespace {

constexpr std::size_t kCopyChunk = std::size_t(1) << 20;

// What a claimed kept name holds until the copy takes it: plain words for
// whoever opens it, and the maker, whose end makes the claim stale.
const char kClaimRecord[] = "Quillmend is keeping the original under this name; process ";

QByteArray claimRecord()
{
    return kClaimRecord + QByteArray::number(SystemCalls::current().processId()) + '\n';
}

// The errors with which link() says that this file system, or this file,
// cannot have another hard link.
bool meansNoHardLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOTSUP || error == EMLINK || error == ENOSYS
        || error == EXDEV;
}

} // namespace

KeptCopy::KeptCopy(FileRef file, const ChangeWatch& watch)
    : m_file(std::move(file))
    , m_folder(m_file.parent())
    , m_watch(watch)
{
}

KeptCopy::~KeptCopy()
{
    keep();
}

void KeptCopy::holdName(const NativeName& path)
{
    m_path = path;
    m_interruptTicket = InterruptCleanup::add(path);
}

void KeptCopy::keep() noexcept
{
    InterruptCleanup::remove(std::exchange(m_interruptTicket, -1));
}

FileError KeptCopy::namesTaken(const NativeName& file)
{
    return FileError(file, QStringLiteral("every name for a copy of the original is taken"));
}

NativeName KeptCopy::freeName(const FileRef& file, const Namer& name)
{
    const FileRef folder = file.parent();
    for (int attempt = 1; attempt <= kMaxNames; ++attempt) {
        const NativeName candidate = name(attempt);
        const FileRef kept = folder.child(candidate);
        if (!kept.exists() || isStaleClaim(kept))
            return candidate;
    }
    throw namesTaken(file.path());
}

void KeptCopy::make(const Namer& name)
{
    // The three ways, best first; a way that the file system does not offer
    // gives way to the next for the same name, a taken name to the next name.
    int way = 0;
    const auto tryWay = [this, &way](const FileRef& kept) {
        switch (way) {
        case 0:
            return link(kept);
        case 1:
            return moveCopy(kept);
        default:
            return moveCopyToFreeName(kept);
        }
    };
    for (int attempt = 1; attempt <= kMaxNames; ++attempt) {
        const FileRef kept = m_folder.child(name(attempt));
        Attempt result = tryWay(kept);
        while (result == Attempt::Unsupported && way < 2) {
            ++way;
            result = tryWay(kept);
        }
        if (result == Attempt::Made)
            return;
    }
    throw namesTaken(m_file.path());
}

KeptCopy::Attempt KeptCopy::link(const FileRef& kept)
{
    // Each name is held from the call that makes it, so that no interrupt
    // comes between the two.
    InterruptCleanup::Deferral deferral(kept.path());
    if (SystemCalls::current().link(m_file.path().system(), kept.path().system()) == 0) {
        holdName(kept.path());
        m_linked = true;
        // The link must be the very file that was read, not one put in its
        // place since; where that cannot be proven, a copy is.
        if (m_watch.isLinkOfFile(kept))
            return Attempt::Made;
        if (!removeName())
            throw FileError(kept.path(), errno);
        m_linked = false;
        return Attempt::Unsupported;
    }
    if (errno == EEXIST)
        return Attempt::NameTaken;
    if (!meansNoHardLinks(errno))
        throw FileError(kept.path(), errno);
    return Attempt::Unsupported;
}

void KeptCopy::makeCompleteCopy()
{
    // Complete and stored before it takes the kept name, so that no crash
    // leaves a partial copy under that name.
    if (m_copy.isOpen())
        return;
    m_copy = TemporaryFile::create(m_folder);
    FileDescriptor& out = m_copy.descriptor();
    FileDescriptor in = FileDescriptor::open(m_file.path(), OpenFlag::NonBlocking);
    QByteArray chunk(qsizetype(kCopyChunk), Qt::Uninitialized);
    std::int64_t copied = 0;
    // Where times are too coarse to tell a change, the bytes copied must be
    // those the repair read: a driver that hands two readers different
    // bytes (fusefat, under concurrent reads) would otherwise keep a copy
    // that is not the original.
    QCryptographicHash digest(FileReader::kDigestAlgorithm);
    while (const std::size_t n = in.readFully(chunk.data(), kCopyChunk)) {
        out.writeFully(chunk.constData(), n);
        digest.addData(QByteArrayView(chunk.constData(), qsizetype(n)));
        copied += std::int64_t(n);
        if (m_progress)
            m_progress();
    }
    m_watch.checkOpenFile(in.get());
    if (copied != m_watch.expected().size)
        throw m_watch.changedMeanwhile();
    m_watch.checkDigest(digest.result());
    m_copiedContent = m_watch.expectsContent();
    CopyMetadata(in.get(), out.get(), out.path(), m_watch.expected(), m_file.path());
    out.sync();
    in.close();
}

KeptCopy::Attempt KeptCopy::copyTakes(const FileRef& kept)
{
    m_copy.taken();
    if (m_path != kept.path())
        holdName(kept.path());
    m_copy = TemporaryFile();
    return Attempt::Made;
}

KeptCopy::Attempt KeptCopy::moveCopy(const FileRef& kept)
{
    makeCompleteCopy();
    InterruptCleanup::Deferral deferral(kept.path());
    // A copy without a name yet takes the kept one directly, which never
    // replaces an entry.
    if (m_copy.path().isEmpty()) {
        if (!m_copy.linkAs(kept))
            return Attempt::NameTaken;
        return copyTakes(kept);
    }
    if (SystemCalls::current().renameNoReplace(m_copy.path().system(), kept.path().system()) == 0)
        return copyTakes(kept);
    if (errno == EEXIST)
        return Attempt::NameTaken;
    if (errno != ENOSYS)
        throw FileError(kept.path(), errno);
    return Attempt::Unsupported;
}

KeptCopy::Attempt KeptCopy::moveCopyToFreeName(const FileRef& kept)
{
    // Where no rename can refuse to replace (FAT and exFAT, seen through
    // some drivers), the name is made first by a call that fails where it
    // is taken, and only then is the copy renamed over it: two repairs, or
    // another program, never take the same name.
    makeCompleteCopy();
    SystemCalls& system = SystemCalls::current();
    const auto create = [&] {
        return system.open(kept.path().system(),
                           OpenFlag::Write | OpenFlag::Create | OpenFlag::Exclusive | OpenFlag::NoFollow,
                           FileMode::kOwnerOnly);
    };
    FileDescriptor claim;
    {
        InterruptCleanup::Deferral deferral(kept.path());
        int fd = create();
        if (fd < 0 && errno == EEXIST && isStaleClaim(kept) && TemporaryFile::removeOwnName(kept.path()))
            fd = create();
        if (fd < 0) {
            if (errno == EEXIST)
                return Attempt::NameTaken;
            throw FileError(kept.path(), errno);
        }
        claim = FileDescriptor(fd, kept.path());
        holdName(kept.path());
    }
    const QByteArray record = claimRecord();
    claim.writeFully(record.constData(), std::size_t(record.size()));
    FileStatus claimed;
    if (system.fstat(claim.get(), &claimed) < 0)
        throw FileError(kept.path(), errno);
    // Closed first: Windows replaces no file that is open, nor moves one.
    claim.close();
    if (SystemCalls::renamesOnlyClosedFiles())
        m_copy.close();
    // Another program may have removed the claim and put a file of its own
    // under the name: the copy must not replace it, nor an interrupt remove it.
    FileStatus now;
    const bool gone = system.lstat(kept.path().system(), &now) < 0;
    if (gone && errno != ENOENT)
        throw FileError(kept.path(), errno);
    if (gone || now.device != claimed.device || now.inode != claimed.inode || now.size != claimed.size) {
        keep();
        m_path = NativeName();
        return Attempt::NameTaken;
    }
    if (system.rename(m_copy.path().system(), kept.path().system()) < 0)
        throw FileError(kept.path(), errno);
    InterruptCleanup::Deferral deferral(kept.path());
    return copyTakes(kept);
}

bool KeptCopy::isStaleClaim(const FileRef& kept)
{
    SystemCalls& system = SystemCalls::current();
    const int fd = system.open(kept.path().system(), OpenFlag::NoFollow | OpenFlag::NonBlocking);
    if (fd < 0)
        return false;
    FileDescriptor file(fd, kept.path());
    char buffer[sizeof kClaimRecord + 12] = {};
    const std::size_t got = file.readFully(buffer, sizeof buffer);
    const QByteArray text(buffer, qsizetype(got));
    const qsizetype prefix = qsizetype(sizeof kClaimRecord - 1);
    if (!text.startsWith(kClaimRecord) || !text.endsWith('\n') || got == sizeof buffer)
        return false;
    bool isNumber = false;
    const std::uint32_t maker = text.mid(prefix, text.size() - prefix - 1).toUInt(&isNumber);
    return isNumber && system.processRuns(maker) == 0;
}

bool KeptCopy::removeName() noexcept
{
    if (!m_path.isEmpty() && TemporaryFile::removeOwnName(m_path)) {
        keep();
        m_path = NativeName();
    }
    return m_path.isEmpty();
}

bool KeptCopy::restore() noexcept
{
    if (m_path.isEmpty() || SystemCalls::current().rename(m_path.system(), m_file.path().system()) != 0)
        return false;
    keep();
    m_path = NativeName();
    return true;
}

void KeptCopy::discard() noexcept
{
    removeName();
    m_copy.discard();
}

} // namespace quillmend::platform::internal
