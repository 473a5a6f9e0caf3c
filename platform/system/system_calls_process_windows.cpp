// The process and its peers: who runs, as whom, with which arguments, on Windows. Paths are UTF-16 throughout (the ...W
// calls), never the ANSI code page; a descriptor is the C runtime's number for a Windows handle, so that the rest of
// the platform layer keeps one shape on every desktop.
#include "platform/system/internal/system_backend.h"
#include "platform/system/internal/windows_support.h"

#include <windows.h>

#include <shellapi.h>

#include <cerrno>

namespace quillmend::platform {

using namespace internal::windows;

std::uint32_t internal::backend::processId()
{
    return std::uint32_t(GetCurrentProcessId());
}

std::uint32_t internal::backend::userId()
{
    return kKeepId;
}

bool internal::backend::renamesOnlyClosedFiles()
{
    return true;
}

std::vector<NativeString> internal::backend::commandLineArguments(int, char*[])
{
    SetConsoleOutputCP(CP_UTF8);
    std::vector<NativeString> arguments;
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.emplace_back(wide[i]);
        LocalFree(wide);
    }
    return arguments;
}

int internal::backend::processRuns(std::uint32_t id)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
    if (!process) {
        const DWORD error = GetLastError();
        // No such process, or one that is not ours to look at.
        if (error == ERROR_INVALID_PARAMETER)
            return 0;
        return error == ERROR_ACCESS_DENIED ? 1 : failWith(error);
    }
    // A process that has ended stays until its last handle is closed.
    const DWORD state = WaitForSingleObject(process, 0);
    CloseHandle(process);
    return state == WAIT_TIMEOUT ? 1 : 0;
}

} // namespace quillmend::platform
