#include "engine/text_repair.h"

#include <QByteArrayMatcher>

#include <array>
#include <cstring>

namespace quillmend::engine {

namespace {

constexpr int kYieldsPerScan = 32;
constexpr qsizetype kAppStampLength = sizeof kVectorworksAppStamp - 1;
static_assert(sizeof kVectorworksAppStamp == sizeof kMarlowbrookAppStamp, "rewritten in place");

std::array<unsigned char, 256> keptBytes(bool removeTabs)
{
    std::array<unsigned char, 256> keep{};
    keep.fill(1);
    for (int code = 0; code < 32; ++code)
        keep[code] = 0;
    keep['\n'] = 1;
    keep['\r'] = 1;
    keep['\t'] = removeTabs ? 0 : 1;
    return keep;
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
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

qsizetype RemoveControlCharacters(QByteArray& text, bool removeTabs, const YieldCallback& yield)
{
    static const std::array<unsigned char, 256> keepWithTabs = keptBytes(false);
    static const std::array<unsigned char, 256> keepWithoutTabs = keptBytes(true);
    const unsigned char* keep = removeTabs ? keepWithoutTabs.data() : keepWithTabs.data();

    const qsizetype size = text.size();
    char* data = size ? text.data() : nullptr;
    qsizetype written = 0;
    qsizetype from = 0;
    for (int part = 1; part <= kYieldsPerScan; ++part) {
        const qsizetype to = part == kYieldsPerScan ? size : size / kYieldsPerScan * part;
        for (qsizetype at = from; at < to; ++at) {
            const char c = data[at];
            data[written] = c;
            written += keep[static_cast<unsigned char>(c)];
        }
        from = to;
        if (yield)
            yield();
    }
    text.truncate(written);
    return size - written;
}

qsizetype RewriteAppStamps(QByteArray& text)
{
    static const QByteArrayMatcher matcher{QByteArrayView(kVectorworksAppStamp)};
    qsizetype count = 0;
    for (qsizetype at = matcher.indexIn(text); at >= 0; at = matcher.indexIn(text, at + kAppStampLength)) {
        std::memcpy(text.data() + at, kMarlowbrookAppStamp, kAppStampLength);
        ++count;
    }
    return count;
}

bool DeclareUtf8(QByteArray& text)
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
        if (namesUtf8(declaration.sliced(valueFrom, valueTo - valueFrom)))
            return false;
        text.replace(start + valueFrom, valueTo - valueFrom, "UTF-8");
        return true;
    }
    return false;
}

} // namespace quillmend::engine
