// LeftoverNote: written before a name is taken, settled by the next repair.
#include "platform/files/internal/leftover_note.h"

#include "platform/files/file_descriptor.h"
#include "platform/files/file_error.h"
#include "platform/files/file_reader.h"
#include "platform/files/internal/kept_copy.h"
#include "platform/system/system_calls.h"

#include <QCryptographicHash>
#include <QList>

#include <cerrno>

namespace quillmend::platform::internal {

namespace {

// The first line tells whoever opens the note what it is; the rest is for
// the next repair.
const char kHeader[] = "Quillmend repair note: the name below holds a copy of the original only while a repair runs.\n";
constexpr std::size_t kMaxNote = 4096;

// Names go in the system's own units, so that no name that is no valid
// text is spelt otherwise on its way back.
QByteArray nameField(const NativeName& name)
{
    const NativeName::Units& units = name.units();
    return QByteArray(reinterpret_cast<const char*>(units.constData()), units.size() * qsizetype(sizeof(NativeChar)))
        .toHex();
}

NativeName nameFromField(const QByteArray& field)
{
    const QByteArray bytes = QByteArray::fromHex(field);
    if (bytes.isEmpty() || bytes.size() % qsizetype(sizeof(NativeChar)) != 0)
        return NativeName();
    const NativeString units(reinterpret_cast<const NativeChar*>(bytes.constData()),
                             std::size_t(bytes.size()) / sizeof(NativeChar));
    // A leaf name in the note's own folder, never a way out of it.
    for (const NativeChar unit : units) {
        if (unit == NativeChar(0) || unit == NativeChar('/') || unit == NativeChar(SystemCalls::pathSeparator()))
            return NativeName();
    }
    if (units == NativeString(1, NativeChar('.')) || units == NativeString(2, NativeChar('.')))
        return NativeName();
    return NativeName::fromSystem(units);
}

struct Note {
    NativeName copy;
    NativeName file;
    FileIdentity original;
    QByteArray digest;
    bool meantime = false;
};

// One field a line: the copy's name, the file's, the original's device,
// inode, size, time (seconds, nanoseconds), the digest, and 1 for a copy
// kept only meanwhile.
constexpr qsizetype kFields = 9;

bool parse(const QByteArray& text, Note& note)
{
    if (!text.startsWith(kHeader) || !text.endsWith('\n'))
        return false;
    const QList<QByteArray> lines = text.mid(qsizetype(sizeof kHeader - 1)).chopped(1).split('\n');
    if (lines.size() != kFields || (lines[8] != "0" && lines[8] != "1"))
        return false;
    bool ok[5] = {};
    note.copy = nameFromField(lines[0]);
    note.file = nameFromField(lines[1]);
    note.original.device = lines[2].toULongLong(&ok[0]);
    note.original.inode = lines[3].toULongLong(&ok[1]);
    note.original.size = lines[4].toLongLong(&ok[2]);
    note.original.modified.tv_sec = time_t(lines[5].toLongLong(&ok[3]));
    note.original.modified.tv_nsec = long(lines[6].toLong(&ok[4]));
    note.digest = QByteArray::fromHex(lines[7]);
    note.meantime = lines[8] == "1";
    for (const bool fieldOk : ok) {
        if (!fieldOk)
            return false;
    }
    return !note.copy.isEmpty() && !note.file.isEmpty() && note.copy != note.file;
}

// Whether `file` holds `size` bytes of `digest`.
bool holds(FileDescriptor& file, std::int64_t size, const QByteArray& digest)
{
    FileStatus status;
    if (digest.isEmpty() || SystemCalls::current().fstat(file.get(), &status) < 0 || status.size != size)
        return false;
    QCryptographicHash hash(FileReader::kDigestAlgorithm);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    while (const std::size_t n = file.readFully(chunk.data(), std::size_t(chunk.size())))
        hash.addData(QByteArrayView(chunk.constData(), qsizetype(n)));
    return hash.result() == digest;
}

bool later(const timespec& a, const timespec& b)
{
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec >= b.tv_nsec);
}

} // namespace

void LeftoverNote::write(const FileRef& file, const NativeName& copyName, const FileIdentity& original,
                         const QByteArray& digest, bool meantime)
{
    m_note.discard();
    m_note = TemporaryFile::create(file.parent());
    m_note.giveName();
    const QByteArray text = kHeader + nameField(copyName) + '\n' + nameField(file.name()) + '\n'
        + QByteArray::number(qulonglong(original.device)) + '\n' + QByteArray::number(qulonglong(original.inode)) + '\n'
        + QByteArray::number(qlonglong(original.size)) + '\n' + QByteArray::number(qlonglong(original.modified.tv_sec))
        + '\n' + QByteArray::number(qlonglong(original.modified.tv_nsec)) + '\n' + digest.toHex() + '\n'
        + (meantime ? "1" : "0") + '\n';
    m_note.descriptor().writeFully(text.constData(), std::size_t(text.size()));
}

void LeftoverNote::settle(const FileRef& folder, int fd) noexcept
{
    try {
        SystemCalls& system = SystemCalls::current();
        FileStatus noteStatus;
        if (system.fstat(fd, &noteStatus) < 0 || noteStatus.size > std::int64_t(kMaxNote))
            return;
        QByteArray text(qsizetype(kMaxNote), Qt::Uninitialized);
        std::int64_t got = 0;
        while (got < std::int64_t(kMaxNote)) {
            const std::ptrdiff_t n = system.read(fd, text.data() + got, std::size_t(std::int64_t(kMaxNote) - got));
            if (n <= 0)
                break;
            got += n;
        }
        Note note;
        if (!parse(text.left(qsizetype(got)), note))
            return;
        const FileRef copy = folder.child(note.copy);
        FileDescriptor held(system.open(copy.path().system(), OpenFlag::NoFollow | OpenFlag::NonBlocking), copy.path());
        FileStatus status;
        if (!held.isOpen() || system.fstat(held.get(), &status) < 0 || !status.isRegular())
            return;
        // Killed between the claim's creation and its record: made after the
        // note, so not a file that was there before.
        const bool emptyClaim = status.size == 0 && later(status.modified, noteStatus.modified);
        // The original itself (where times are fine enough to tell it), or
        // its bytes, while the file's own name still holds one of its two
        // contents: the copy was only ever to stand in meanwhile.
        const FileIdentity found = FileIdentity::fromStatus(status);
        const bool standIn = note.meantime && folder.child(note.file).isRegularFile()
            && ((!note.original.hasCoarseTimes() && found.sameFileAndContent(note.original))
                || holds(held, note.original.size, note.digest));
        held.close();
        if (emptyClaim || standIn || KeptCopy::isStaleClaim(copy))
            TemporaryFile::removeOwnName(copy.path());
    } catch (...) {
        // Whatever could not be looked at stays.
    }
}

} // namespace quillmend::platform::internal
