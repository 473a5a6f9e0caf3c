// An open file that closes itself, with whole reads and writes.
#pragma once

#include "platform/files/native_name.h"

namespace quillmend::platform {

/// An open file descriptor that is closed when it goes out of scope, so that no
/// failure path leaks one. Use close() where the close's outcome matters.
class FileDescriptor {
public:
    FileDescriptor() = default;
    /// Takes ownership of `fd`, opened on `path` (named in errors).
    FileDescriptor(int fd, NativeName path);
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    /// Opens `path`, retrying when interrupted. Throws FileError on failure.
    static FileDescriptor open(const NativeName& path, OpenMode mode, std::uint32_t permissions = 0);

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    const NativeName& path() const { return m_path; }

    /// Reads until `count` bytes have arrived or the file ends; returns how many arrived.
    std::size_t readFully(char* buffer, std::size_t count);
    /// Writes all `count` bytes, going on after short writes. Throws FileError.
    void writeFully(const char* buffer, std::size_t count);
    /// Flushes the file's data to the storage device. Throws FileError.
    void sync();
    /// Closes the descriptor and throws FileError if the system reports a failure.
    void close();

private:
    /// Whether the file system has less room left than `count` bytes.
    bool noRoomFor(std::size_t count) const;

    int m_fd = -1;
    NativeName m_path;
};

} // namespace quillmend::platform
