#include "platform/file_identity.h"

namespace quillmend::platform {

FileIdentity FileIdentity::fromStatus(const FileStatus& status)
{
    FileIdentity identity;
    identity.device = status.device;
    identity.inode = status.inode;
    identity.size = status.size;
    identity.modified = status.modified;
    identity.mode = status.mode;
    identity.owner = status.owner;
    identity.group = status.group;
    return identity;
}

bool FileIdentity::sameFileAndContent(const FileIdentity& other) const
{
    return device == other.device && inode == other.inode && size == other.size
        && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

} // namespace quillmend::platform
