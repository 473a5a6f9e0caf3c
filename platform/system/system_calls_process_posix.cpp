// The process and its peers: who runs, as whom, with which arguments, on Linux and macOS.
#include "platform/system/internal/system_backend.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace quillmend::platform {

std::uint32_t internal::backend::processId()
{
    return std::uint32_t(::getpid());
}

std::uint32_t internal::backend::userId()
{
    return std::uint32_t(::geteuid());
}

bool internal::backend::renamesOnlyClosedFiles()
{
    return false;
}

std::vector<NativeString> internal::backend::commandLineArguments(int argc, char* argv[])
{
    std::vector<NativeString> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

int internal::backend::processRuns(std::uint32_t id)
{
    if (::kill(pid_t(id), 0) == 0 || errno == EPERM)
        return 1;
    return errno == ESRCH ? 0 : -1;
}

} // namespace quillmend::platform
