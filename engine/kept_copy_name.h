#pragma once

#include <QString>

namespace quillmend::engine {

/// The name under which a repair keeps a file's former content, for attempt
/// 1, 2, ... (a later attempt when the earlier names are taken). The name is
/// cut at its last "." into base and extension.
///
/// For an export: "base (Original).ext", then "base (Original 2).ext", ...
/// In any-file mode a name without "." gains ".", then " 2.", " 3.", ...;
/// a name with "." keeps no copy, and the result is empty.
QString KeptCopyName(const QString& name, bool anyFile, int attempt);

} // namespace quillmend::engine
