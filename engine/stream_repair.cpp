#include "engine/stream_repair.h"

#include "engine/text_repair.h"
#include "platform/utf8.h"

#include "platform/file_error.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <exception>

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

    // A failure to write is held back until the whole text is known: a file
    // that needs no repair, or is no full export, is told so all the same.
    platform::FileReplacer replacer(target, m_reader.identity());
    std::exception_ptr writeFailure;
    const auto write = [&](QByteArrayView bytes) {
        if (writeFailure)
            return;
        try {
            replacer.append(bytes);
        } catch (const platform::FileError&) {
            writeFailure = std::current_exception();
        }
    };
    try {
        replacer.begin();
    } catch (const platform::FileError&) {
        writeFailure = std::current_exception();
    }

    SliceReader slices(m_reader);
    bool fullExport = m_anyFile;
    bool changed = false;
    QByteArray tail; // the end of the slice before, as read
    // The working text: the repaired end of the slice before, which may hold
    // the start of an entry, then the next slice.
    QByteArray work;
    work.reserve(kSlice + 2 * kOverlap);
    bool first = true;
    for (QByteArrayView slice = slices.next(); !slice.isEmpty(); slice = slices.next()) {
        if (!platform::utf8::isValid(slice))
            return std::nullopt;
        if (!fullExport) {
            // The marker may stand across the cut between two slices.
            fullExport = IsFullExport(QByteArray(tail).append(slice.first(std::min(slice.size(), kOverlap))))
                || IsFullExport(slice);
            tail.append(slice.last(std::min(slice.size(), kOverlap)));
            tail = tail.right(kOverlap);
        }
        work.append(slice);
        changed = RemoveControlCharacters(work, m_removeTabs, {}) > 0 || changed;
        if (!m_anyFile)
            changed = RewriteAppStamps(work) > 0 || changed;
        if (first)
            DeclareUtf8(work);
        first = false;
        const qsizetype finished = work.size() - std::min(work.size(), kOverlap);
        write(QByteArrayView(work).first(finished));
        work.remove(0, finished);
        progress(slice.size());
    }
    m_reader.checkReadWhole();
    if (!fullExport)
        return kResultNotFullExport;
    if (!changed)
        return kResultUnchanged;
    write(work);
    if (writeFailure)
        std::rethrow_exception(writeFailure);
    m_reader.close();
    replacer.commit(keptCopyName);
    return kResultDone;
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
