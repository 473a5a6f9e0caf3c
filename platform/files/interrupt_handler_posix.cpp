#include "platform/files/internal/interrupt_handler.h"

#include <csignal>
#include <unistd.h>

namespace quillmend::platform::internal {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

void onInterrupt(int signal)
{
    RemoveHeldNames();
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

void InstallInterruptHandler()
{
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

void RemoveNameNow(const NativeChar* path) noexcept
{
    ::unlink(path);
}

} // namespace quillmend::platform::internal
