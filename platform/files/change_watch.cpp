// ChangeWatch: another program's change, seen up to the last step.
#include "platform/files/internal/change_watch.h"

#include "platform/files/file_reader.h"
#include "platform/system/system_calls.h"

#include <cerrno>
#include <chrono>
#include <thread>
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

FileError ChangeWatch::writeLost() const
{
    return FileError(m_file.path(),
                     QStringLiteral("another program wrote to it just as it was replaced, and what it wrote could "
                                    "not be kept: the file is as it was, save it again from that program"));
}

FileError ChangeWatch::anotherRepair() const
{
    return FileError(m_file.path(), QStringLiteral("another repair or another program is using it"));
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

bool ChangeWatch::writerWaits() const
{
    return m_leased && m_original.isOpen()
        && SystemCalls::current().lease(m_original.get(), SystemCalls::LeaseRequest::Check) == 0;
}

void ChangeWatch::letWriterIn() noexcept
{
    // Some drivers (FUSE's) forget the name of a file replaced while open
    // once its last holder closes it, and a program that waited reaches the
    // driver only once it is woken: it would find nothing. The claim stays
    // open until every such program has closed the file again (a lease can
    // be had), for two seconds at most; that one of them has written tells
    // nothing of the others.
    stop();
    SystemCalls& system = SystemCalls::current();
    for (int wait = 0; wait < 200 && m_claim.isOpen(); ++wait) {
        if (system.lease(m_claim.get(), SystemCalls::LeaseRequest::Take) == 0) {
            system.lease(m_claim.get(), SystemCalls::LeaseRequest::Release);
            return;
        }
        if (errno != EAGAIN)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ChangeWatch::checkNoWriterWaits() const
{
    if (writerWaits())
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

bool ChangeWatch::isLinkOfFile(const FileRef& link) const
{
    FileStatus status;
    if (SystemCalls::current().lstat(link.path().system(), &status) < 0)
        throw FileError(link.path(), errno);
    const FileIdentity found = FileIdentity::fromStatus(status);
    if (found.sameFileAndContent(m_expected))
        return true;
    // Some file systems number each name apart (sshfs: a new link has a
    // number of its own): there the size, the time and the bytes are the
    // proof, and without the bytes there is none.
    if (!found.sameContentUnderAnyNumber(m_expected))
        throw changedMeanwhile();
    if (m_expectedDigest.isEmpty())
        return false;
    checkContentUnchanged(link);
    return true;
}

void ChangeWatch::checkContentUnchanged() const
{
    checkContentUnchanged(m_file);
}

void ChangeWatch::checkContentUnchanged(const FileRef& entry) const
{
    if (m_expectedDigest.isEmpty())
        return;
    FileReader reader(entry);
    const FileIdentity& found = reader.identity();
    if (entry.path() == m_file.path() ? !found.sameFileAndContent(m_expected)
                                      : !found.sameContentUnderAnyNumber(m_expected))
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
