// Whether a repaired export is well-formed XML, and where and why not, as the
// repair and the report find it while the text streams through: positions
// counted in the repaired text, lines as an editor counts them.
#include "engine/file_survey.h"
#include "engine/repair_pass.h"
#include "engine/stream_repair.h"
#include "engine/text_repair.h"
#include "tests/support/folder_suite.h"
#include "tests/support/test_files.h"

#include <QTest>

using namespace quillmend;
using namespace quillmend::tests;

Q_DECLARE_METATYPE(std::optional<engine::XmlError>)

namespace quillmend::engine {

// Shown by QCOMPARE where a row fails.
char* toString(const std::optional<XmlError>& error)
{
    if (!error)
        return qstrdup("well-formed");
    return qstrdup(qPrintable(XmlErrorText(*error)));
}

} // namespace quillmend::engine

namespace {

const QByteArray kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Export>\r\n<Action>Entire Plot</Action>\r\n";

engine::XmlError at(qint64 line, qint64 column, const char* reason)
{
    return {line, column, QString::fromUtf8(reason)};
}

} // namespace

class XmlCheckTest : public FolderSuite {
    Q_OBJECT

private slots:
    void firstError_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<std::optional<engine::XmlError>>("expected");
        const auto none = std::optional<engine::XmlError>();
        QTest::newRow("clean export") << kDirty << none;
        QTest::newRow("entity declared in the document")
            << QByteArray("<?xml version=\"1.0\"?>\r\n<!DOCTYPE Export [<!ENTITY co \"Tallow &amp; Co\">]>\r\n"
                          "<Export><Action>Entire Plot</Action><Maker>&co;</Maker></Export>\r\n")
            << none;
        QTest::newRow("cut inside an element") << kHead + "<Fixture><Purpose>wash\x01"
                                               << std::optional(at(4, 22,
                                                                   "the file ends inside <Purpose>: the "
                                                                   "export is incomplete, export it again"));
        QTest::newRow("cut inside a tag") << kHead + "<Fixture Unit=\"4"
                                          << std::optional(at(4, 16,
                                                              "the file ends inside <Export>: the export is "
                                                              "incomplete, export it again"));
        QTest::newRow("stray &")
            << kHead + "<Note>Tom & Jerry\x02</Note>\r\n</Export>\r\n"
            << std::optional(at(4, 11, "an & that starts no character reference (an & in text is written &amp;)"));
        QTest::newRow("stray <") << kHead + "<Note>1 < 2</Note>\r\n</Export>\r\n"
                                 << std::optional(at(4, 9, "a < that starts no tag (a < in text is written &lt;)"));
        QTest::newRow("mismatched end tag") << kHead + "<Note>x</Nope>\r\n</Export>\r\n"
                                            << std::optional(at(4, 8, "an end tag that does not close <Note>"));
        QTest::newRow("second root element")
            << kHead + "</Export>\r\n<Export/>\r\n"
            << std::optional(at(5, 1,
                                "more after the end of the root element <Export>: a second root element, or "
                                "text"));
        // 40 000 lines of 100 bytes: past the first slices of 1 MiB.
        QByteArray long_ = kHead;
        for (int line = 0; line < 40000; ++line)
            long_ += "<F>" + QByteArray(89, 'x') + "</F>\r\n";
        QTest::newRow("after a slice boundary")
            << long_ + "<F>a & b</F>\r\n</Export>\r\n"
            << std::optional(at(40004, 6, "an & that starts no character reference (an & in text is written &amp;)"));
        QTest::newRow("UTF-16, counted in the repaired text")
            << utf16LittleEndianWithMark(QString::fromUtf8(kHead + "<Note>Fr\xC3\xBChling \x1B&</Note>"))
            << std::optional(at(4, 16, "an & that starts no character reference (an & in text is written &amp;)"));
        QTest::newRow("in an entity's text, at its reference")
            << QByteArray("<?xml version=\"1.0\"?>\r\n<!DOCTYPE Export [<!ENTITY e \"<foo>\">]>\r\n"
                          "<Export><Action>Entire Plot</Action>\r\n<Note>&e;</Note></Export>\r\n")
            << std::optional(at(4, 7, "in the text of the entity &e;: the element <foo> is not closed"));
        QTest::newRow("notation without an identifier")
            << QByteArray("<?xml version=\"1.0\"?>\r\n<!DOCTYPE Export [<!NOTATION JPG >]>\r\n"
                          "<Export><Action>Entire Plot</Action></Export>\r\n")
            << std::optional(at(2, 35, "the notation JPG is declared without a public or system identifier"));
        QTest::newRow("libxml2's routine name and capitals")
            << QByteArray("<?xml version=\"1.0\"?>\r\n<!DOCTYPE>\r\n<Export><Action>Entire Plot</Action></Export>\r\n")
            << std::optional(at(2, 10, "no DOCTYPE name"));
        QTest::newRow("no declaration in the DOCTYPE's list")
            << QByteArray("<?xml version=\"1.0\"?>\r\n<!DOCTYPE Export [<!FOO a>]>\r\n"
                          "<Export><Action>Entire Plot</Action></Export>\r\n")
            << std::optional(at(2, 19,
                                "the DOCTYPE's list of declarations holds something that is none: only <!ELEMENT, "
                                "<!ATTLIST, <!ENTITY and <!NOTATION declarations, comments, processing "
                                "instructions and %references may stand between its [ and ]"));
        QTest::newRow("libxml2 without words, in an entity's text")
            << QByteArray("<?xml version=\"1.0\"?>\r\n<!DOCTYPE Export [<!ENTITY e \"<![CDATA[x\">]>\r\n"
                          "<Export><Action>Entire Plot</Action>\r\n<Note>&e;</Note></Export>\r\n")
            << std::optional(
                   at(4, 7, "in the text of the entity &e;: a CDATA section (<![CDATA[) that is not closed by ]]>"));
        engine::XmlError tooDeep = at(3, 769, "its elements are nested deeper than the check reads (256 levels)");
        tooDeep.checked = false;
        QTest::newRow("a limit of the check's own")
            << QByteArray("<?xml version=\"1.0\"?>\r\n<Export><Action>Entire Plot</Action>\r\n"
                          + QByteArray("<e>").repeated(300) + QByteArray("</e>").repeated(300) + "</Export>\r\n")
            << std::optional(tooDeep);
        QTest::newRow("Mac Roman, counted in the repaired text")
            << QByteArray("<?xml version=\"1.0\" encoding=\"macintosh\"?>\r\n<Export>\r\n<Action>Entire "
                          "Plot</Action>\r\n<Note>Fr\x9Fhling\x01</Nope>")
            << std::optional(at(4, 15, "an end tag that does not close <Note>"));
    }
    void firstError()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(std::optional<engine::XmlError>, expected);
        writeFile(path("show.xml"), bytes);
        const engine::SurveyReport report = engine::SurveyTheFile(platform::FileRef(path("show.xml")), false, true);
        QVERIFY(report.xmlChecked);
        QCOMPARE(report.xmlError, expected);
        const engine::RepairOutcome outcome = engine::RepairTheFile(platform::FileRef(path("show.xml")), false, true);
        QCOMPARE(outcome.code, *report.resultCode);
        QCOMPARE(outcome.xmlError, expected);
    }

    // The any-file mode cleans any text and checks nothing.
    void anyFileIsNotChecked()
    {
        writeFile(path("notes.txt"), "a & b\x01");
        const engine::SurveyReport report = engine::SurveyTheFile(platform::FileRef(path("notes.txt")), true, true);
        QVERIFY(!report.xmlChecked);
        QCOMPARE(engine::RepairTheFile(platform::FileRef(path("notes.txt")), true, true).xmlError, std::nullopt);
    }
};

QTEST_GUILESS_MAIN(XmlCheckTest)
#include "tst_xml_check.moc"
