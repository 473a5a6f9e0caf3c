// ChangeWatch: another program's change, seen up to the last step.
#include "platform/files/internal/change_watch.h"

#include "platform/files/file_reader.h"
#include "platform/system/system_calls.h"

#include <cerrno>
#include <utility>

namespace quillmend::platform::internal {

namespace {

constexpr std::size_t kReadChunk = std::size_t(1) << 20;

} // namespace

ChangeWatch::ChangeWatch(FileRef file, const FileIdentity& expected)
    : m_file(std::move(file))
    , m_expected(expected)
{
}

FileError ChangeWatch::changedMeanwhile() const
{
    return FileError(m_file.path(), QStringLiteral("it was changed by another program while it was being repaired"));
}

FileError ChangeWatch::anotherRepair() const
{
    return FileError(m_file.path(), QStringLiteral("another repair of it is under way"));
}

void ChangeWatch::claim()
{
    // Two repairs of one file (a double drop, the window and a script) would
    // both keep "the original", and on FAT pick the same name for it.
    FileDescriptor claim = FileDescriptor::open(m_file.path(), OpenFlag::NonBlocking);
    checkOpenFile(claim.get());
    if (SystemCalls::current().lock(claim.get(), LockMode::TryExclusive) < 0) {
        if (errno == EWOULDBLOCK || errno == EAGAIN)
            throw anotherRepair();
        // No locks here (ENOLCK on some network shares): nothing to hold.
        return;
    }
    m_claim = std::move(claim);
}

void ChangeWatch::watchForWriters()
{
    // From here on, a program that opens the file to save it is held up and
    // seen, where the system offers that: its save then wins, rather than
    // landing in a file that is no longer under the name. Without a lease,
    // the checks of the file's state and content are all there is.
    m_original = FileDescriptor::open(m_file.path(), OpenFlag::NonBlocking);
    m_leased = SystemCalls::current().lease(m_original.get(), SystemCalls::LeaseRequest::Take) == 0;
}

void ChangeWatch::closeUnlessLeased()
{
    if (!m_leased)
        m_original.close();
}

void ChangeWatch::checkNoWriterWaits() const
{
    if (m_leased && m_original.isOpen()
        && SystemCalls::current().lease(m_original.get(), SystemCalls::LeaseRequest::Check) == 0)
        throw changedMeanwhile();
}

void ChangeWatch::checkUnchanged(const FileRef& entry) const
{
    // The entry itself, not what it leads to: a link put in the file's place
    // would make the kept copy a link, which dangles once its target goes.
    FileStatus status;
    if (SystemCalls::current().lstat(entry.path().system(), &status) < 0)
        throw FileError(entry.path(), errno);
    if (!FileIdentity::fromStatus(status).sameFileAndContent(m_expected))
        throw changedMeanwhile();
}

void ChangeWatch::checkOpenFile(int fd) const
{
    FileStatus status;
    if (SystemCalls::current().fstat(fd, &status) < 0)
        throw FileError(m_file.path(), errno);
    if (!FileIdentity::fromStatus(status).sameFileAndContent(m_expected))
        throw changedMeanwhile();
}

void ChangeWatch::checkContentUnchanged() const
{
    if (m_expectedDigest.isEmpty())
        return;
    FileReader reader(m_file);
    if (!reader.identity().sameFileAndContent(m_expected))
        throw changedMeanwhile();
    QByteArray chunk(qsizetype(kReadChunk), Qt::Uninitialized);
    while (reader.read(chunk.data(), kReadChunk) > 0) {
        if (m_progress)
            m_progress();
    }
    reader.checkReadWhole();
    reader.close();
    checkDigest(reader.contentDigest());
}

void ChangeWatch::checkDigest(const QByteArray& digest) const
{
    if (!m_expectedDigest.isEmpty() && digest != m_expectedDigest)
        throw changedMeanwhile();
}

} // namespace quillmend::platform::internal
