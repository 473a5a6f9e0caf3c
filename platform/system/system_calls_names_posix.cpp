// Names in folders: links, renames, removals, listings, and paths made whole, on Linux and macOS.
#include "platform/system/internal/system_backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <QList>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace quillmend::platform {

int internal::backend::link(const NativeChar* existing, const NativeChar* newPath)
{
    return ::link(existing, newPath);
}

int internal::backend::rename(const NativeChar* from, const NativeChar* to)
{
    return ::rename(from, to);
}

int internal::backend::unlink(const NativeChar* path)
{
    return ::unlink(path);
}

namespace {

enum class RenameKind { NoReplace, Exchange };

// rename() with one of the flags that Linux's renameat2() and macOS's
// renamex_np() both offer. A file system that has no such rename says EINVAL
// or ENOTSUP (FUSE's drivers for FAT and exFAT among them), told as ENOSYS.
int renameAs(const NativeChar* from, const NativeChar* to, RenameKind kind)
{
#if defined(__linux__) && defined(RENAME_NOREPLACE) && defined(RENAME_EXCHANGE)
    const int result
        = ::renameat2(AT_FDCWD, from, AT_FDCWD, to, kind == RenameKind::NoReplace ? RENAME_NOREPLACE : RENAME_EXCHANGE);
#elif defined(__APPLE__)
    const int result = ::renamex_np(from, to, kind == RenameKind::NoReplace ? RENAME_EXCL : RENAME_SWAP);
#else
    (void)from;
    (void)to;
    (void)kind;
    errno = ENOSYS;
    const int result = -1;
#endif
    if (result != 0 && (errno == EINVAL || errno == ENOTSUP))
        errno = ENOSYS;
    return result;
}

} // namespace

int internal::backend::renameNoReplace(const NativeChar* from, const NativeChar* to)
{
    return renameAs(from, to, RenameKind::NoReplace);
}

int internal::backend::exchange(const NativeChar* from, const NativeChar* to)
{
    return renameAs(from, to, RenameKind::Exchange);
}

char internal::backend::pathSeparator()
{
    return '/';
}

bool internal::backend::meansDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

NativeString internal::backend::absolutePath(const NativeChar* path)
{
    // Cleaned byte by byte, as QDir::cleanPath would for text: a name need
    // not be text.
    QByteArray full = path;
    if (!full.startsWith('/')) {
        char* folder = ::getcwd(nullptr, 0);
        if (!folder)
            return NativeString();
        full = QByteArray(folder) + '/' + full;
        std::free(folder);
    }
    QList<QByteArray> elements;
    for (const QByteArray& element : full.split('/')) {
        if (element.isEmpty() || element == ".")
            continue;
        if (element == "..") {
            if (!elements.isEmpty())
                elements.removeLast();
            continue;
        }
        elements << element;
    }
    return ('/' + elements.join('/')).toStdString();
}

long internal::backend::nameLimit(const NativeChar* folder)
{
    errno = 0;
    return ::pathconf(folder, _PC_NAME_MAX);
}

int internal::backend::listFolder(const NativeChar* path, std::vector<NativeString>& names)
{
    DIR* folder = ::opendir(path);
    if (!folder)
        return -1;
    names.clear();
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(folder);
    return 0;
}

NativeString internal::backend::realpath(const NativeChar* path)
{
    char* resolved = ::realpath(path, nullptr);
    if (!resolved)
        return NativeString();
    NativeString result(resolved);
    std::free(resolved);
    return result;
}

} // namespace quillmend::platform
