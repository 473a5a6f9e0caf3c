// A file by its path, as the system spells it.
#pragma once

#include "platform/files/file_identity.h"
#include "platform/files/native_name.h"

#include <QString>

namespace quillmend::platform {

/// Names a file or folder, whether or not it exists. Queries that cannot be
/// answered throw FileError with the path and the system's reason.
class FileRef {
public:
    /// `path` is made absolute (against the current folder) and cleaned of
    /// empty, "." and ".." elements.
    explicit FileRef(const NativeName& path);
    /// The path spelt as `path` is, for paths written as text.
    explicit FileRef(const QString& path);
    /// The file that a person picked by its shown path, where names that are
    /// not valid UTF-8 show with U+FFFD: the one entry of the folder that
    /// shows so. Throws FileError when several do, rather than take one for
    /// another.
    static FileRef fromShownPath(const QString& path);

    const NativeName& path() const { return m_path; }
    /// The last element of the path, extension included.
    NativeName name() const;
    /// The folder that holds this entry.
    FileRef parent() const;
    /// The entry called `name` in this folder, also when none exists.
    FileRef child(const NativeName& name) const;

    /// Whether the program may replace this file's content: the file, links
    /// resolved, and the folder it lies in are writable for this process,
    /// neither is marked read-only for everyone (which a superuser could
    /// otherwise ignore), a sticky folder lets this process replace the
    /// name, and mayReplaceName(). False when permission is denied; other failures (no such file)
    /// throw.
    bool isWritable() const;
    /// Whether the system lets this name be replaced at all: neither the
    /// file (links resolved) nor its folder is append-only or immutable,
    /// which not even a superuser's write permission overrides. Throws
    /// FileError where it cannot tell.
    bool mayReplaceName() const;
    /// Whether an entry of this name exists in its folder: a file, a folder,
    /// or a symbolic link, also one that leads nowhere.
    bool exists() const;
    /// The length in bytes of the file (symbolic links followed).
    qint64 length() const;
    /// Whether this is a regular file (symbolic links followed), not a
    /// folder, device, FIFO or socket.
    bool isRegularFile() const;

    /// For a folder: the longest name, in the system's units, that its file
    /// system lets an entry have.
    qsizetype maxNameLength() const;

    /// The same file with every symbolic link and "." or ".." resolved.
    FileRef resolved() const;

private:
    NativeName m_path;
};

/// True when `bytes` begin with a UTF-16 byte-order mark, either way round:
/// such a text is read as UTF-16.
bool BeginsWithUtf16ByteOrderMark(QByteArrayView bytes);

} // namespace quillmend::platform
