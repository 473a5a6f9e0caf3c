// FileIdentity: the same file with the same content, as far as the system tells.
#include "platform/files/file_identity.h"

namespace quillmend::platform {

bool FileIdentity::sameFileAndContent(const FileIdentity& other) const
{
    return inode == other.inode && sameContentUnderAnyNumber(other);
}

bool FileIdentity::sameContentUnderAnyNumber(const FileIdentity& other) const
{
    return device == other.device && size == other.size && modified.tv_sec == other.modified.tv_sec
        && modified.tv_nsec == other.modified.tv_nsec;
}

} // namespace quillmend::platform
