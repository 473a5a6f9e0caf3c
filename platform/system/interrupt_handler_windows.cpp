// Interrupts on Windows: the console's control handler.
#include "platform/system/interrupts.h"

#include <windows.h>

#include <mutex>

namespace quillmend::platform {

namespace {

InterruptArrivedFunction interruptArrived = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    // Windows calls this on a thread of its own, which may wait while a step
    // that must not be cut (the rename that makes the kept copy the user's)
    // ends; the program ends when this returns.
    while (!interruptArrived(int(event) + 1))
        Sleep(1);
    // Not handled here: the default handler then ends the program.
    return FALSE;
}

} // namespace

void InstallInterruptHandler(InterruptArrivedFunction arrived)
{
    interruptArrived = arrived;
    static std::once_flag installed;
    std::call_once(installed, [] { SetConsoleCtrlHandler(onConsoleEvent, TRUE); });
}

void DeliverInterrupt(int) noexcept {}

void RemoveNameNow(const NativeChar* path) noexcept
{
    DeleteFileW(path);
}

} // namespace quillmend::platform
