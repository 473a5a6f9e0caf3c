// The seam's promises that a repair's safety rests on, against the real
// system of each backend: a taken name is never replaced where the call
// says it is not, a lock keeps a second holder out but no reader, a swap
// of names is whole or not made at all.
#include "platform/system/system_calls.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace quillmend::platform;

namespace {

// The system's spelling of a path made here, which is plain text.
template <typename Unit = NativeChar>
std::basic_string<Unit> native(const QString& path)
{
    if constexpr (sizeof(NativeChar) == 1)
        return QFile::encodeName(path).toStdString();
    else
        return path.toStdWString();
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

} // namespace

class SystemCallsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        write(m_dir.filePath("a"), "first");
        write(m_dir.filePath("b"), "second");
    }

    void takenNamesStay()
    {
        SystemCalls& system = SystemCalls::current();
        const NativeString a = native(m_dir.filePath("a"));
        const NativeString b = native(m_dir.filePath("b"));
        QCOMPARE(system.open(b.c_str(), OpenFlag::Write | OpenFlag::Create | OpenFlag::Exclusive, 0600), -1);
        QCOMPARE(errno, EEXIST);
        QCOMPARE(system.renameNoReplace(a.c_str(), b.c_str()), -1);
        QVERIFY2(errno == EEXIST || errno == ENOSYS, qPrintable(QString::number(errno)));
        QCOMPARE(contentOf(m_dir.filePath("a")), QByteArray("first"));
        QCOMPARE(contentOf(m_dir.filePath("b")), QByteArray("second"));
    }

    void lockKeepsOutHoldersNotReaders()
    {
        SystemCalls& system = SystemCalls::current();
        const NativeString a = native(m_dir.filePath("a"));
        const int first = system.open(a.c_str(), OpenFlag::Read);
        const int second = system.open(a.c_str(), OpenFlag::Read);
        QVERIFY(first >= 0 && second >= 0);
        QCOMPARE(system.lock(first, LockMode::TryExclusive), 0);
        QCOMPARE(system.lock(second, LockMode::TryExclusive), -1);
        QCOMPARE(errno, EWOULDBLOCK);
        char bytes[8] = {};
        QCOMPARE(system.read(second, bytes, sizeof bytes), std::ptrdiff_t(5));
        QCOMPARE(QByteArray(bytes), QByteArray("first"));
        QCOMPARE(system.lock(first, LockMode::Release), 0);
        QCOMPARE(system.lock(second, LockMode::TryExclusive), 0);
        system.close(first);
        system.close(second);
    }

    void swapIsWholeOrNone()
    {
        const NativeString a = native(m_dir.filePath("a"));
        const NativeString b = native(m_dir.filePath("b"));
        const bool swapped = SystemCalls::current().exchange(a.c_str(), b.c_str()) == 0;
        QVERIFY2(swapped || errno == ENOSYS, qPrintable(QString::number(errno)));
        QCOMPARE(contentOf(m_dir.filePath("a")), swapped ? QByteArray("second") : QByteArray("first"));
        QCOMPARE(contentOf(m_dir.filePath("b")), swapped ? QByteArray("first") : QByteArray("second"));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(SystemCallsTest)
#include "tst_system_calls.moc"
