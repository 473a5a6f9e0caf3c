// The version record, as the About window and the desktop show it.
#pragma once

#include <QString>

namespace quillmend::shell {

/// The application's version, as the desktop shows it.
struct VersionRecord {
    int MajorVersion = 0;
    int MinorVersion = 0;
    int BugVersion = 0;
    int NonReleaseVersion = 0;
    int StageCode = 0;
    QString ShortVersion;
    QString LongVersion;
    QString PackageInfo;
};

} // namespace quillmend::shell
