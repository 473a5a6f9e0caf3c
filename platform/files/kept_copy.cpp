#include "platform/files/internal/kept_copy.h"

#include "platform/files/file_descriptor.h"
#include "platform/files/file_error.h"
#include "platform/files/file_metadata.h"
#include "platform/files/file_replacer.h"
#include "platform/files/internal/change_watch.h"
#include "platform/files/system_calls.h"

#include <fcntl.h>

#include <cerrno>
#include <utility>

namespace quillmend::platform::internal {

namespace {

constexpr std::size_t kCopyChunk = std::size_t(1) << 20;

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

void KeptCopy::make(const std::function<NativeName(int attempt)>& name)
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
    for (int attempt = 1; attempt <= TemporaryFile::kMaxNameAttempts; ++attempt) {
        const FileRef kept = m_folder.child(name(attempt));
        Attempt result = tryWay(kept);
        while (result == Attempt::Unsupported && way < 2) {
            ++way;
            result = tryWay(kept);
        }
        if (result == Attempt::Made)
            return;
    }
    throw FileReplacer::keptNamesTaken(m_file.path());
}

KeptCopy::Attempt KeptCopy::link(const FileRef& kept)
{
    if (SystemCalls::current().link(m_file.path().system(), kept.path().system()) == 0) {
        m_path = kept.path();
        // The link must be the very file that was read, not one put in its
        // place since.
        m_watch.checkUnchanged(kept);
        return Attempt::Made;
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
    FileDescriptor in = FileDescriptor::open(m_file.path(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    QByteArray chunk(qsizetype(kCopyChunk), Qt::Uninitialized);
    std::int64_t copied = 0;
    while (const std::size_t n = in.readFully(chunk.data(), kCopyChunk)) {
        out.writeFully(chunk.constData(), n);
        copied += std::int64_t(n);
        if (m_progress)
            m_progress();
    }
    m_watch.checkOpenFile(in.get());
    if (copied != m_watch.expected().size)
        throw m_watch.changedMeanwhile();
    CopyMetadata(in.get(), out.get(), out.path(), m_watch.expected(), m_file.path());
    out.sync();
    in.close();
}

KeptCopy::Attempt KeptCopy::copyTakes(const FileRef& kept)
{
    m_copy.taken();
    m_path = kept.path();
    m_copy = TemporaryFile();
    return Attempt::Made;
}

KeptCopy::Attempt KeptCopy::moveCopy(const FileRef& kept)
{
    makeCompleteCopy();
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
    // some drivers), the name is checked just before the plain rename. Only
    // another program creating that very name in the moment between the two
    // calls could lose its file; the user's own file is never at stake.
    makeCompleteCopy();
    if (kept.exists())
        return Attempt::NameTaken;
    if (SystemCalls::current().rename(m_copy.path().system(), kept.path().system()) < 0)
        throw FileError(kept.path(), errno);
    return copyTakes(kept);
}

bool KeptCopy::removeName() noexcept
{
    if (!m_path.isEmpty() && TemporaryFile::removeOwnName(m_path))
        m_path = NativeName();
    return m_path.isEmpty();
}

bool KeptCopy::restore() noexcept
{
    if (m_path.isEmpty() || SystemCalls::current().rename(m_path.system(), m_file.path().system()) != 0)
        return false;
    m_path = NativeName();
    return true;
}

void KeptCopy::discard() noexcept
{
    removeName();
    m_copy.discard();
}

} // namespace quillmend::platform::internal
