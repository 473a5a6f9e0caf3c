#include "platform/files/internal/interrupt_handler.h"

#include <windows.h>

#include <mutex>

namespace quillmend::platform::internal {

namespace {

BOOL WINAPI onConsoleEvent(DWORD)
{
    RemoveHeldNames();
    // Not handled here: the default handler then ends the program.
    return FALSE;
}

} // namespace

void InstallInterruptHandler()
{
    static std::once_flag installed;
    std::call_once(installed, [] { SetConsoleCtrlHandler(onConsoleEvent, TRUE); });
}

void RemoveNameNow(const NativeChar* path) noexcept
{
    DeleteFileW(path);
}

} // namespace quillmend::platform::internal
