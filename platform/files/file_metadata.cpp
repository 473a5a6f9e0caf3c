// CopyMetadata: the original's permissions, owner and attributes on the new file.
#include "platform/files/file_metadata.h"

#include "platform/files/file_error.h"
#include "platform/files/temporary_file.h"
#include "platform/system/system_calls.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace quillmend::platform {

namespace {

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
    return (mode & ~std::uint32_t(FileMode::kGroupAll | FileMode::kSetGroupId))
        | (mode & FileMode::kGroupAll & ((mode & FileMode::kOthersAll) << 3));
}

std::uint32_t applyOwnerAndMode(int fd, const NativeName& path, const FileIdentity& expected)
{
    SystemCalls& system = SystemCalls::current();
    std::uint32_t mode = expected.mode & 07777;
    // Only a privileged process may give a file away; others keep their own
    // owner, as any editor's saved file would, and keep the group on its own
    // where they belong to it.
    const auto cannotSet = [](int error) { return error == EPERM || meansNotHeld(error); };
    if (system.fchown(fd, expected.owner, expected.group) < 0) {
        if (!cannotSet(errno))
            throw FileError(path, errno);
        mode &= ~std::uint32_t(FileMode::kSetUserId);
        if (system.fchown(fd, kKeepId, expected.group) < 0 && !cannotSet(errno))
            throw FileError(path, errno);
        FileStatus status;
        if (system.fstat(fd, &status) < 0)
            throw FileError(path, errno);
        // Whichever group the new file has instead may do no more than
        // anybody could do with the original.
        if (status.group != expected.group)
            mode = groupNoMoreThanOthers(mode);
    }
    if (system.fchmod(fd, mode) < 0 && !meansNotHeld(errno))
        throw FileError(path, errno);
    return mode;
}

// A new file takes what its folder gives every new file (a default access
// control list among it), which the original may not have had: the repaired
// file has the original's access, no more. Returns whether there was any.
bool removeInheritedAttributes(int fd, const NativeName& path, const std::vector<std::string>& kept)
{
    SystemCalls& system = SystemCalls::current();
    std::vector<std::string> present;
    if (system.listAttributes(fd, present) < 0) {
        if (!meansAttributeRefused(errno))
            throw FileError(path, errno);
        return false;
    }
    bool removed = false;
    for (const std::string& name : present) {
        if (name == TemporaryFile::kMarkAttribute || std::find(kept.begin(), kept.end(), name) != kept.end())
            continue;
        if (system.removeAttribute(fd, name.c_str()) == 0) {
            removed = true;
            continue;
        }
        // One that may not go (a security label) is no access of anybody's;
        // an access list that stays would be.
        if (errno != ENODATA && !(meansAttributeRefused(errno) && name != kAccessListAttribute))
            throw FileError(path, errno);
    }
    return removed;
}

void copyAttributes(int source, int fd, const NativeName& path, std::uint32_t mode, const NativeName& originalPath)
{
    // After the mode: on Linux the access control list comes as an
    // attribute, and setting it sets the group's bits to its mask.
    SystemCalls& system = SystemCalls::current();
    std::vector<std::string> names;
    if (system.listAttributes(source, names) < 0) {
        if (!meansAttributeRefused(errno))
            throw FileError(originalPath, errno);
        names.clear();
    }
    // The temporary file's own mark is no part of the content's metadata.
    names.erase(std::remove(names.begin(), names.end(), TemporaryFile::kMarkAttribute), names.end());
    bool accessListLost = false;
    for (const std::string& name : names) {
        std::string value;
        bool copied = system.getAttribute(source, name.c_str(), value) == 0;
        if (!copied && errno == ENODATA)
            continue;
        if (!copied && !meansAttributeRefused(errno))
            throw FileError(originalPath, errno);
        if (copied && system.setAttribute(fd, name.c_str(), value) < 0) {
            if (!meansAttributeRefused(errno))
                throw FileError(path, errno);
            copied = false;
        }
        if (!copied && name == kAccessListAttribute)
            accessListLost = true;
    }
    const bool inheritedRemoved = removeInheritedAttributes(fd, path, names);
    if (system.copyAccessList(source, fd) < 0) {
        if (!meansAttributeRefused(errno))
            throw FileError(path, errno);
        accessListLost = true;
    }
    // Without its list the original's group bits would be the list's mask,
    // and the owning group would gain what only named users had.
    const std::uint32_t finalMode = accessListLost ? groupNoMoreThanOthers(mode) : mode;
    if ((accessListLost || inheritedRemoved) && system.fchmod(fd, finalMode) < 0 && !meansNotHeld(errno))
        throw FileError(path, errno);
}

} // namespace

void CopyMetadata(int source, int fd, const NativeName& path, const FileIdentity& original,
                  const NativeName& originalPath)
{
    const std::uint32_t mode = applyOwnerAndMode(fd, path, original);
    copyAttributes(source, fd, path, mode, originalPath);
}

} // namespace quillmend::platform
