// Where a request shows its progress and outcome: the window or the tool.
#pragma once

#include <QString>

namespace quillmend::engine {

/// Where a repair request tells the user what happens: the status line, and
/// messages that the user must acknowledge. The main window is one, the
/// command-line tool prints to one.
class RequestSink {
public:
    virtual ~RequestSink() = default;
    /// Replaces the whole text of the status line.
    virtual void SetStatusText(const QString& text) = 0;
    /// Repaints the status line at once, erasing its background first; returns
    /// when the repaint is done, without waiting for the event loop.
    virtual void RedrawStatusNow() = 0;
    /// Shows `text` in a modal message box; returns once the user has dismissed it.
    virtual void ShowModalMessage(const QString& text) = 0;
};

} // namespace quillmend::engine
