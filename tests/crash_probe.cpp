// Runs one repair and kills itself, as a crash or a power cut would end it,
// at its N-th system call. tests/crash_safety.sh looks at what is left.
//
//   quillmend-crash-probe N FILE [--any-file] [--no-hard-links] [--no-rename-without-replacing]
//
// Prints the result code when the repair ends before the N-th call.
#include "engine/repair_pass.h"
#include "platform/system/tests/fault_injector.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace {

// Ends the process at once, as a crash does: no destructor runs, nothing is
// flushed; the system closes its files.
[[noreturn]] void killNow()
{
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 137);
#else
    ::kill(::getpid(), SIGKILL);
#endif
    std::abort();
}

// The faults of a file system without hard links or a rename that refuses
// to replace (FAT and exFAT, which have no nameless files or extended
// attributes either), and the end of the process before call number `killAt`.
class KillingCalls : public quillmend::tests::FaultInjector {
public:
    KillingCalls(int killAt, bool noHardLinks, bool noRenameWithoutReplacing)
        : m_killAt(killAt)
    {
        if (noHardLinks)
            failAlways(Call::Link, EPERM);
        if (noRenameWithoutReplacing) {
            failAlways(Call::OpenUnnamed, EOPNOTSUPP);
            failAlways(Call::RenameNoReplace, ENOSYS);
            for (const Call call :
                 {Call::ListAttributes, Call::GetAttribute, Call::SetAttribute, Call::RemoveAttribute})
                failAlways(call, ENOTSUP);
        }
    }

protected:
    int injectedError(Call call) override
    {
        if (callsMade() + 1 == m_killAt)
            killNow();
        return FaultInjector::injectedError(call);
    }

private:
    int m_killAt;
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: quillmend-crash-probe N FILE [--any-file] [--no-hard-links] [--no-rename-without-replacing]\n");
        return 64;
    }
    bool anyFile = false;
    bool noHardLinks = false;
    bool noRenameWithoutReplacing = false;
    for (int i = 3; i < argc; ++i) {
        anyFile = anyFile || std::strcmp(argv[i], "--any-file") == 0;
        noHardLinks = noHardLinks || std::strcmp(argv[i], "--no-hard-links") == 0;
        noRenameWithoutReplacing
            = noRenameWithoutReplacing || std::strcmp(argv[i], "--no-rename-without-replacing") == 0;
    }
    const KillingCalls calls(std::atoi(argv[1]), noHardLinks, noRenameWithoutReplacing);
    const auto code
        = quillmend::engine::FNProcessTheFile(quillmend::platform::FileRef(QFile::decodeName(argv[2])), anyFile, true);
    std::printf("%lld\n", static_cast<long long>(code));
    return 0;
}
