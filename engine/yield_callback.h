#pragma once

#include <functional>

namespace quillmend::engine {

/// Lets the caller do pending background work while a repair runs. A repair
/// calls it a fixed, small number of times, however large the file.
using YieldCallback = std::function<void()>;

} // namespace quillmend::engine
