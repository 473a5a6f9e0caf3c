#pragma once

#include "engine/result_code.h"
#include "engine/yield_callback.h"
#include "platform/text/text.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace quillmend::tests {

/// A folder's entries by name, with their content (folderContents).
using Contents = QMap<QString, QByteArray>;

/// A temporary folder for the tests of one class, emptied before each test.
class ScratchFolder {
public:
    const QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    /// Removes everything in the folder.
    void empty();

private:
    QTemporaryDir m_dir;
};

/// Writes `bytes` to `path`, replacing it; fails the test run if it cannot.
void writeFile(const QString& path, const QByteArray& bytes);
/// The content of `path`, or a null array when it cannot be read.
QByteArray readFile(const QString& path);
/// The content of `path` as a repair reads it: labelled UTF-16 after a
/// UTF-16 byte-order mark, unlabelled otherwise.
platform::Text readText(const QString& path);
#ifndef _WIN32
/// The same for the entry `name` of `folder`, a name spelt byte for byte,
/// which need not be text.
void writeFile(const QString& folder, const QByteArray& name, const QByteArray& bytes);
QByteArray readFile(const QString& folder, const QByteArray& name);
/// Runs `body` in a child process, which ends with exit status 0 after it,
/// and returns the child's wait status: how it ended (killed by a signal,
/// say) as waitpid() tells it.
int waitStatusOfChild(const std::function<void()>& body);
#endif
/// Makes `path` read-only for everyone (0444; on Windows its read-only
/// attribute), or writable for its owner again (0755).
void makeReadOnly(const QString& path);
void makeWritable(const QString& path);
/// Every entry of `folder` (hidden ones included) with its content; folders
/// and other non-files map to a null array.
Contents folderContents(const QString& folder);
/// `contents` in a line for a failure's message: each name with its bytes
/// (in hex where they are not printable).
QByteArray describe(const Contents& contents);

/// `text` as UTF-16, little-endian, after a byte-order mark.
QByteArray utf16LittleEndianWithMark(const QString& text);

/// FNProcessTheFile on the file at `path`, with its options and, where given,
/// what it lets run now and then.
engine::ResultCode repair(const QString& path, bool anyFile = false, bool removeTabs = true,
                          const engine::YieldCallback& yield = {});

/// A small full export with control characters, CR LF line ends and
/// non-ASCII text, as UTF-8; and what a repair makes of it.
QByteArray sampleExport();
QByteArray repairedSampleExport();

} // namespace quillmend::tests
