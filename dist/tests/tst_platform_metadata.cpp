// The macOS Info.plist and the Windows version resource as CMake makes them
// from the version record: checked on their text, on any build machine.
#include "quillmend/version.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QVariant>
#include <QXmlStreamReader>

namespace {

QVariant readPlistValue(QXmlStreamReader& xml);

// The property list's top dictionary as nested QVariantMap / QVariantList.
QVariantMap readPlistDict(QXmlStreamReader& xml)
{
    QVariantMap dict;
    QString key;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("key"))
            key = xml.readElementText();
        else
            dict.insert(key, readPlistValue(xml));
    }
    return dict;
}

QVariant readPlistValue(QXmlStreamReader& xml)
{
    const QString type = xml.name().toString();
    if (type == QLatin1String("dict"))
        return readPlistDict(xml);
    if (type == QLatin1String("array")) {
        QVariantList list;
        while (xml.readNextStartElement())
            list << readPlistValue(xml);
        return list;
    }
    if (type == QLatin1String("true") || type == QLatin1String("false")) {
        xml.skipCurrentElement();
        return type == QLatin1String("true");
    }
    return xml.readElementText();
}

QByteArray readText(const char* path)
{
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class PlatformMetadataTest : public QObject {
    Q_OBJECT

private:
    QVariantMap m_plist;

private slots:
    void initTestCase()
    {
        QXmlStreamReader xml(readText(QUILLMEND_INFO_PLIST));
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QLatin1String("plist"));
        QVERIFY(xml.readNextStartElement());
        m_plist = readPlistDict(xml);
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    }

    void bundleKeys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("name") << "CFBundleName" << QVariant("Quillmend");
        QTest::newRow("executable") << "CFBundleExecutable" << QVariant("quillmend");
        QTest::newRow("identifier") << "CFBundleIdentifier" << QVariant("org.quillmend.Quillmend");
        using namespace quillmend;
        const QString release = QStringLiteral("%1.%2.%3").arg(kMajorVersion).arg(kMinorVersion).arg(kBugVersion);
        QTest::newRow("short version") << "CFBundleShortVersionString" << QVariant(release);
        QTest::newRow("build text") << "CFBundleLongVersionString" << QVariant(QString(kShortVersion));
        QTest::newRow("info text") << "CFBundleGetInfoString" << QVariant(QString(kShortVersion));
        QTest::newRow("version") << "CFBundleVersion" << QVariant(release + '.' + QString::number(kNonReleaseVersion));
        QTest::newRow("high resolution") << "NSHighResolutionCapable" << QVariant(true);
        QTest::newRow("oldest macOS of Qt 6.4") << "LSMinimumSystemVersion" << QVariant("10.14");
        QTest::newRow("application") << "CFBundlePackageType" << QVariant("APPL");
    }
    void bundleKeys()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QCOMPARE(m_plist.value(key), value);
    }

    // The XML type that the program uses but does not define.
    void importedXmlType()
    {
        const QVariantList imported = m_plist.value("UTImportedTypeDeclarations").toList();
        QCOMPARE(imported.size(), 1);
        const QVariantMap xmlType = imported.first().toMap();
        QCOMPARE(xmlType.value("UTTypeIdentifier"), QVariant("public.xml"));
        QCOMPARE(xmlType.value("UTTypeConformsTo"), QVariant(QVariantList{"public.data"}));
        const QVariantMap tags = xmlType.value("UTTypeTagSpecification").toMap();
        QCOMPARE(tags.value("com.apple.ostype"), QVariant(QVariantList{"TEXT"}));
        QCOMPARE(tags.value("public.filename-extension"), QVariant(QVariantList{"xml"}));
        QVERIFY(!m_plist.contains("UTExportedTypeDeclarations"));
    }

    void windowsVersionResource_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("file version") << R"(\nFILEVERSION\s+1,0,1,2\n)";
        QTest::newRow("product version") << R"(\nPRODUCTVERSION\s+1,0,1,2\n)";
        QTest::newRow("file version text") << R"(VALUE "FileVersion",\s+"1\.0\.1 build 2")";
        QTest::newRow("product version text") << R"(VALUE "ProductVersion",\s+"1\.0\.1 build 2")";
        QTest::newRow("product name") << R"(VALUE "ProductName",\s+"Quillmend")";
        QTest::newRow("file name") << R"(VALUE "OriginalFilename",\s+"quillmend\.exe")";
        QTest::newRow("an application") << R"(\nFILETYPE\s+VFT_APP\n)";
        QTest::newRow("the icon that Qt gives its windows") << R"(\nIDI_ICON1\s+ICON\s)";
    }
    void windowsVersionResource()
    {
        QFETCH(QString, pattern);
        const QString resource = QString::fromLatin1(readText(QUILLMEND_WINDOWS_RESOURCE));
        QVERIFY(!resource.contains('@'));
        QVERIFY2(QRegularExpression(pattern).match(resource).hasMatch(), qPrintable(pattern));
    }
};

QTEST_GUILESS_MAIN(PlatformMetadataTest)
#include "tst_platform_metadata.moc"
