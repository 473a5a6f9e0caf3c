// The system's own calls, one backend a system (system_calls_*_posix.cpp,
// system_calls_*_windows.cpp, four files by kind of call), chosen by the
// build. Only SystemCalls calls them, after it has asked whether a test
// injects a fault: each behaves as the SystemCalls method of its name,
// without that question.
#pragma once

#include "platform/system/system_calls.h"

namespace quillmend::platform::internal::backend {

int open(const NativeChar* path, OpenMode mode, std::uint32_t permissions);
std::ptrdiff_t read(int fd, void* buffer, std::size_t count);
std::ptrdiff_t write(int fd, const void* buffer, std::size_t count);
int close(int fd);
int fstat(int fd, FileStatus* status);
std::int64_t lseek(int fd, std::int64_t offset);
int stat(const NativeChar* path, FileStatus* status);
int lstat(const NativeChar* path, FileStatus* status);
int lock(int fd, LockMode mode);
int listAttributes(int fd, std::vector<std::string>& names);
int getAttribute(int fd, const char* name, std::string& value);
int removeAttribute(int fd, const char* name);
int setAttribute(int fd, const char* name, const std::string& value);
int copyAccessList(int from, int to);
int access(const NativeChar* path);
int fsync(int fd);
int startWriteback(int fd, std::int64_t offset, std::int64_t count);
int fchmod(int fd, std::uint32_t mode);
int fchown(int fd, std::uint32_t owner, std::uint32_t group);
int link(const NativeChar* existing, const NativeChar* newPath);
int rename(const NativeChar* from, const NativeChar* to);
int unlink(const NativeChar* path);
int renameNoReplace(const NativeChar* from, const NativeChar* to);
int exchange(const NativeChar* from, const NativeChar* to);
int openUnnamed(const NativeChar* folder, std::uint32_t mode);
int linkUnnamed(int fd, const NativeChar* newPath);
int fileFlags(const NativeChar* path, std::uint32_t* flags);
std::int64_t freeSpace(int fd);
int lease(int fd, SystemCalls::LeaseRequest request);
std::uint32_t processId();
std::uint32_t userId();
bool renamesOnlyClosedFiles();
char pathSeparator();
bool meansDiskFull(int error);
NativeString absolutePath(const NativeChar* path);
std::vector<NativeString> commandLineArguments(int argc, char* argv[]);
int processRuns(std::uint32_t id);
long nameLimit(const NativeChar* folder);
int listFolder(const NativeChar* path, std::vector<NativeString>& names);
NativeString realpath(const NativeChar* path);

} // namespace quillmend::platform::internal::backend
