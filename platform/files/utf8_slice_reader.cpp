// Utf8SliceReader: slices cut between UTF-8 sequences.
#include "platform/files/utf8_slice_reader.h"

#include "platform/text/utf8.h"

#include <cstring>

namespace quillmend::platform {

Utf8SliceReader::Utf8SliceReader(FileReader& reader)
    : m_reader(reader)
{
}

qsizetype Utf8SliceReader::appendNext(QByteArray& out)
{
    const qsizetype before = out.size();
    out.resize(before + m_cutOffSize + kSliceBytes);
    std::memcpy(out.data() + before, m_cutOff, std::size_t(m_cutOffSize));
    const qsizetype arrived = qsizetype(m_reader.read(out.data() + before + m_cutOffSize, std::size_t(kSliceBytes)));
    out.truncate(before + m_cutOffSize + arrived);
    const QByteArrayView slice = QByteArrayView(out).sliced(before);
    const qsizetype complete = arrived == 0 ? slice.size() : utf8::completePrefixLength(slice);
    m_cutOffSize = slice.size() - complete;
    std::memcpy(m_cutOff, slice.data() + complete, std::size_t(m_cutOffSize));
    out.truncate(before + complete);
    return complete;
}

} // namespace quillmend::platform
