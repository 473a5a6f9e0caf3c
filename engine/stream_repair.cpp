#include "engine/stream_repair.h"

#include "engine/full_export_watch.h"
#include "engine/text_repair.h"
#include "platform/file_error.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

namespace quillmend::engine {

namespace {

constexpr qsizetype kSlice = platform::Utf8SliceReader::kSliceBytes;
constexpr int kYieldsPerPass = 32;

} // namespace

StreamRepair::StreamRepair(platform::FileReader& reader, bool anyFile, bool removeTabs, const YieldCallback& yield,
                           std::optional<platform::TextEncoding> encoding)
    : m_reader(reader)
    , m_anyFile(anyFile)
    , m_removeTabs(removeTabs)
    , m_yield(yield)
    , m_singleByte(encoding.has_value())
    , m_slices(reader, std::move(encoding))
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

    FullExportWatch fullExport;
    // Decoding a single-byte text changes its bytes: it is rewritten in any case.
    bool changed = m_singleByte;
    // The working text: the repaired end of the slice before, which may hold
    // the start of an entry, then the next slice, decoded, in which it is
    // repaired where it stands.
    QByteArray work;
    work.reserve(kSlice + 2 * kEntryOverlap);
    bool first = true;
    while (true) {
        const qsizetype repairedBefore = work.size();
        if (!appendNextSlice(work))
            return std::nullopt;
        const QByteArrayView slice = QByteArrayView(work).sliced(repairedBefore);
        if (slice.isEmpty())
            break;
        if (!m_anyFile)
            fullExport.add(slice);
        const TextChanges changes = RepairText(work, m_anyFile, m_removeTabs, first);
        changed = changed || changes.controlCharactersRemoved > 0 || changes.appStampsRewritten > 0;
        first = false;
        const qsizetype finished = work.size() - std::min(work.size(), kEntryOverlap);
        write(QByteArrayView(work).first(finished));
        // Once the file is known to change, the disk stores the repaired text
        // while the rest is still being repaired, rather than all at the end.
        if (changed && !writeFailure)
            replacer.startWriteback();
        // Moved by hand: remove() would let go of the buffer's front, and the
        // next slice would need a new buffer.
        std::memmove(work.data(), work.constData() + finished, std::size_t(work.size() - finished));
        work.truncate(work.size() - finished);
    }
    m_reader.checkReadWhole();
    if (!m_anyFile && !fullExport.seen())
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

// Appends the next slice of the file to `work`, decoded to UTF-8 (nothing at
// the end of the file). False when the slice shows that the text is not in
// the encoding it was read in.
bool StreamRepair::appendNextSlice(QByteArray& work)
{
    const std::optional<qsizetype> arrived = m_slices.appendNext(work);
    if (!arrived)
        return false;
    progress(*arrived);
    return true;
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
