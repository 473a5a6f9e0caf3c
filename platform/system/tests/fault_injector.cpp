#include "platform/system/tests/fault_injector.h"

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

void FaultInjector::failAt(int n, int error)
{
    m_failAt = n;
    m_error = error;
}

int FaultInjector::injectedError(Call call)
{
    ++m_counts[call];
    if (const auto before = m_before.find(call); before != m_before.end()) {
        const std::function<void()> action = before.value();
        m_before.erase(before);
        action();
    }
    if (++m_calls == m_failAt) {
        m_fired = true;
        return m_error;
    }
    const auto first = m_first.find(call);
    if (first != m_first.end() && first->first > 0) {
        --first->first;
        return first->second;
    }
    return m_always.value(call, 0);
}

std::size_t FaultInjector::writeLimit(std::size_t requested)
{
    return m_writeLimit ? std::min(requested, m_writeLimit) : requested;
}

} // namespace quillmend::tests
