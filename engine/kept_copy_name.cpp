#include "engine/kept_copy_name.h"

namespace quillmend::engine {

QString KeptCopyName(const QString& name, bool anyFile, int attempt)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    const QString number = attempt > 1 ? QStringLiteral(" %1").arg(attempt) : QString();
    if (!anyFile)
        return base + QStringLiteral(" (Original") + number + QStringLiteral(").") + extension;
    if (dot >= 0)
        return QString();
    return base + number + QLatin1Char('.');
}

} // namespace quillmend::engine
