#include "platform/system_calls.h"

#include <cerrno>

namespace quillmend::platform {

namespace {

SystemCalls& realCalls()
{
    static SystemCalls calls;
    return calls;
}

SystemCalls* installed = nullptr;

} // namespace

SystemCalls& SystemCalls::current()
{
    return installed ? *installed : realCalls();
}

SystemCalls* SystemCalls::install(SystemCalls* calls)
{
    SystemCalls* previous = installed;
    installed = calls;
    return previous;
}

int SystemCalls::close(int fd)
{
    // A failing close has still freed the descriptor, so an injected failure
    // closes it too.
    const int injected = injectedError(Call::Close);
    const int result = closeDescriptor(fd);
    if (injected) {
        errno = injected;
        return -1;
    }
    return result;
}

int SystemCalls::injectedError(Call)
{
    return 0;
}

std::size_t SystemCalls::writeLimit(std::size_t requested)
{
    return requested;
}

bool SystemCalls::fails(Call call)
{
    const int injected = injectedError(call);
    if (injected)
        errno = injected;
    return injected != 0;
}

} // namespace quillmend::platform
