#pragma once

#include "tests/support/test_files.h"

#include <QObject>

namespace quillmend::tests {

/// A suite of repairs of real files: each case starts in an empty scratch
/// folder, with the sample export, as written and as repaired, at hand.
///
///     class RepairPassTest : public FolderSuite {
///         Q_OBJECT
///     private slots:
///         void repairs() { writeFile(path("show.xml"), kDirty); ... }
///     };
class FolderSuite : public QObject {
    Q_OBJECT

protected:
    const QByteArray kDirty = sampleExport();
    const QByteArray kClean = repairedSampleExport();

    ScratchFolder m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void init() { m_dir.empty(); }
};

} // namespace quillmend::tests
