#include "engine/stream_repair.h"

#include "engine/text_repair.h"
#include "platform/utf8.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace quillmend::engine {

namespace {

constexpr qsizetype kSlice = StreamRepair::kSliceBytes;
// Longer than the marker and the AppStamp entry but for one byte: what must
// be kept of one slice to find either across the cut to the next.
constexpr qsizetype kOverlap = 31;
constexpr int kYieldsPerPass = 32;

// Gives a file's content slice by slice, each cut after its last complete
// UTF-8 sequence; the bytes cut off open the next slice.
class SliceReader {
public:
    explicit SliceReader(platform::FileReader& reader)
        : m_reader(reader)
        , m_buffer(kSlice + 4, Qt::Uninitialized)
    {
    }

    /// The next slice; empty at the end of the file.
    QByteArrayView next()
    {
        char* data = m_buffer.data();
        std::memmove(data, data + m_cutAt, std::size_t(m_carried));
        const qsizetype arrived = qsizetype(m_reader.read(data + m_carried, std::size_t(kSlice)));
        const QByteArrayView available(data, m_carried + arrived);
        const qsizetype complete = arrived == 0 ? available.size() : platform::utf8::completePrefixLength(available);
        m_cutAt = complete;
        m_carried = available.size() - complete;
        return available.first(complete);
    }

    void restart()
    {
        m_reader.rewind();
        m_cutAt = 0;
        m_carried = 0;
    }

private:
    platform::FileReader& m_reader;
    QByteArray m_buffer;
    qsizetype m_cutAt = 0;
    qsizetype m_carried = 0;
};

} // namespace

StreamRepair::StreamRepair(platform::FileReader& reader, bool anyFile, bool removeTabs, const YieldCallback& yield)
    : m_reader(reader)
    , m_anyFile(anyFile)
    , m_removeTabs(removeTabs)
    , m_yield(yield)
{
}

std::optional<ResultCode> StreamRepair::run(const platform::FileRef& target,
                                            const platform::FileReplacer::KeptCopyNamer& keptCopyName)
{
    if (m_reader.identity().size == 0)
        return kResultEmpty;
    const std::optional<Survey> found = survey();
    if (!found)
        return std::nullopt;
    if (!found->fullExport)
        return kResultNotFullExport;
    if (!found->needsChange)
        return kResultUnchanged;

    platform::FileReplacer replacer(target, m_reader.identity());
    replacer.begin();
    writeRepaired(replacer);
    m_reader.close();
    replacer.commit(keptCopyName);
    return kResultDone;
}

std::optional<StreamRepair::Survey> StreamRepair::survey()
{
    SliceReader slices(m_reader);
    Survey survey;
    survey.fullExport = m_anyFile;
    QByteArray tail;
    for (QByteArrayView slice = slices.next(); !slice.isEmpty(); slice = slices.next()) {
        if (!platform::utf8::isValid(slice))
            return std::nullopt;
        // The marker or an entry may stand across the cut between two slices.
        const QByteArray seam = QByteArray(tail).append(slice.first(std::min(slice.size(), kOverlap)));
        if (!survey.fullExport)
            survey.fullExport = IsFullExport(seam) || IsFullExport(slice);
        if (!survey.needsChange) {
            survey.needsChange = ContainsControlCharacters(slice, m_removeTabs)
                || (!m_anyFile && (ContainsAppStamp(seam) || ContainsAppStamp(slice)));
        }
        tail.append(slice.last(std::min(slice.size(), kOverlap)));
        tail = tail.right(kOverlap);
        progress(slice.size());
    }
    m_reader.checkReadWhole();
    return survey;
}

void StreamRepair::writeRepaired(platform::FileReplacer& replacer)
{
    SliceReader slices(m_reader);
    slices.restart();
    // The working text: the repaired end of the slice before, which may hold
    // the start of an entry, then the next slice.
    QByteArray work;
    work.reserve(kSlice + 2 * kOverlap);
    bool first = true;
    for (QByteArrayView slice = slices.next(); !slice.isEmpty(); slice = slices.next()) {
        work.append(slice);
        RemoveControlCharacters(work, m_removeTabs, {});
        if (!m_anyFile)
            RewriteAppStamps(work);
        if (first)
            DeclareUtf8(work);
        first = false;
        const qsizetype finished = work.size() - std::min(work.size(), kOverlap);
        replacer.append(QByteArrayView(work).first(finished));
        work.remove(0, finished);
        progress(slice.size());
    }
    replacer.append(work);
    m_reader.checkReadWhole();
}

void StreamRepair::progress(qsizetype bytes)
{
    m_sinceYield += bytes;
    const qint64 step = std::max<qint64>(1, m_reader.identity().size / kYieldsPerPass);
    if (m_sinceYield >= step && m_yield) {
        m_sinceYield = 0;
        m_yield();
    }
}

} // namespace quillmend::engine
