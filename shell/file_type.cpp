// FileType: a file type the program opens, as desktops register it.
#include "shell/file_type.h"

#include "quillmend/version.h"

#include <QHash>

namespace quillmend::shell {

namespace {

QHash<QString, const FileType*>& registry()
{
    static QHash<QString, const FileType*> types;
    return types;
}

} // namespace

QString FileType::toString() const
{
    registry().insert(Name, this);
    return Name;
}

const FileType* FileType::registered(const QString& name)
{
    return registry().value(name, nullptr);
}

QString FileType::extensionForMatching() const
{
    if (!Extensions.isEmpty())
        return Extensions;
    if (UTI == QLatin1String(kXmlTypeUti))
        return QString::fromLatin1(kXmlTypeExtension);
    return QString();
}

bool FileType::matchesFileName(const QString& fileName) const
{
    const QString extension = extensionForMatching();
    return !extension.isEmpty() && fileName.endsWith(QLatin1Char('.') + extension, Qt::CaseInsensitive);
}

QString FileType::nameFilter() const
{
    // Some desktops' dialogs (GTK's) match patterns case-sensitively, where
    // a drop of the same file is taken: the second pattern spells each
    // letter of the extension in either case.
    const QString extension = extensionForMatching();
    QString anyCase;
    for (const QChar c : extension) {
        if (c.toLower() == c.toUpper())
            anyCase += c;
        else
            anyCase += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    }
    return QStringLiteral("%1 (*.%2 *.%3)").arg(Name, extension, anyCase);
}

} // namespace quillmend::shell
