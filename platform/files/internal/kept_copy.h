// The former content of a file, kept under a name of its own.
#pragma once

#include "platform/files/file_error.h"
#include "platform/files/file_ref.h"
#include "platform/files/native_name.h"
#include "platform/files/temporary_file.h"

#include <functional>

namespace quillmend::platform::internal {

class ChangeWatch;

/// The former content of a file about to be replaced, kept under a name of
/// its own that no entry had: a hard link to the file where the file system
/// has them, otherwise a complete, flushed copy that takes the name in one
/// step, so that no crash leaves a partial copy under it. Where no rename
/// can refuse to replace (FAT and exFAT through FUSE), the name is first
/// claimed by creating it, holding a short record of the claim, so that no
/// other program's file under it is ever renamed over; a record that a
/// killed repair left is taken back by the next (isStaleClaim). Until keep(),
/// an interrupt removes the name (InterruptCleanup): the file is then as it
/// was, with nothing beside it. What a kill leaves under the name (a copy,
/// or a claim caught before its record) stays: nothing proves it ours.
///
///     KeptCopy kept(file, watch);
///     kept.make([](int attempt) { return nameFor(attempt); });
///     ...                            // replace the file, then at once
///     kept.keep();                   // or, where it was only for the meantime,
///     kept.removeName();
class KeptCopy {
public:
    /// Gives the kept copy's name for attempt 1, 2, ...
    using Namer = std::function<NativeName(int attempt)>;
    /// How many names are tried before giving up.
    static constexpr int kMaxNames = 1000;
    /// The failure of `file`, all of whose names for a kept copy, as many as
    /// are tried, are taken.
    static FileError namesTaken(const NativeName& file);
    /// The first name that `name` gives that no entry holds (or only the
    /// claim of a repair that ended): the one that make() takes if nothing
    /// changes in the folder meanwhile. Throws FileError: namesTaken(), or
    /// the namer's own.
    static NativeName freeName(const FileRef& file, const Namer& name);

    /// `watch` sees that what is kept is the file as it was read; it must
    /// outlive the kept copy.
    KeptCopy(FileRef file, const ChangeWatch& watch);
    ~KeptCopy();
    KeptCopy(const KeptCopy&) = delete;
    KeptCopy& operator=(const KeptCopy&) = delete;

    /// Called after each MiB of a copy, so that a window can be drawn.
    void setProgress(std::function<void()> progress) { m_progress = std::move(progress); }

    /// Keeps the file under the first free name that `name` gives for
    /// attempt 1, 2, ...; a taken name is never replaced. Throws FileError,
    /// namesTaken() where every name is taken.
    void make(const Namer& name);
    /// The kept copy's path; empty while there is none.
    const NativeName& path() const { return m_path; }
    /// Whether the kept copy was written out from the file's bytes, which
    /// the watch then saw to be those the repair read
    /// (ChangeWatch::checkDigest): the file need not be read again.
    bool copiedContent() const { return m_copiedContent; }

    /// Whether the kept copy is another name of the file itself (a hard
    /// link), so that whatever is written to the file meanwhile is in it.
    bool isLinkToOriginal() const { return m_linked && !m_path.isEmpty(); }

    /// Whether `kept` holds nothing but the record of a claim on its name
    /// whose maker has ended: the name is then as good as free.
    static bool isStaleClaim(const FileRef& kept);

    /// The kept copy is the user's from here: an interrupt leaves it. Call
    /// inside the InterruptCleanup::Deferral of the step that makes it so.
    void keep() noexcept;
    /// Removes the kept copy's name. True where it is gone.
    bool removeName() noexcept;
    /// Puts the kept copy back under the file's name, replacing what is
    /// there. True where it is back.
    bool restore() noexcept;
    /// Removes whatever was made: the kept name, a copy on its way to it.
    void discard() noexcept;

private:
    /// How one way of making the kept copy fared with one name.
    enum class Attempt { Made, NameTaken, Unsupported };

    Attempt link(const FileRef& kept);
    Attempt moveCopy(const FileRef& kept);
    Attempt moveCopyToFreeName(const FileRef& kept);
    Attempt copyTakes(const FileRef& kept);
    void makeCompleteCopy();
    /// The kept copy has the name `path`, which an interrupt removes.
    void holdName(const NativeName& path);

    FileRef m_file;
    FileRef m_folder;
    const ChangeWatch& m_watch;
    TemporaryFile m_copy; // where there are no hard links, until it takes its name
    NativeName m_path;
    int m_interruptTicket = -1;
    bool m_copiedContent = false;
    bool m_linked = false;
    std::function<void()> m_progress;
};

} // namespace quillmend::platform::internal
