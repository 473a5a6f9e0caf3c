#pragma once

#include "platform/files/file_ref.h"
#include "platform/files/native_name.h"
#include "platform/files/temporary_file.h"

#include <functional>

namespace quillmend::platform::internal {

class ChangeWatch;

/// The former content of a file about to be replaced, kept under a name of
/// its own that no entry had: a hard link to the file where the file system
/// has them, otherwise a complete, flushed copy that takes the name in one
/// step, so that no crash leaves a partial copy under it.
///
///     KeptCopy kept(file, watch);
///     kept.make([](int attempt) { return nameFor(attempt); });
///     ...                            // replace the file
///     kept.removeName();             // where it was only for the meantime
class KeptCopy {
public:
    /// `watch` sees that what is kept is the file as it was read; it must
    /// outlive the kept copy.
    KeptCopy(FileRef file, const ChangeWatch& watch);

    /// Called after each MiB of a copy, so that a window can be drawn.
    void setProgress(std::function<void()> progress) { m_progress = std::move(progress); }

    /// Keeps the file under the first free name that `name` gives for
    /// attempt 1, 2, ...; a taken name is never replaced. Throws FileError,
    /// FileReplacer::keptNamesTaken where every name is taken.
    void make(const std::function<NativeName(int attempt)>& name);
    /// The kept copy's path; empty while there is none.
    const NativeName& path() const { return m_path; }

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

    FileRef m_file;
    FileRef m_folder;
    const ChangeWatch& m_watch;
    TemporaryFile m_copy; // where there are no hard links, until it takes its name
    NativeName m_path;
    std::function<void()> m_progress;
};

} // namespace quillmend::platform::internal
