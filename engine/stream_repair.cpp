// StreamRepair: the repair as the text streams through, slice by slice.
#include "engine/stream_repair.h"

#include "engine/decoded_text_reader.h"
#include "engine/full_export_watch.h"
#include "engine/text_repair.h"
#include "platform/files/file_error.h"
#include "platform/text/utf8.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

namespace quillmend::engine {

StreamRepair::StreamRepair(platform::FileReader& reader, bool anyFile, bool removeTabs, YieldCallback yield)
    : m_reader(reader)
    , m_anyFile(anyFile)
    , m_removeTabs(removeTabs)
    , m_yield(std::move(yield))
{
}

ResultCode StreamRepair::run(const platform::FileRef& target, const platform::FileReplacer::KeptCopyNamer& keptCopyName,
                             const platform::FileReplacer::KeptCopyNamer& interimCopyName)
{
    if (m_reader.identity().size == 0)
        return kResultEmpty;

    // A failure to write is held back until the whole text is known: a file
    // that needs no repair, or is no full export, is told so all the same.
    platform::FileReplacer replacer(target, m_reader.identity());
    replacer.setProgress(m_yield);
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
        m_leftovers = replacer.leftovers();
    } catch (const platform::FileError&) {
        writeFailure = std::current_exception();
    }

    DecodedTextReader text(m_reader, m_yield);
    FullExportWatch fullExport;
    // The repaired export, read as XML as it is made.
    XmlCheck xml;
    const auto finish = [&](QByteArrayView repaired) {
        write(repaired);
        if (!m_anyFile)
            xml.add(repaired);
    };
    bool repairs = false;
    bool empty = true;
    // A declaration that names another encoding than the text's own.
    QByteArray declaredBefore;
    bool beyondAscii = false;
    // The working text: the repaired end of the slice before, which may hold
    // the start of an entry, then the next slice, decoded, in which it is
    // repaired where it stands.
    QByteArray work;
    work.reserve(kSliceBytes + kSliceBytes / 2 + 2 * kEntryOverlap);
    while (true) {
        const qsizetype repairedBefore = work.size();
        if (!text.appendNext(work))
            break;
        const QByteArrayView slice = QByteArrayView(work).sliced(repairedBefore);
        if (slice.isEmpty())
            continue;
        if (!m_anyFile)
            fullExport.add(slice);
        const TextChanges changes = RepairText(work, m_anyFile, m_removeTabs, empty);
        if (empty)
            declaredBefore = changes.declaredBefore;
        empty = false;
        repairs = repairs || changes.controlCharactersRemoved > 0 || changes.appStampsRewritten > 0;
        if (!declaredBefore.isEmpty() && !beyondAscii)
            beyondAscii = platform::utf8::containsMultiByteSequence(work);
        repairs = repairs || (!declaredBefore.isEmpty() && DeclarationMisleads(declaredBefore, beyondAscii));
        if (m_yield)
            m_yield();
        const qsizetype finished = work.size() - std::min(work.size(), kEntryOverlap);
        finish(QByteArrayView(work).first(finished));
        // Once the file is known to change, the disk stores the repaired text
        // while the rest is still being repaired, rather than all at the end.
        if ((repairs || text.changesBytes()) && !writeFailure)
            replacer.startWriteback();
        if (m_yield)
            m_yield();
        // Moved by hand: remove() would let go of the buffer's front, and the
        // next slice would need a new buffer.
        std::memmove(work.data(), work.constData() + finished, std::size_t(work.size() - finished));
        work.truncate(work.size() - finished);
    }
    const ResultCode code = ResultCodeFor(empty, m_anyFile, fullExport.seen(), repairs || text.changesBytes());
    if (code != kResultDone && code != kResultUnchanged)
        return code;
    finish(work);
    // The XML reader goes on with what is left while the repaired file is
    // made durable and put in place; a failure there ends it unheard.
    if (code == kResultDone) {
        if (writeFailure)
            std::rethrow_exception(writeFailure);
        replacer.expectContent(m_reader.contentDigest());
        m_reader.close();
        replacer.commit(keptCopyName, interimCopyName);
        m_untilTold = replacer.untilTold();
    }
    if (!m_anyFile)
        m_xmlError = xml.finish();
    return code;
}

} // namespace quillmend::engine
