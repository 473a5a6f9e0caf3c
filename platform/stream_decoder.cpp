#include "platform/stream_decoder.h"

#include "platform/encoding_error.h"
#include "platform/encoding_service.h"
#include "platform/encodings.h"
#include "platform/icu_converter.h"

#include <optional>

namespace quillmend::platform {

struct StreamDecoder::Converters {
    explicit Converters(const TextEncoding& source)
        : encoding(source)
        , singleByte(IsSingleByte(source))
        , from(singleByte ? IcuConverter(nullptr, &ucnv_close) : OpenIcuConverter(source))
        , to(singleByte ? IcuConverter(nullptr, &ucnv_close) : OpenIcuConverter(Encodings::UTF8))
    {
    }

    TextEncoding encoding;
    bool singleByte;
    IcuConverter from;
    IcuConverter to;
    // ICU's own state between the pieces: the UTF-16 it has decoded and not
    // yet encoded, and whether the next call is the first.
    UChar pivot[4096];
    UChar* pivotSource = pivot;
    UChar* pivotTarget = pivot;
    bool first = true;
};

StreamDecoder::StreamDecoder(const TextEncoding& source)
    : m_converters(std::make_unique<Converters>(source))
{
}

StreamDecoder::~StreamDecoder() = default;

void StreamDecoder::decode(QByteArrayView bytes, bool last, QByteArray& out)
{
    Converters& c = *m_converters;
    if (c.singleByte) {
        // A table look-up, with no state to carry: every byte is a character.
        AppendSingleByteAsUtf8(bytes, c.encoding, out);
        return;
    }
    static const char nothing = 0;
    const char* in = bytes.isEmpty() ? &nothing : bytes.data();
    const char* const end = in + bytes.size();
    qsizetype used = out.size();
    out.resize(used + bytes.size() + bytes.size() / 2 + 16);
    while (true) {
        char* written = out.data() + used;
        UErrorCode status = U_ZERO_ERROR;
        ucnv_convertEx(c.to.get(), c.from.get(), &written, out.data() + out.size(), &in, end, c.pivot, &c.pivotSource,
                       &c.pivotTarget, c.pivot + std::size(c.pivot), c.first, last, &status);
        c.first = false;
        used = written - out.data();
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(status))
            throw EncodingError(std::string("Conversion from ") + c.encoding.displayName().toStdString()
                                + " failed: " + u_errorName(status));
        out.truncate(used);
        return;
    }
}

} // namespace quillmend::platform
