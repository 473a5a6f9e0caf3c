#include "platform/files/interrupt_cleanup.h"

#include "platform/files/internal/interrupt_handler.h"

#include <atomic>
#include <cstring>

namespace quillmend::platform {

namespace {

// A signal may come on any thread at any moment, so the names live in fixed
// storage that is never freed, and a slot's state says when its name is
// whole. A repair holds at most two names at once (its new content and a
// copy of the original).
constexpr int kSlots = 4;
// The longest path that any of the systems names (Windows' long form).
constexpr qsizetype kLongestPath = 32768;

enum SlotState : int { kFree, kFilling, kHeld };

struct Slot {
    std::atomic<int> state{kFree};
    NativeChar path[kLongestPath];
};

Slot heldNames[kSlots];

} // namespace

namespace internal {

void RemoveHeldNames() noexcept
{
    for (Slot& slot : heldNames) {
        if (slot.state.load() == kHeld)
            RemoveNameNow(slot.path);
    }
}

} // namespace internal

int InterruptCleanup::add(const NativeName& path)
{
    if (path.size() >= kLongestPath)
        return -1;
    internal::InstallInterruptHandler();
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!heldNames[i].state.compare_exchange_strong(expected, kFilling))
            continue;
        std::memcpy(heldNames[i].path, path.system(), std::size_t(path.size() + 1) * sizeof(NativeChar));
        heldNames[i].state.store(kHeld);
        return i;
    }
    return -1;
}

void InterruptCleanup::remove(int ticket) noexcept
{
    if (ticket >= 0 && ticket < kSlots)
        heldNames[ticket].state.store(kFree);
}

} // namespace quillmend::platform
