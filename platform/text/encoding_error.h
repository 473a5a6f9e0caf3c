// The failure to decode a text, with where it failed.
#pragma once

#include <stdexcept>
#include <string>

namespace quillmend::platform {

/// The encoding service could not provide an encoding or convert a text.
class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace quillmend::platform
