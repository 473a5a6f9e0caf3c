// The kept copy's name ("name (Original).xml"), the one rule for it.
#pragma once

#include "platform/files/file_ref.h"
#include "platform/files/file_replacer.h"
#include "platform/files/native_name.h"

namespace quillmend::engine {

/// The name under which a repair keeps a file's former content, for attempt
/// 1, 2, ... (a later attempt when the earlier names are taken). The name is
/// cut at its last "." into base and extension; the joints are ASCII, so a
/// name that is not valid UTF-8 keeps its bytes.
///
/// For an export: "base (Original).ext", then "base (Original 2).ext", ...
/// In any-file mode a name without "." gains ".", then " 2.", " 3.", ...;
/// a name with "." keeps no copy, and the result is empty.
platform::NativeName KeptCopyName(const platform::NativeName& name, bool anyFile, int attempt);

/// The kept copy's names for `target` (links resolved) as both the repair and
/// its report take them, spelt as the folder stores them, or an empty namer
/// when none is kept. On Windows, where "notes." would be "notes" itself, the
/// copy of a file without an extension is "notes 2", then "notes 3", ... A
/// name longer than the folder's file system allows throws FileError before
/// anything is tried under it.
platform::FileReplacer::KeptCopyNamer KeptCopyNamerFor(const platform::FileRef& target, bool anyFile);

/// Where `anyFile` keeps no copy, the names under which the former content
/// waits until the new content is on the disk (FileReplacer::commit): those
/// of an export's kept copy, "notes (Original).txt", ..., with the base name
/// cut short where the folder cannot hold the whole. Empty where a copy is
/// kept anyway.
platform::FileReplacer::KeptCopyNamer InterimCopyNamerFor(const platform::FileRef& target, bool anyFile);

} // namespace quillmend::engine
