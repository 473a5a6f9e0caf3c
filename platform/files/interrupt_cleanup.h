// The names a repair made, which Ctrl-C and its kind remove.
#pragma once

#include "platform/files/native_name.h"

#include <memory>

namespace quillmend::platform {

/// Names that must not outlive an interrupted program: every name a repair
/// makes (its hidden temporary files, the kept copy until the repaired file
/// has its name, the copy that waits meanwhile) when Ctrl-C, SIGTERM, SIGHUP
/// or SIGQUIT (on Windows, a console closed or Ctrl-C) ends it half-way.
/// Where the program would end at such a signal, each name held here is
/// removed first; a signal that the program was told to ignore stays
/// ignored, and one that the program handles itself is still handled so,
/// after the names are gone. SIGPIPE, which would end the program without
/// a word, is ignored: a failed write is told as such. The first add() sets
/// the handling up.
///
///     const int ticket = InterruptCleanup::add(path);
///     ...                                  // write the file
///     InterruptCleanup::remove(ticket);    // just before it takes its name
///
/// A step after which a held name must stay (the rename that makes the kept
/// copy the user's) runs while interrupts wait:
///
///     InterruptCleanup::Deferral deferral(path);   // throws where one is ending the program
///     rename(...);
///     InterruptCleanup::remove(keptTicket);
///                                            // the interrupt comes here
namespace InterruptCleanup {

/// Holds `path` until remove(); returns the ticket for that, or -1 where no
/// more names can be held or the path is too long to be held (that name then
/// stays after an interrupt, as after a crash).
int add(const NativeName& path);
/// Lets go of the name that `ticket` holds; -1 does nothing.
void remove(int ticket) noexcept;

/// While one lives, an interrupt waits, and comes as it ends, removing the
/// names held then. On the repair's thread; they may nest.
class Deferral {
public:
    /// Throws FileError, naming `path`, where an interrupt is already
    /// removing the held names: the program is ending, and no step may
    /// start that needs them.
    explicit Deferral(const NativeName& path);
    ~Deferral();
    Deferral(const Deferral&) = delete;
    Deferral& operator=(const Deferral&) = delete;
};

/// Takes the interrupt that waits for the deferrals to end, if one does, so
/// that none comes as they end; returns its number, or 0. For a program that
/// ends by itself once it has told what was done meanwhile.
int takeWaiting() noexcept;

/// A deferral that lasts until nobody holds it: from the moment a repaired
/// file has its name until the outcome is told, since a program that ended
/// then would leave a repair done but untold. Make it inside a Deferral.
using UntilTold = std::shared_ptr<Deferral>;

} // namespace InterruptCleanup

} // namespace quillmend::platform
