// FileRef: paths, their folders, and what may be done with them.
#include "platform/files/file_ref.h"

#include "platform/files/file_descriptor.h"
#include "platform/files/file_error.h"
#include "platform/system/system_calls.h"

#include <QList>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

namespace quillmend::platform {

namespace {

constexpr std::uint32_t kAnyWriteBit = FileMode::kOwnerWrite | FileMode::kGroupWrite | FileMode::kOthersWrite;

FileStatus statOf(const NativeName& path)
{
    FileStatus status;
    if (SystemCalls::current().stat(path.system(), &status) < 0)
        throw FileError(path, errno);
    return status;
}

bool mayWrite(const NativeName& path)
{
    if (SystemCalls::current().access(path.system()) < 0) {
        if (errno == EACCES || errno == EROFS || errno == EPERM)
            return false;
        throw FileError(path, errno);
    }
    return (statOf(path).mode & kAnyWriteBit) != 0;
}

// Made absolute (against the current folder) and cleaned of empty, "." and
// ".." elements, as the system spells paths.
NativeName absoluteCleanPath(const NativeName& path)
{
    const NativeString full = SystemCalls::absolutePath(path.system());
    if (full.empty())
        throw FileError(path, errno);
    return NativeName::fromSystem(full);
}

} // namespace

const char kSeparator = SystemCalls::pathSeparator();

bool BeginsWithUtf16ByteOrderMark(QByteArrayView bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

FileRef::FileRef(const NativeName& path)
    : m_path(absoluteCleanPath(path))
{
}

FileRef::FileRef(const QString& path)
    : FileRef(NativeName::fromText(path))
{
}

FileRef FileRef::fromShownPath(const QString& path)
{
    const FileRef spelt(path);
    if (!path.contains(QChar::ReplacementCharacter))
        return spelt;
    const FileRef folder = spelt.parent();
    const QString shown = spelt.name().toText();
    std::vector<NativeString> names;
    if (SystemCalls::current().listFolder(folder.path().system(), names) < 0)
        throw FileError(folder.path(), errno);
    std::optional<FileRef> found;
    for (const NativeString& name : names) {
        const NativeName entry = NativeName::fromSystem(name);
        if (entry.toText() != shown)
            continue;
        if (found)
            throw FileError(spelt.path(), QStringLiteral("its name reads the same as another file's in its folder"));
        found = folder.child(entry);
    }
    return found ? *found : spelt;
}

NativeName FileRef::name() const
{
    return m_path.mid(m_path.lastIndexOf(kSeparator) + 1);
}

FileRef FileRef::parent() const
{
    const qsizetype slash = m_path.lastIndexOf(kSeparator);
    // The root keeps its separator: "/", "C:\".
    const bool root = slash <= 0 || (kSeparator == '\\' && slash == 2 && m_path.lastIndexOf(':') == 1);
    return FileRef(root ? m_path.left(slash + 1) : m_path.left(slash));
}

FileRef FileRef::child(const NativeName& name) const
{
    const char separator[] = {kSeparator, '\0'};
    const bool atRoot = m_path.lastIndexOf(kSeparator) == m_path.size() - 1;
    return FileRef(m_path + (atRoot ? NativeName() : NativeName::fromAscii(separator)) + name);
}

bool FileRef::isWritable() const
{
    // The folder that matters is the one where the file itself lies, which
    // for a link may be far from the link's own.
    const FileRef real = resolved();
    const FileRef folder = real.parent();
    if (!mayWrite(real.m_path) || !mayWrite(folder.m_path) || !real.mayReplaceName())
        return false;
    // In a folder with the sticky bit (/tmp, shared folders) only the file's
    // owner, the folder's owner or the superuser may replace a name.
    const FileStatus folderStatus = statOf(folder.m_path);
    if (folderStatus.mode & FileMode::kSticky) {
        const std::uint32_t self = SystemCalls::current().userId();
        return self == 0 || self == folderStatus.owner || self == statOf(real.m_path).owner;
    }
    return true;
}

bool FileRef::mayReplaceName() const
{
    const FileRef real = resolved();
    for (const FileRef& entry : {real, real.parent()}) {
        std::uint32_t flags = 0;
        if (SystemCalls::current().fileFlags(entry.m_path.system(), &flags) < 0)
            throw FileError(entry.m_path, errno);
        if (flags & (SystemCalls::kAppendOnly | SystemCalls::kImmutable))
            return false;
    }
    return true;
}

bool FileRef::exists() const
{
    FileStatus status;
    if (SystemCalls::current().lstat(m_path.system(), &status) == 0)
        return true;
    if (errno == ENOENT || errno == ENOTDIR)
        return false;
    throw FileError(m_path, errno);
}

qint64 FileRef::length() const
{
    return statOf(m_path).size;
}

bool FileRef::isRegularFile() const
{
    return statOf(m_path).isRegular();
}

qsizetype FileRef::maxNameLength() const
{
    const long limit = SystemCalls::current().nameLimit(m_path.system());
    if (limit < 0 && errno != 0)
        throw FileError(m_path, errno);
    return limit < 0 ? std::numeric_limits<qsizetype>::max() : qsizetype(limit);
}

FileRef FileRef::resolved() const
{
    const NativeString real = SystemCalls::current().realpath(m_path.system());
    if (real.empty())
        throw FileError(m_path, errno);
    return FileRef(NativeName::fromSystem(real));
}

} // namespace quillmend::platform
