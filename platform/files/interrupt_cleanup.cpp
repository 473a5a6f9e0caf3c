// InterruptCleanup: held names, removed as an interrupt ends the program.
#include "platform/files/interrupt_cleanup.h"

#include "platform/files/file_error.h"
#include "platform/system/interrupts.h"

#include <atomic>
#include <cstring>

namespace quillmend::platform {

namespace {

// A signal may come on any thread at any moment, so the names live in fixed
// storage that is never freed, and a slot's state says when its name is
// whole. A repair holds at most four names at once (its new content, a
// copy of the original on its way, the kept copy's name, the note of it).
constexpr int kSlots = 6;
// The longest path that any of the systems names (Windows' long form).
constexpr qsizetype kLongestPath = 32768;

enum SlotState : int { kFree, kFilling, kHeld };

struct Slot {
    std::atomic<int> state{kFree};
    NativeChar path[kLongestPath];
};

Slot heldNames[kSlots];

// One word, so that an interrupt and the end of a deferral never miss each
// other: how many deferrals live (low bits), the signal that waits for them
// (high bits), or kEnding once an interrupt has taken the names.
constexpr unsigned kDepthMask = 0xFFFF;
constexpr unsigned kSignalShift = 16;
constexpr unsigned kEnding = ~0u;
std::atomic<unsigned> gate{0};

bool interruptArrived(int signal) noexcept
{
    unsigned state = gate.load();
    for (;;) {
        if (state == kEnding)
            return true;
        if ((state & kDepthMask) == 0) {
            if (!gate.compare_exchange_weak(state, kEnding))
                continue;
            for (Slot& slot : heldNames) {
                if (slot.state.load() == kHeld)
                    RemoveNameNow(slot.path);
            }
            return true;
        }
        const unsigned waiting = (state & kDepthMask) | (unsigned(signal) << kSignalShift);
        if (gate.compare_exchange_weak(state, waiting))
            return false;
    }
}

} // namespace

int InterruptCleanup::add(const NativeName& path)
{
    if (path.size() >= kLongestPath)
        return -1;
    InstallInterruptHandler(interruptArrived);
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

InterruptCleanup::Deferral::Deferral(const NativeName& path)
{
    // The names held inside may be the first.
    InstallInterruptHandler(interruptArrived);
    unsigned state = gate.load();
    do {
        if (state == kEnding)
            throw FileError(path, QStringLiteral("the repair was interrupted"));
    } while (!gate.compare_exchange_weak(state, state + 1));
}

int InterruptCleanup::takeWaiting() noexcept
{
    unsigned state = gate.load();
    while (state != kEnding && (state >> kSignalShift) != 0) {
        if (gate.compare_exchange_weak(state, state & kDepthMask))
            return int(state >> kSignalShift);
    }
    return 0;
}

InterruptCleanup::Deferral::~Deferral()
{
    unsigned state = gate.load();
    unsigned next = 0;
    do {
        // The last one out takes the waiting signal with it.
        next = (state & kDepthMask) == 1 ? 0 : state - 1;
    } while (!gate.compare_exchange_weak(state, next));
    if (next == 0 && (state >> kSignalShift) != 0)
        DeliverInterrupt(int(state >> kSignalShift));
}

} // namespace quillmend::platform
