// KeptCopyName and its namers: the name the original is kept under.
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

namespace {

// The namer for `target`, where names in its folder may be `limit` units
// long. With `shorten`, a name that would be too long is made to fit by
// cutting the file's base name, so that "a very long name (Original).txt"
// becomes "a very lo (Original).txt".
platform::FileReplacer::KeptCopyNamer namerFor(const platform::FileRef& target, bool anyFile, qsizetype limit,
                                               bool shorten = false)
{
    const NativeName name = target.name();
    const platform::FileRef folder = target.parent();
    // Where the folder drops a final ".", the first name of a file without an
    // extension would be the file's own: the numbering then starts at 2, so
    // that the report and the repair name the same copy without trying it.
    const int skipped = KeptCopyName(name, anyFile, 1).storedSpelling() == name ? 1 : 0;
    return [name, anyFile, folder, limit, skipped, shorten](int attempt) {
        NativeName kept = KeptCopyName(name, anyFile, attempt + skipped).storedSpelling();
        const qsizetype dot = name.lastIndexOf('.');
        const qsizetype base = dot < 0 ? name.size() : dot;
        const qsizetype over = kept.size() - limit;
        if (over > 0 && shorten && over < base)
            kept = KeptCopyName(name.leftWhole(base - over) + name.mid(base), anyFile, attempt + skipped)
                       .storedSpelling();
        if (kept.size() > limit)
            throw platform::FileError(folder.child(kept).path(),
                                      QStringLiteral("the name for a copy of the original would be too long"));
        return kept;
    };
}

} // namespace

platform::FileReplacer::KeptCopyNamer KeptCopyNamerFor(const platform::FileRef& target, bool anyFile)
{
    if (KeptCopyName(target.name(), anyFile, 1).isEmpty())
        return {};
    return namerFor(target, anyFile, target.parent().maxNameLength());
}

platform::FileReplacer::KeptCopyNamer InterimCopyNamerFor(const platform::FileRef& target, bool anyFile)
{
    if (!anyFile || !KeptCopyName(target.name(), true, 1).isEmpty())
        return {};
    // The interim copy is a safeguard that only has to be seen: where the
    // export-style name does not fit, a shortened one serves.
    return namerFor(target, false, target.parent().maxNameLength(), true);
}

} // namespace quillmend::engine
