#include "platform/file_identity.h"

namespace quillmend::platform {

FileIdentity FileIdentity::fromStat(const struct stat& status)
{
    FileIdentity identity;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.size = status.st_size;
#ifdef __APPLE__
    identity.modified = status.st_mtimespec;
#else
    identity.modified = status.st_mtim;
#endif
    identity.mode = status.st_mode;
    identity.owner = status.st_uid;
    identity.group = status.st_gid;
    return identity;
}

bool FileIdentity::sameFileAndContent(const FileIdentity& other) const
{
    return device == other.device && inode == other.inode && size == other.size
        && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

} // namespace quillmend::platform
