// The window's busy state during a repair.
#pragma once

#include <QObject>

namespace quillmend::shell {

/// For as long as it lives: a busy cursor over the program's windows, and
/// every click, key, key sequence (menus and shortcuts, Quit included),
/// wheel turn and drag that the user makes is discarded rather than kept for
/// later, while repaints and timers still run. A repair
/// that lets the event loop run holds one, so that what the user does during
/// it is neither acted on then nor replayed once it is over.
class BusyState : public QObject {
public:
    BusyState();
    ~BusyState() override;

    BusyState(const BusyState&) = delete;
    BusyState& operator=(const BusyState&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace quillmend::shell
