// A new file for content that is not ready yet, never taken for the user's.
#pragma once

#include "platform/files/file_descriptor.h"
#include "platform/files/file_identity.h"
#include "platform/files/file_ref.h"
#include "platform/files/native_name.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace quillmend::platform {

/// A new file beside the file being repaired, for content that is not ready
/// yet: the repaired text, or a copy of the original where there are no hard
/// links. Whatever ends the program, it is never mistaken for the user's file
/// and the user's files are never mistaken for it.
///
/// Where the system can (Linux's O_TMPFILE), the file has no name until it is
/// complete, so that even a crash or SIGKILL leaves nothing behind. Otherwise
/// it has a hidden name ".quillmend-XXXXXXXXXX.tmp" that Ctrl-C, SIGTERM and
/// SIGHUP (on Windows, a closed console) remove before the program ends.
/// Either way its maker holds a lock on it, and it carries a mark that only
/// this program sets (an extended attribute holding its maker's process id),
/// so that removeStrays() can prove a leftover ours. Where the file system
/// holds no such attributes (FAT, exFAT, Windows) nothing proves it, and a
/// leftover stays, told.
///
///     TemporaryFile file = TemporaryFile::create(folder);
///     file.descriptor().writeFully(bytes, size);
///     file.descriptor().sync();
///     if (!file.linkAs(folder.child(keptName)))   // a name no entry has
///         ...                                     // taken: try another
///
/// A file that is dropped before it took a name of its own loses its
/// temporary name, and only that.
class TemporaryFile {
public:
    /// The extended attribute that marks a temporary file as this program's.
    static constexpr const char* kMarkAttribute = "user.quillmend.temporary";
    /// How many random names are drawn before giving up.
    static constexpr int kMaxNameAttempts = 1000;

    TemporaryFile() = default;
    ~TemporaryFile() { discard(); }
    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&& other) noexcept;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    /// Creates an empty file in `folder`, open for writing by its owner
    /// alone. Throws FileError.
    static TemporaryFile create(const FileRef& folder);

    bool isOpen() const { return m_descriptor.isOpen(); }
    /// Whether the file was made without a name (Linux's nameless files,
    /// which only its own file systems offer, all of which replace a name in
    /// one step).
    bool madeNameless() const { return m_madeNameless; }
    FileDescriptor& descriptor() { return m_descriptor; }
    int fd() const { return m_descriptor.get(); }
    /// The file's temporary name; empty while it has none.
    const NativeName& path() const { return m_path; }

    /// Makes sure the file has a temporary name, so that rename() can move
    /// it. Throws FileError.
    void giveName();
    /// Gives a complete file the name `target` and lets it go, never
    /// replacing an entry: false, with nothing changed, where `target` is
    /// taken. Throws FileError; ENOSYS where the file has a name already
    /// and so must be moved.
    bool linkAs(const FileRef& target);
    /// Closes the file, keeping its name and its guard against interrupts
    /// (Windows moves no open file into place). Throws FileError.
    void close();
    /// Tells that the file has been moved under another name (one rename()
    /// of path()): from here on it is the user's, and its mark goes.
    void taken();
    /// Removes the file's temporary name, where it still names this file,
    /// and closes it. Returns false where the name stays.
    bool discard() noexcept;

    /// Marks the file open as `fd` as this process's leftover-to-be, for a
    /// step that moves a user's file under a temporary name before it goes
    /// (a swap of names): should the process die before it is gone,
    /// removeStrays() takes it. Where it fails, the file stays; it is a
    /// name's form and a mark, never the user's own name, that clean-up takes.
    static void markOwn(int fd) noexcept;
    /// Takes that mark off again.
    static void unmarkOwn(int fd) noexcept;
    /// Takes the mark off the file open as `fd` where its maker has ended: a
    /// repair killed as its new file took the user's name left it there.
    static void unmarkIfStale(int fd) noexcept;

    /// Removes a name that this program made (a temporary file, a kept copy
    /// that must not stay); a passing failure is tried once more. True where
    /// the name is gone.
    static bool removeOwnName(const NativeName& path) noexcept;

    /// Whether `name` has the form of a temporary file's name. The form
    /// alone proves nothing: anybody may give a file such a name.
    static bool isTemporaryName(const NativeString& name);

    /// A file of the temporary form that could not be proven a leftover,
    /// because its file system keeps no marks.
    struct Leftover {
        NativeName path;
        std::int64_t size = 0;
    };
    /// Removes the temporary files that repairs ended half-way left in
    /// `folder`: those whose name has the form, that carry this program's
    /// mark, whose maker has ended and that nobody holds. A file that cannot
    /// be proven so stays, and so does `keep` (the file being repaired) under
    /// whatever name; those of the form on a file system that keeps no marks
    /// are returned, to be told, but for those that a repair under way holds
    /// or that its name says it made. Failures are no reason to stop a repair:
    /// they leave the file where it is.
    static std::vector<Leftover> removeStrays(const FileRef& folder, const FileIdentity& keep);

private:
    /// Takes a name of the temporary form for the file open as `fd`, made
    /// without one (`unnamed`) or made here.
    void takeTemporaryName(bool unnamed);
    void forgetName();
    void removeMark() noexcept;

    std::optional<FileRef> m_folder;
    FileDescriptor m_descriptor;
    NativeName m_path;
    int m_interruptTicket = -1;
    bool m_madeNameless = false;
};

} // namespace quillmend::platform
