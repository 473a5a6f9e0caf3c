#pragma once

#include <QString>

namespace quillmend::engine {

/// The status line through which a repair request tells the user what happens.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    /// Replaces the whole text of the status line.
    virtual void SetStatusText(const QString& text) = 0;
    /// Repaints the status line at once, erasing its background first; returns
    /// when the repaint is done, without waiting for the event loop.
    virtual void RedrawStatusNow() = 0;
};

} // namespace quillmend::engine
