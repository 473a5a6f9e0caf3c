// FailureReason: the plain words for why a repair failed.
#include "engine/failure_reason.h"

#include "platform/files/file_error.h"

namespace quillmend::engine {

QString FailureReason(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const platform::FileError& error) {
        return error.reason();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("an unexpected failure");
    }
}

} // namespace quillmend::engine
