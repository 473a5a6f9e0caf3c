// The seam: every operating-system call of the program, behind one hook for faults.
#pragma once

#include "platform/system/system_types.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmend::platform {

/// The operating-system calls behind every file operation of the program.
///
/// All of them pass through one installed instance, so that a test can make any
/// of them fail, one at a time, and check that no fault loses a user's file.
/// Each call behaves as its POSIX namesake: -1 (or nullptr) and errno on failure.
/// On Windows each is made of Windows' own calls (CreateFileW, ReplaceFileW,
/// ...), with their errors told in errno values; paths are in the system's
/// units (NativeChar).
class SystemCalls {
public:
    /// Identifies a call for fault injection.
    enum class Call {
        Open,
        Read,
        Write,
        Close,
        Fstat,
        Stat,
        Access,
        Fsync,
        Fchmod,
        Fchown,
        Link,
        Rename,
        Unlink,
        Realpath,
        Lseek,
        RenameNoReplace,
        ListFolder,
        StartWriteback,
        Lstat,
        Lock,
        ListAttributes,
        GetAttribute,
        SetAttribute,
        CopyAccessList,
        NameLimit,
        ProcessRuns,
        OpenUnnamed,
        LinkUnnamed,
        RemoveAttribute,
        FileFlags,
        FreeSpace,
        Lease,
        Exchange,
    };

    /// What lease() is asked to do.
    enum class LeaseRequest {
        /// Take a read lease on the file: the system then holds up any other
        /// program that opens it for writing, and tells this one.
        Take,
        /// 1 while the lease is whole, 0 once another program has asked to
        /// write (it waits until the lease goes).
        Check,
        /// Let the lease go: a program held up goes on.
        Release,
    };

    /// What fileFlags() tells of a file or folder.
    enum FileFlag : std::uint32_t {
        /// Entries may be added but none removed or replaced (chattr +a).
        kAppendOnly = 1,
        /// Nothing may change (chattr +i, chflags uchg).
        kImmutable = 2,
    };

    virtual ~SystemCalls() = default;

