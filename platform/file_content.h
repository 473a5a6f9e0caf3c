#pragma once

#include "platform/file_identity.h"
#include "platform/text.h"

namespace quillmend::platform {

/// A file's whole content, and the state of the file it was read from.
struct FileContent {
    Text text;
    FileIdentity identity;
};

} // namespace quillmend::platform
