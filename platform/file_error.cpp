#include "platform/file_error.h"

namespace quillmend::platform {

FileError::FileError(const QString& path, int errorCode)
    : FileError(path, qt_error_string(errorCode))
{
    m_errorCode = errorCode;
}

FileError::FileError(const QString& path, const QString& reason)
    : std::runtime_error((path + QStringLiteral(": ") + reason).toStdString())
    , m_path(path)
    , m_errorCode(0)
    , m_reason(reason)
{
}

} // namespace quillmend::platform
