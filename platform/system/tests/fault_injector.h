#pragma once

#include "platform/system/system_calls.h"

#include <QMap>

#include <functional>

namespace quillmend::tests {

/// Installs itself as the program's system calls while it lives, counts every
/// call, and makes one of them fail: the N-th call overall, or the N-th call
/// of one kind. It can also make writes short.
class FaultInjector : public platform::SystemCalls {
public:
    FaultInjector();
    ~FaultInjector() override;

    /// Fails call number `n` (counted from 1) with `error`.
    void failAt(int n, int error);
    /// Makes every call of kind `call` fail with `error`.
    void failAlways(Call call, int error) { m_always.insert(call, error); }
    /// Makes the first `times` calls of kind `call` fail with `error`.
    void failFirst(Call call, int times, int error) { m_first.insert(call, {times, error}); }
    /// Runs `action` once, just before the next call of kind `call`: a
    /// second actor (another program's save, a signal) at that moment.
    /// The action may name the next such moment in turn.
    void runBefore(Call call, std::function<void()> action) { m_before.insert(call, std::move(action)); }
    /// Lets each write take at most `bytes` bytes.
    void limitWrites(std::size_t bytes) { m_writeLimit = bytes; }

    bool fired() const { return m_fired; }
    /// How many calls have been made, of every kind.
    int callsMade() const { return m_calls; }
    /// How many calls of kind `call` have been made.
    int calls(Call call) const { return m_counts.value(call, 0); }

protected:
    int injectedError(Call call) override;
    std::size_t writeLimit(std::size_t requested) override;

private:
    platform::SystemCalls* m_previous;
    int m_calls = 0;
    int m_failAt = 0;
    int m_error = 0;
    bool m_fired = false;
    std::size_t m_writeLimit = 0;
    QMap<Call, int> m_always;
    QMap<Call, QPair<int, int>> m_first; // how many more, errno
    QMap<Call, int> m_counts;
    QMap<Call, std::function<void()>> m_before;
};

} // namespace quillmend::tests
