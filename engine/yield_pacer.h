// Lets a repair's yields through at most every so often, so the window is drawn and the repair not slowed.
#pragma once

#include "engine/yield_callback.h"

#include <chrono>
#include <functional>

namespace quillmend::engine {

/// Lets a repair's frequent yields through to the caller's background work
/// only every so often by the clock: the window is drawn at least every
/// tenth of a second of work, and the number of times it runs follows the
/// time the repair takes, not the size of the file.
class YieldPacer {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    /// How long at most between two yields let through, while the repair
    /// yields at least this often itself.
    static constexpr std::chrono::milliseconds kInterval{50};

    explicit YieldPacer(YieldCallback yield, Clock clock = &std::chrono::steady_clock::now);

    /// Runs the background work when this is the first call or kInterval
    /// has passed since it last ran.
    void checkpoint();

private:
    YieldCallback m_yield;
    Clock m_clock;
    bool m_started = false;
    std::chrono::steady_clock::time_point m_last;
};

} // namespace quillmend::engine
