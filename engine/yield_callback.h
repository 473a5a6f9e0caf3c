// The call a long repair makes now and then, so that a window can be drawn.
#pragma once

#include <functional>

namespace quillmend::engine {

/// Lets the caller do pending background work while a repair runs. A repair
/// calls it after each step of its work on each slice of the file (reading,
/// decoding, repairing, writing) and while it copies the original, so at
/// least once per few MiB whatever the file's encoding; only the final flush
/// to disk runs without it. The caller decides by the clock how often to
/// act on it (YieldPacer).
using YieldCallback = std::function<void()>;

} // namespace quillmend::engine
