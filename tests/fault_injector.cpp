#include "fault_injector.h"

#include <algorithm>

namespace quillmend::tests {

FaultInjector::FaultInjector()
    : m_previous(platform::SystemCalls::install(this))
{
}

FaultInjector::~FaultInjector()
{
    platform::SystemCalls::install(m_previous);
}

void FaultInjector::failAt(int n, int error, std::optional<Call> only)
{
    m_failAt = n;
    m_error = error;
    m_only = only;
}

int FaultInjector::injectedError(Call call)
{
    ++m_calls;
    m_log << call;
    if (!m_only || *m_only == call) {
        ++m_callsOfKind;
        if (m_failAt > 0 && m_callsOfKind == m_failAt) {
            m_fired = true;
            return m_error;
        }
    }
    return m_always.value(call, 0);
}

std::size_t FaultInjector::writeLimit(std::size_t requested)
{
    return m_writeLimit ? std::min(requested, m_writeLimit) : requested;
}

} // namespace quillmend::tests
