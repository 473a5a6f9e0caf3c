// The plain reason of a failed repair, for the user.
#pragma once

#include <QString>

#include <exception>

namespace quillmend::engine {

/// Why a repair or a survey failed, in plain words, whatever was thrown: a
/// file operation's reason ("the disk is full"), another exception's own
/// message, or "an unexpected failure".
///
///     try { ... } catch (...) { report(FailureReason(std::current_exception())); }
QString FailureReason(const std::exception_ptr& failure);

} // namespace quillmend::engine
