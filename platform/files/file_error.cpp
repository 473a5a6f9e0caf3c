// FileError: a failure with its file and its plain reason.
#include "platform/files/file_error.h"

#include "platform/system/system_calls.h"

#include <cerrno>

namespace quillmend::platform {

namespace {

// The system's reason, in the words of someone who is no programmer where
// it is a common one.
QString plainReason(int errorCode)
{
    if (SystemCalls::meansDiskFull(errorCode))
        return QStringLiteral("the disk is full");
    switch (errorCode) {
    case EROFS:
        return QStringLiteral("the disk is read-only");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission was denied");
    case EIO:
        return QStringLiteral("the disk could not be read or written");
    case ENOENT:
        return QStringLiteral("it does not exist");
    case EBUSY:
        return QStringLiteral("another program is using it");
    case ENAMETOOLONG:
        return QStringLiteral("the name is too long");
    case EILSEQ:
        return QStringLiteral("the disk cannot hold a file of this name");
    default: {
        QString reason = qt_error_string(errorCode);
        if (!reason.isEmpty())
            reason[0] = reason[0].toLower();
        return reason;
    }
    }
}

} // namespace

FileError::FileError(const NativeName& path, int errorCode)
    : FileError(path, plainReason(errorCode))
{
    m_errorCode = errorCode;
}

FileError::FileError(const NativeName& path, const QString& reason)
    : std::runtime_error((path.toEscapedText() + QStringLiteral(": ") + reason).toStdString())
    , m_path(path)
    , m_errorCode(0)
    , m_reason(reason)
{
}

} // namespace quillmend::platform
