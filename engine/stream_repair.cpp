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

    bool fullExport = m_anyFile;
    bool changed = false;
    QByteArray tail; // the end of the slice before, as read
    // The working text: the repaired end of the slice before, which may hold
    // the start of an entry, then the next slice as read, in which it is
    // repaired where it stands.
    QByteArray work;
    work.reserve(kSlice + 2 * kOverlap);
    char cutOff[4]; // the start of a UTF-8 sequence that the next slice completes
    qsizetype cutOffSize = 0;
    bool first = true;
    while (true) {
        const qsizetype repairedBefore = work.size();
        work.resize(repairedBefore + cutOffSize + kSlice);
        std::memcpy(work.data() + repairedBefore, cutOff, std::size_t(cutOffSize));
        const qsizetype arrived
            = qsizetype(m_reader.read(work.data() + repairedBefore + cutOffSize, std::size_t(kSlice)));
        work.truncate(repairedBefore + cutOffSize + arrived);
        QByteArrayView slice = QByteArrayView(work).sliced(repairedBefore);
        if (slice.isEmpty())
            break;
        const qsizetype complete = arrived == 0 ? slice.size() : platform::utf8::completePrefixLength(slice);
        cutOffSize = slice.size() - complete;
        std::memcpy(cutOff, slice.data() + complete, std::size_t(cutOffSize));
        work.truncate(repairedBefore + complete);
        slice = slice.first(complete);

        if (!platform::utf8::isValid(slice))
            return std::nullopt;
        if (!fullExport) {
            // The marker may stand across the cut between two slices.
            fullExport = IsFullExport(QByteArray(tail).append(slice.first(std::min(slice.size(), kOverlap))))
                || IsFullExport(slice);
            tail.append(slice.last(std::min(slice.size(), kOverlap)));
            tail = tail.right(kOverlap);
        }
        progress(slice.size());
        changed = RemoveControlCharacters(work, m_removeTabs, {}) > 0 || changed;
        if (!m_anyFile)
            changed = RewriteAppStamps(work) > 0 || changed;
        if (first)
            DeclareUtf8(work);
        first = false;
        const qsizetype finished = work.size() - std::min(work.size(), kOverlap);
        write(QByteArrayView(work).first(finished));
        // Moved by hand: remove() would let go of the buffer's front, and the
        // next slice would need a new buffer.
        std::memmove(work.data(), work.constData() + finished, std::size_t(work.size() - finished));
        work.truncate(work.size() - finished);
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
