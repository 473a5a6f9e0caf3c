#include "engine/kept_copy_name.h"

#include "platform/files/file_error.h"

namespace quillmend::engine {

using platform::NativeName;

NativeName KeptCopyName(const NativeName& name, bool anyFile, int attempt)
{
    const qsizetype dot = name.lastIndexOf('.');
    const NativeName base = dot < 0 ? name : name.left(dot);
    const NativeName extension = dot < 0 ? NativeName() : name.mid(dot + 1);
    const NativeName number
        = attempt > 1 ? NativeName::fromAscii(QByteArray(" " + QByteArray::number(attempt)).constData()) : NativeName();
    if (!anyFile)
        return base + NativeName::fromAscii(" (Original") + number + NativeName::fromAscii(").") + extension;
    if (dot >= 0)
        return NativeName();
    return base + number + NativeName::fromAscii(".");
}

platform::FileReplacer::KeptCopyNamer KeptCopyNamerFor(const platform::FileRef& target, bool anyFile)
{
    const NativeName name = target.name();
    if (KeptCopyName(name, anyFile, 1).isEmpty())
        return {};
    const platform::FileRef folder = target.parent();
    const qsizetype limit = folder.maxNameLength();
    // Where the folder drops a final ".", the first name of a file without an
    // extension would be the file's own: the numbering then starts at 2, so
    // that the report and the repair name the same copy without trying it.
    const int skipped = KeptCopyName(name, anyFile, 1).storedSpelling() == name ? 1 : 0;
    return [name, anyFile, folder, limit, skipped](int attempt) {
        const NativeName kept = KeptCopyName(name, anyFile, attempt + skipped).storedSpelling();
        if (kept.size() > limit)
            throw platform::FileError(folder.child(kept).path(),
                                      QStringLiteral("the name for a copy of the original would be too long"));
        return kept;
    };
}

platform::FileReplacer::KeptCopyNamer InterimCopyNamerFor(const platform::FileRef& target, bool anyFile)
{
    if (!anyFile || !KeptCopyName(target.name(), true, 1).isEmpty()
        || KeptCopyName(target.name(), false, 1).size() > target.parent().maxNameLength())
        return {};
    return KeptCopyNamerFor(target, false);
}

} // namespace quillmend::engine
