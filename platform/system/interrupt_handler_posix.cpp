// Interrupts on Linux and macOS: signal handlers.
#include "platform/system/interrupts.h"

#include <csignal>
#include <unistd.h>

namespace quillmend::platform {

namespace {

InterruptArrivedFunction interruptArrived = nullptr;

// SIGQUIT (Ctrl-\) ends a program as SIGTERM does, with a core dump besides.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

void onInterrupt(int signal)
{
    // A step that must not be cut (the rename that makes the kept copy the
    // user's) is under way: the signal comes again as it ends.
    if (!interruptArrived(signal))
        return;
    // Then what the signal would have done without this handler: the end
    // it brings, so that whoever sent it sees the program killed by it, or
    // the handler that was there before (a test harness's report, say). It
    // comes as soon as this handler returns.
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        if (kSignals[i] == signal)
            ::sigaction(signal, &previous[i], nullptr);
    }
    ::raise(signal);
}

} // namespace

void InstallInterruptHandler(InterruptArrivedFunction arrived)
{
    interruptArrived = arrived;
    // A reader that goes away (quillmend-cli | head) would otherwise end the
    // program mid-repair without a word; the failed write is told instead.
    struct sigaction pipe {};
    if (::sigaction(SIGPIPE, nullptr, &pipe) == 0 && !(pipe.sa_flags & SA_SIGINFO) && pipe.sa_handler == SIG_DFL)
        ::signal(SIGPIPE, SIG_IGN);
    // Asked again each time, so that a handler that the program set since
    // comes after this one rather than instead of it.
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        struct sigaction current {};
        // A signal the program was told to ignore (nohup) stays ignored.
        if (::sigaction(kSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN
            || (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == onInterrupt))
            continue;
        previous[i] = current;
        struct sigaction handler {};
        handler.sa_handler = onInterrupt;
        sigemptyset(&handler.sa_mask);
        ::sigaction(kSignals[i], &handler, nullptr);
    }
}

void DeliverInterrupt(int signal) noexcept
{
    ::raise(signal);
}

void RemoveNameNow(const NativeChar* path) noexcept
{
    ::unlink(path);
}

} // namespace quillmend::platform
