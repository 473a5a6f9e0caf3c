// YieldPacer: yields let through by the clock.
#include "engine/yield_pacer.h"

#include <utility>

namespace quillmend::engine {

YieldPacer::YieldPacer(YieldCallback yield, Clock clock)
    : m_yield(std::move(yield))
    , m_clock(std::move(clock))
{
}

void YieldPacer::checkpoint()
{
    const std::chrono::steady_clock::time_point now = m_clock();
    if (m_started && now - m_last < kInterval)
        return;
    m_started = true;
    m_yield();
    // From the end of the work done there, so that a slow repaint does not
    // eat into the repair's own time.
    m_last = m_clock();
}

} // namespace quillmend::engine