    /// `permissions` (FileMode bits) for a file that OpenFlag::Create makes.
    int open(const NativeChar* path, OpenMode mode, std::uint32_t permissions = 0);
    std::ptrdiff_t read(int fd, void* buffer, std::size_t count);
    std::ptrdiff_t write(int fd, const void* buffer, std::size_t count);
    /// Always releases the descriptor, also when it reports an error.
    int close(int fd);
    int fstat(int fd, FileStatus* status);
    /// Moves to `offset` bytes from the file's start.
    std::int64_t lseek(int fd, std::int64_t offset);
    int stat(const NativeChar* path, FileStatus* status);
    int lstat(const NativeChar* path, FileStatus* status);
    /// A lock on the whole file that blocks no reading (flock() on POSIX; on
    /// Windows one byte far past any file's end).
    int lock(int fd, LockMode mode);
    /// 0 where this process may write to `path` (POSIX's access(W_OK)).
    int access(const NativeChar* path);
    /// Flushes the file's data to the storage device itself, past its own
    /// cache where the system offers that (macOS's F_FULLFSYNC).
    int fsync(int fd);
    /// Starts writing `count` bytes of `fd` from `offset` to the storage
    /// device without waiting for them (Linux's sync_file_range); elsewhere
    /// does nothing and returns 0. Advice only: it promises nothing, fsync does.
    int startWriteback(int fd, std::int64_t offset, std::int64_t count);
    int fchmod(int fd, std::uint32_t mode);
    int fchown(int fd, std::uint32_t owner, std::uint32_t group);
    int link(const NativeChar* existing, const NativeChar* newPath);
    int rename(const NativeChar* from, const NativeChar* to);
    int unlink(const NativeChar* path);
    /// rename() that fails with EEXIST rather than replace anything; ENOSYS
    /// where the system or the file system cannot promise that.
    int renameNoReplace(const NativeChar* from, const NativeChar* to);
    /// Swaps two names in one step, each then naming what the other named
    /// (Linux's RENAME_EXCHANGE, macOS's RENAME_SWAP), so that whatever stood
    /// under `to` is still there to be looked at, and put back; ENOSYS where
    /// the system or the file system cannot (Windows, FAT, exFAT).
    int exchange(const NativeChar* from, const NativeChar* to);
    /// The names of a file's extended attributes (on Linux its access control
    /// list among them, as "system.posix_acl_access"); -1 and errno (ENOTSUP
    /// where the file system has none).
    int listAttributes(int fd, std::vector<std::string>& names);
    /// Takes one extended attribute off a file; -1 and errno (ENODATA
    /// where it has none of that name).
    int removeAttribute(int fd, const char* name);
    /// The value of one extended attribute; -1 and errno.
    int getAttribute(int fd, const char* name, std::string& value);
    /// Gives the file one extended attribute; -1 and errno.
    int setAttribute(int fd, const char* name, const std::string& value);
    /// Copies the access control list of `from` onto `to` where the system
    /// keeps it apart from the extended attributes (macOS, with fcopyfile);
    /// elsewhere does nothing and returns 0.
    int copyAccessList(int from, int to);
    /// The longest name, in bytes, that the file system of `folder` holds
    /// (pathconf's _PC_NAME_MAX); -1 with errno 0 where there is no limit.
    long nameLimit(const NativeChar* folder);
    /// The names in a folder, "." and ".." left out; -1 and errno on failure.
    int listFolder(const NativeChar* path, std::vector<NativeString>& names);
    /// The canonical absolute path, or an empty string and errno.
    NativeString realpath(const NativeChar* path);
    /// Creates a file in `folder` that has no name until linkUnnamed() gives
    /// it one, so that nothing is left behind if the process dies (Linux's
    /// O_TMPFILE), open for writing; -1 and errno (EOPNOTSUPP where the
    /// system or the file system cannot).
    int openUnnamed(const NativeChar* folder, std::uint32_t mode);
    /// Gives the file that openUnnamed() made the name `newPath`, never
    /// replacing an entry that has it (EEXIST); -1 and errno.
    int linkUnnamed(int fd, const NativeChar* newPath);
    /// The FileFlag bits of a file or folder (links followed); 0 where the
    /// system keeps no such flags; -1 and errno.
    int fileFlags(const NativeChar* path, std::uint32_t* flags);
    /// The bytes that this process may still write on the file system that
    /// holds `fd`; -1 and errno.
    std::int64_t freeSpace(int fd);
    /// Read leases (Linux's F_SETLEASE, on a file this process owns, opened
    /// read-only and by nobody for writing); -1 and errno (ENOSYS where the
    /// system has none, EAGAIN where another program has the file open for
    /// writing). The system's notice of a broken lease is ignored: Check
    /// tells of it.
    int lease(int fd, LeaseRequest request);
    /// This process's identifier.
    std::uint32_t processId();
    /// The user this process acts as (POSIX's effective user id); kKeepId
    /// where the system has no such number (Windows).
    std::uint32_t userId();
    /// Whether rename() takes only a file that nobody has open, this process
    /// included (Windows' ReplaceFileW), so that a new file is closed first.
    static bool renamesOnlyClosedFiles();
    /// What separates a path's folders: '/', or '\\' on Windows.
    static char pathSeparator();
    /// Whether the error `error` says that no more can be written there:
    /// the disk is full, or the user's share of it (a quota) is used up.
    static bool meansDiskFull(int error);
    /// `path` made absolute against the current folder and cleaned of empty,
    /// "." and ".." elements (on Windows by the system, which also turns "/"
    /// into "\" and names devices "\\.\NUL"); an empty string and errno on
    /// failure.
    static NativeString absolutePath(const NativeChar* path);
    /// The program's arguments, argv[0] left out, as the system spells them:
    /// a name need not be valid text, and must reach the system calls spelt
    /// as it came (on Windows the UTF-16 command line, never argv in the ANSI
    /// code page). On Windows it also makes the console show UTF-8.
    static std::vector<NativeString> commandLineArguments(int argc, char* argv[]);
    /// Whether the process `id` is running on this machine: 1 or 0; -1 and
    /// errno when the system cannot tell.
    int processRuns(std::uint32_t id);

    /// The instance that the program's file operations use.
    static SystemCalls& current();
    /// Makes `calls` the current instance (nullptr restores the real one) and
    /// returns the one it replaces. The caller keeps ownership.
    static SystemCalls* install(SystemCalls* calls);

protected:
    /// Consulted before each call: a non-zero errno value makes the call fail
    /// with it instead of reaching the system.
    virtual int injectedError(Call call);
    /// Consulted before each write: how many of `requested` bytes it may take.
    virtual std::size_t writeLimit(std::size_t requested);

private:
    /// Sets errno and returns true when an error is injected for `call`.
    bool fails(Call call);
};

} // namespace quillmend::platform
