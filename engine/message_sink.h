#pragma once

#include <QString>

namespace quillmend::engine {

/// Where a repair request shows a message that the user must acknowledge.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    /// Shows `text` in a modal message box; returns once the user has dismissed it.
    virtual void ShowModalMessage(const QString& text) = 0;
};

} // namespace quillmend::engine
