// The XML check: libxml2 reading the repaired text on a thread of its own.
#include "engine/xml_check.h"

#include "engine/internal/piece_queue.h"
#include "engine/internal/xml_reasons.h"
#include "engine/text_place.h"
#include "platform/text/utf8.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <thread>
#include <utility>
#include <vector>

namespace quillmend::engine {

namespace {

// A few repaired slices may wait for the reader; the repair waits beyond.
constexpr qsizetype kWaitingBytes = 8 << 20;

QString nameOf(const std::pair<const xmlChar*, const xmlChar*>& prefixAndName)
{
    const QString local = QString::fromUtf8(reinterpret_cast<const char*>(prefixAndName.second));
    if (prefixAndName.first == nullptr)
        return local;
    return QString::fromUtf8(reinterpret_cast<const char*>(prefixAndName.first)) + QLatin1Char(':') + local;
}

} // namespace

class XmlCheck::Reading {
public:
    Reading()
        : m_queue(kWaitingBytes)
    {
        // libxml2 sets up its shared tables once, before any thread reads.
        xmlInitParser();
        m_thread = std::thread([this] { read(); });
    }
    ~Reading()
    {
        m_queue.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    void add(QByteArrayView piece)
    {
        // The places are counted here, on the repair's thread, which waits
        // for the reader more than the reader waits for it.
        if (m_queue.stopped())
            return;
        m_queue.give(piece, m_nextPlace);
        m_nextPlace.advance(piece);
    }
    std::optional<XmlError> finish()
    {
        m_queue.close();
        m_thread.join();
        return m_error;
    }

private:
    // What libxml2 said of the first fatal error, as it said it.
    struct Found {
        int code = 0;
        QString message;
        qint64 offset = 0; // in bytes of the text
        bool atEnd = false; // found once the whole text was given
        QString innermost; // the element open there
        bool afterRoot = false; // the root element closed before
        bool inEntity = false; // in the text of an entity, found at its reference
    };

    void read();
    /// libxml2's input: the next bytes of the text, 0 at its end.
    static int readMore(void* context, char* buffer, int length);
    void forgetConsumed();
    XmlError describe(const Found& found);
    /// The offset of the last `c` before `offset` among the kept pieces, or
    /// `offset` where there is none.
    qint64 lastBefore(char c, qint64 offset) const;
    /// The name of the reference at `offset` ("&name;"), from the kept pieces.
    QString referenceAt(qint64 offset) const;

    static void started(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int,
                        const xmlChar**, int, int, const xmlChar**);
    static void ended(void* context, const xmlChar*, const xmlChar*, const xmlChar*);
    static void failed(void* context, xmlErrorPtr error);
    static xmlEntityPtr entityNamed(void* context, const xmlChar* name);

    PieceQueue m_queue;
    std::thread m_thread;
    xmlParserCtxtPtr m_parser = nullptr;
    // The elements open at the place read to, as libxml2's names (prefix,
    // local name), which live as long as the parser.
    std::vector<std::pair<const xmlChar*, const xmlChar*>> m_open;
    QString m_root;
    bool m_atEnd = false; // libxml2 has been told that the text ends
    bool m_stopped = false; // ... because the check was given up
    std::optional<Found> m_found;
    TextPlace m_nextPlace; // of the next piece added, on the adding thread
    // The pieces that libxml2 may not have read to the end, and the offset
    // where the first of them starts: an error's line and column are counted
    // in them only.
    std::deque<TextPiece> m_kept;
    qint64 m_keptFrom = 0;
    qint64 m_given = 0; // bytes taken from the queue
    qsizetype m_handedOut = 0; // bytes of the last kept piece handed to libxml2
    std::optional<XmlError> m_error;
};

void XmlCheck::Reading::read()
{
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = started;
    handler.endElementNs = ended;
    handler.serror = failed;
    // Entities declared in the document itself are known, as XML asks; an
    // outside DTD is never fetched.
    handler.startDocument = xmlSAX2StartDocument;
    handler.internalSubset = xmlSAX2InternalSubset;
    handler.entityDecl = xmlSAX2EntityDecl;
    handler.getEntity = entityNamed;
    handler.getParameterEntity = xmlSAX2GetParameterEntity;
    handler.reference = [](void*, const xmlChar*) {};
    // A notation without an identifier is found by its declaration's
    // handler alone.
    handler.notationDecl = xmlSAX2NotationDecl;
    // libxml2 pulls the text through readMore() rather than being pushed
    // pieces: its push parser looks ahead for the end of every tag again and
    // again, which costs a seventh of the reading.
    m_parser = xmlCreateIOParserCtxt(&handler, nullptr, readMore, nullptr, this, XML_CHAR_ENCODING_UTF8);
    if (m_parser != nullptr) {
        m_parser->_private = this;
        // The repaired text is UTF-8 whatever its declaration says, and
        // libxml2's own limits stay on: more than 10 MB in one tag, or
        // elements 256 deep, is an error rather than memory without end.
        xmlCtxtUseOptions(m_parser, XML_PARSE_NONET | XML_PARSE_IGNORE_ENC);
        xmlParseDocument(m_parser);
        if (m_found && !m_stopped)
            m_error = describe(*m_found);
        if (m_parser->myDoc != nullptr)
            xmlFreeDoc(m_parser->myDoc);
        xmlFreeParserCtxt(m_parser);
        m_parser = nullptr;
    }
    // The reading is over: a piece still on its way is dropped, not waited for.
    m_queue.stop();
}

int XmlCheck::Reading::readMore(void* context, char* buffer, int length)
{
    auto* self = static_cast<Reading*>(context);
    // After the first error, the text ends for libxml2: what it still holds
    // is read with its errors unheard.
    if (self->m_found || self->m_stopped)
        return 0;
    while (self->m_kept.empty() || self->m_handedOut == self->m_kept.back().bytes.size()) {
        if (self->m_parser != nullptr)
            self->forgetConsumed();
        std::optional<TextPiece> piece = self->m_queue.take();
        if (!piece) {
            self->m_stopped = self->m_queue.stopped();
            self->m_atEnd = true;
            return 0;
        }
        self->m_given += piece->bytes.size();
        self->m_kept.push_back(std::move(*piece));
        self->m_handedOut = 0;
    }
    const QByteArray& piece = self->m_kept.back().bytes;
    const qsizetype size = std::min<qsizetype>(length, piece.size() - self->m_handedOut);
    std::memcpy(buffer, piece.constData() + self->m_handedOut, std::size_t(size));
    self->m_handedOut += size;
    return int(size);
}

void XmlCheck::Reading::forgetConsumed()
{
    // The last piece stays: it holds the last character, where a text that
    // ends too soon is said to end.
    const qint64 consumed = xmlByteConsumed(m_parser);
    while (m_kept.size() > 1 && m_keptFrom + m_kept.front().bytes.size() <= consumed) {
        m_keptFrom += m_kept.front().bytes.size();
        m_queue.giveBack(std::move(m_kept.front().bytes));
        m_kept.pop_front();
    }
}

XmlError XmlCheck::Reading::describe(const Found& found)
{
    // A text that ends too soon is found so at its end, and said so at its
    // last character.
    // (An end tag that closes the wrong element, or an unknown entity, may
    // be found at the end but is whole.)
    const bool whole = found.code == XML_ERR_TAG_NAME_MISMATCH || found.code == XML_ERR_UNDECLARED_ENTITY;
    const bool tooSoon = found.atEnd && !whole && (found.code == XML_ERR_DOCUMENT_END || found.offset >= m_given)
        && !(found.afterRoot && found.offset < m_given);
    qint64 offset = std::clamp<qint64>(found.offset, m_keptFrom, std::max<qint64>(m_keptFrom, m_given - 1));
    if (tooSoon && !m_kept.empty()) {
        const QByteArray& last = m_kept.back().bytes;
        qsizetype at = last.size() - 1;
        while (at > 0 && platform::utf8::isContinuation(last[at]))
            --at;
        offset = m_given - last.size() + at;
    }
    // An error that a stray & or <, or an end tag, leads to is found after
    // it, and said at the & or <.
    char startedBy = 0;
    if (!tooSoon) {
        if (found.inEntity)
            startedBy = '&';
        else if (found.code == XML_ERR_TAG_NAME_MISMATCH)
            startedBy = '<';
        else if (found.code == XML_ERR_ENTITYREF_SEMICOL_MISSING || found.code == XML_ERR_UNDECLARED_ENTITY)
            startedBy = '&';
        else if (found.code == XML_ERR_NAME_REQUIRED && lastBefore('&', offset) == offset - 1)
            startedBy = '&';
        else if (found.code == XML_ERR_NAME_REQUIRED && lastBefore('<', offset) == offset - 1)
            startedBy = '<';
    }
    if (startedBy != 0)
        offset = lastBefore(startedBy, offset);
    const std::optional<QString> limit = internal::XmlLimitMet(found.message);
    QString reason = limit
        ? *limit
        : internal::XmlReason({found.code, found.message, tooSoon, startedBy, found.inEntity, found.innermost, m_root});
    if (found.inEntity)
        reason = QStringLiteral("in the text of the entity &%1;: %2").arg(referenceAt(offset), reason);
    TextPlace place;
    qint64 pieceFrom = m_keptFrom;
    for (const TextPiece& piece : m_kept) {
        if (offset < pieceFrom + piece.bytes.size() || &piece == &m_kept.back()) {
            place = piece.from;
            place.advance(
                QByteArrayView(piece.bytes).first(std::clamp<qint64>(offset - pieceFrom, 0, piece.bytes.size())));
            break;
        }
        pieceFrom += piece.bytes.size();
    }
    return {place.line(), place.column(), reason, !limit};
}

QString XmlCheck::Reading::referenceAt(qint64 offset) const
{
    QByteArray name;
    qint64 pieceFrom = m_keptFrom;
    for (const TextPiece& piece : m_kept) {
        for (qsizetype at = std::max<qint64>(0, offset + 1 - pieceFrom); at < piece.bytes.size(); ++at) {
            if (piece.bytes[at] == ';' || name.size() > 200)
                return QString::fromUtf8(name);
            name += piece.bytes[at];
        }
        pieceFrom += piece.bytes.size();
    }
    return QString::fromUtf8(name);
}

qint64 XmlCheck::Reading::lastBefore(char c, qint64 offset) const
{
    qint64 pieceEnd = m_given;
    for (auto piece = m_kept.rbegin(); piece != m_kept.rend(); ++piece) {
        const qint64 pieceFrom = pieceEnd - piece->bytes.size();
        if (pieceFrom < offset) {
            const qsizetype found = QByteArrayView(piece->bytes)
                                        .first(std::min<qint64>(piece->bytes.size(), offset - pieceFrom))
                                        .lastIndexOf(c);
            if (found >= 0)
                return pieceFrom + found;
        }
        pieceEnd = pieceFrom;
    }
    return offset;
}

void XmlCheck::Reading::started(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int,
                                const xmlChar**, int, int, const xmlChar**)
{
    auto* self = static_cast<Reading*>(static_cast<xmlParserCtxtPtr>(context)->_private);
    if (self->m_open.empty() && self->m_root.isEmpty())
        self->m_root = nameOf({prefix, localName});
    self->m_open.emplace_back(prefix, localName);
}

void XmlCheck::Reading::ended(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* self = static_cast<Reading*>(static_cast<xmlParserCtxtPtr>(context)->_private);
    if (!self->m_open.empty())
        self->m_open.pop_back();
}

void XmlCheck::Reading::failed(void* context, xmlErrorPtr error)
{
    // Warnings and namespace errors leave the text well-formed XML 1.0.
    if (error == nullptr || error->level != XML_ERR_FATAL)
        return;
    const auto parser = static_cast<xmlParserCtxtPtr>(context);
    auto* self = static_cast<Reading*>(parser->_private);
    if (self->m_found)
        return;
    Found found;
    found.code = error->code;
    found.message = QString::fromUtf8(error->message);
    // An entity's text is read by a parser of its own: the user can find
    // only the reference, where the document's parser stands.
    found.inEntity = parser != self->m_parser;
    found.offset = xmlByteConsumed(self->m_parser);
    found.atEnd = self->m_atEnd;
    if (!self->m_open.empty())
        found.innermost = nameOf(self->m_open.back());
    found.afterRoot = self->m_open.empty() && !self->m_root.isEmpty();
    self->m_found = std::move(found);
    // The repair goes on without waiting for the reader any more.
    self->m_queue.stop();
}

xmlEntityPtr XmlCheck::Reading::entityNamed(void* context, const xmlChar* name)
{
    xmlEntityPtr entity = xmlSAX2GetEntity(context, name);
    // An entity's text is judged at its first reference. libxml2 reads it
    // again at every later one, where nothing holds what it made of it: a
    // file of a few MB could then hold the repair for minutes. Given
    // something made of it, libxml2 tells of each later reference instead
    // (the reference callback), and the work stays within the file's size.
    if (entity != nullptr && entity->etype == XML_INTERNAL_GENERAL_ENTITY && entity->checked != 0
        && entity->children == nullptr) {
        xmlNodePtr judged = xmlNewText(reinterpret_cast<const xmlChar*>(""));
        if (judged != nullptr) {
            // Freed with the entity, as its own.
            judged->parent = reinterpret_cast<xmlNodePtr>(entity);
            entity->children = judged;
            entity->last = judged;
            entity->owner = 1;
        }
    }
    return entity;
}

XmlCheck::XmlCheck() = default;

XmlCheck::~XmlCheck() = default;

void XmlCheck::add(QByteArrayView piece)
{
    if (m_result || piece.isEmpty())
        return;
    if (!m_reading)
        m_reading = std::make_unique<Reading>();
    m_reading->add(piece);
}

std::optional<XmlError> XmlCheck::finish()
{
    if (!m_result) {
        if (!m_reading)
            m_reading = std::make_unique<Reading>();
        m_result = m_reading->finish();
        m_reading.reset();
    }
    return *m_result;
}

QString XmlErrorText(const XmlError& error)
{
    const QString place = QStringLiteral("line %1 column %2: %3").arg(error.line).arg(error.column).arg(error.reason);
    return error.checked ? place : QStringLiteral("could not be checked past ") + place;
}

QString XmlNote(const XmlError& error)
{
    if (!error.checked)
        return QStringLiteral("the repaired file could not be checked as XML: ") + XmlErrorText(error);
    return QStringLiteral("the repaired file is still not well-formed XML at ") + XmlErrorText(error);
}

} // namespace quillmend::engine
