// The note of a name a repair is about to take, for the next repair after a kill.
#pragma once

#include "platform/files/file_identity.h"
#include "platform/files/file_ref.h"
#include "platform/files/native_name.h"
#include "platform/files/temporary_file.h"

#include <QByteArray>

#include <cstdint>

namespace quillmend::platform::internal {

/// A hidden note, beside a file being repaired, of a name that the repair is
/// about to give to the file's former content: the name is first claimed
/// (an empty file, where no rename refuses to replace) and then holds a
/// complete copy. The note is a temporary file (TemporaryFile), written
/// before the name is taken and removed once the name is the user's or gone.
/// Where the repair is killed meanwhile, the next repair in the folder finds
/// the note among the leftovers it has proven its own
/// (TemporaryFile::removeStrays) and settle() removes, with it, what the
/// name holds where that is still only the claim or, for a copy that was to
/// stand in for the original only meanwhile, the original itself (a link to
/// it) or its very bytes, beside the file's own name. Anything else under
/// the name stays.
///
///     LeftoverNote note;
///     note.write(file, copyName, identity, digest, true);   // before the name is taken
///     ...                                               // the copy takes the name, and goes
///     note.remove();
class LeftoverNote {
public:
    /// Writes the note, replacing this one's earlier note: `copyName` (in
    /// `file`'s folder) is to hold `file` as it was read (`original`), or a
    /// copy of its bytes, whose digest is `digest` (FileReader::contentDigest;
    /// empty where unknown), kept only `meantime`, or for the user. Throws
    /// FileError.
    void write(const FileRef& file, const NativeName& copyName, const FileIdentity& original, const QByteArray& digest,
               bool meantime);
    /// Removes the note, where it names nothing that is still to go.
    void remove() noexcept { m_note.discard(); }

    /// Where the leftover open as `fd` in `folder` is a note, removes what
    /// its name still holds of the repair (see above); does nothing
    /// otherwise. The caller then removes the leftover itself. Failures
    /// leave everything where it is.
    static void settle(const FileRef& folder, int fd) noexcept;

private:
    TemporaryFile m_note;
};

} // namespace quillmend::platform::internal
