// The text's repair: control characters, AppStamp entries, the XML declaration.
#include "engine/text_repair.h"

#include "platform/text/byte_scan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

namespace quillmend::engine {

namespace {

constexpr int kYieldsPerScan = 32;
constexpr qsizetype kAppStampLength = sizeof kVectorworksAppStamp - 1;
static_assert(sizeof kVectorworksAppStamp == sizeof kMarlowbrookAppStamp, "rewritten in place");

std::array<unsigned char, 256> keptBytes(bool removeTabs)
{
    std::array<unsigned char, 256> keep{};
    for (int code = 0; code < 256; ++code)
        keep[code] = IsRemovedControlCharacter(static_cast<unsigned char>(code), removeTabs) ? 0 : 1;
    return keep;
}

// The first position in [from, to) whose byte `keep` does not keep, or `to`.
// Blocks with no such byte are passed over sixteen bytes at a time.
qsizetype nextRemovable(const char* data, qsizetype from, qsizetype to, const unsigned char* keep)
{
    namespace scan = platform::bytescan;
    qsizetype at = from;
    for (; at + scan::kBlock <= to; at += scan::kBlock) {
        if (const unsigned removable = scan::removableMask(data + at, keep['\t'] != 0))
            return at + scan::lowestBit(removable);
    }
    while (at < to && keep[static_cast<unsigned char>(data[at])])
        ++at;
    return at;
}

// Where the next Vectorworks AppStamp entry starts at or after `from`, or `size`.
qsizetype findAppStamp(const char* data, qsizetype from, qsizetype size)
{
    const auto matchesAt = [data](qsizetype at) {
        return std::memcmp(data + at, kVectorworksAppStamp, std::size_t(kAppStampLength)) == 0;
    };
    namespace scan = platform::bytescan;
    qsizetype at = from;
    // Sixteen places at a time, only those with the entry's "V" and "k" in
    // their places are compared in full: a text full of "<" or of any one
    // letter is searched as fast as any other.
    constexpr int kV = 10;
    constexpr int kK = 19;
    static_assert(kVectorworksAppStamp[kV] == 'V' && kVectorworksAppStamp[kK] == 'k');
    for (; at + scan::kBlock - 1 + kAppStampLength <= size; at += scan::kBlock) {
        for (unsigned candidates = scan::pairMask(data + at, kV, 'V', kK, 'k'); candidates;
             candidates &= candidates - 1) {
            const qsizetype candidate = at + scan::lowestBit(candidates);
            if (matchesAt(candidate))
                return candidate;
        }
    }
    for (; at + kAppStampLength <= size; ++at) {
        if (matchesAt(at))
            return at;
    }
    return size;
}

const unsigned char* keptBytesFor(bool removeTabs)
{
    static const std::array<unsigned char, 256> keepWithTabs = keptBytes(false);
    static const std::array<unsigned char, 256> keepWithoutTabs = keptBytes(true);
    return removeTabs ? keepWithoutTabs.data() : keepWithTabs.data();
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// An encoding's name as XML allows it: [A-Za-z] ([A-Za-z0-9._] | '-')*.
bool isEncodingName(QByteArrayView value)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (value.isEmpty() || !isLetter(value[0]))
        return false;
    return std::all_of(value.begin(), value.end(), [&](char c) {
        return isLetter(c) || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    });
}

bool namesUtf8(QByteArrayView value)
{
    return value.compare("UTF-8", Qt::CaseInsensitive) == 0 || value.compare("UTF8", Qt::CaseInsensitive) == 0;
}

} // namespace

bool IsFullExport(QByteArrayView text)
{
    return text.indexOf(QByteArrayView(kFullExportMarker)) >= 0;
}

bool ContainsControlCharacters(QByteArrayView text, bool removeTabs)
{
    return NextRemovedCharacter(text, 0, removeTabs) < text.size();
}

qsizetype NextRemovedCharacter(QByteArrayView text, qsizetype from, bool removeTabs)
{
    return nextRemovable(text.data(), from, text.size(), keptBytesFor(removeTabs));
}

qsizetype RemoveControlCharacters(QByteArray& text, bool removeTabs, const YieldCallback& yield)
{
    const unsigned char* keep = keptBytesFor(removeTabs);

    const qsizetype size = text.size();
    // Only the runs between removed characters move, each in one piece; a
    // text with nothing to remove is read and never written.
    char* data = size ? text.data() : nullptr;
    qsizetype written = 0;
    qsizetype runStart = 0;
    qsizetype from = 0;
    for (int part = 1; part <= kYieldsPerScan; ++part) {
        const qsizetype to = part == kYieldsPerScan ? size : size / kYieldsPerScan * part;
        for (qsizetype at = nextRemovable(data, from, to, keep); at < to; at = nextRemovable(data, at + 1, to, keep)) {
            if (written != runStart)
                std::memmove(data + written, data + runStart, std::size_t(at - runStart));
            written += at - runStart;
            runStart = at + 1;
        }
        from = to;
        if (yield)
            yield();
    }
    if (written != runStart)
        std::memmove(data + written, data + runStart, std::size_t(size - runStart));
    written += size - runStart;
    text.truncate(written);
    return size - written;
}

qsizetype RewriteAppStamps(QByteArray& text)
{
    const qsizetype size = text.size();
    char* data = size ? text.data() : nullptr;
    qsizetype count = 0;
    for (qsizetype at = findAppStamp(data, 0, size); at < size; at = findAppStamp(data, at + kAppStampLength, size)) {
        std::memcpy(data + at, kMarlowbrookAppStamp, kAppStampLength);
        ++count;
    }
    return count;
}

bool DeclareUtf8(QByteArray& text, QByteArray* declared)
{
    const qsizetype start = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const QByteArrayView view(text);
    if (!view.sliced(start).startsWith("<?xml") || view.size() <= start + 5 || !isXmlSpace(view[start + 5]))
        return false;
    const qsizetype end = view.indexOf("?>", start);
    if (end < 0)
        return false;
    const QByteArrayView declaration = view.sliced(start, end - start);

    for (qsizetype at = declaration.indexOf("encoding"); at > 0; at = declaration.indexOf("encoding", at + 1)) {
        if (!isXmlSpace(declaration[at - 1]))
            continue;
        qsizetype i = at + qsizetype(sizeof "encoding" - 1);
        while (i < declaration.size() && isXmlSpace(declaration[i]))
            ++i;
        if (i >= declaration.size() || declaration[i] != '=')
            continue;
        ++i;
        while (i < declaration.size() && isXmlSpace(declaration[i]))
            ++i;
        if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
            return false;
        const char quote = declaration[i];
        const qsizetype valueFrom = i + 1;
        const qsizetype valueTo = declaration.indexOf(quote, valueFrom);
        if (valueTo < 0)
            return false;
        const QByteArrayView value = declaration.sliced(valueFrom, valueTo - valueFrom);
        if (!isEncodingName(value) || namesUtf8(value))
            return false;
        if (declared)
            *declared = value.toByteArray();
        text.replace(start + valueFrom, valueTo - valueFrom, "UTF-8");
        return true;
    }
    return false;
}

bool DeclarationMisleads(QByteArrayView declared, bool beyondAscii)
{
    if (beyondAscii)
        return true;
    for (const char* wide : {"UTF-16", "UTF16", "UCS-2", "UCS2", "UTF-32", "UTF32", "UCS-4", "UCS4"}) {
        if (declared.size() >= qsizetype(std::strlen(wide))
            && declared.first(qsizetype(std::strlen(wide))).compare(wide, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

TextChanges RepairText(QByteArray& text, bool anyFile, bool removeTabs, bool atStart, const YieldCallback& yield)
{
    TextChanges changes;
    changes.controlCharactersRemoved = RemoveControlCharacters(text, removeTabs, yield);
    if (!anyFile)
        changes.appStampsRewritten = RewriteAppStamps(text);
    if (atStart)
        changes.declarationChanged = DeclareUtf8(text, &changes.declaredBefore);
    return changes;
}

} // namespace quillmend::engine
