// The command-line tool, quillmend-cli, for scripts and for users of a terminal.
#pragma once

#include "platform/files/native_name.h"

#include <QList>
#include <QString>

#include <cstdio>

namespace quillmend::cli {

/// quillmend-cli: runs a repair request on each file named on the command line.
///
///   quillmend-cli [--any-file] [--preserve-tabs] FILE...
///   quillmend-cli --check [--json] [--any-file] [--preserve-tabs] FILE...
///
/// Prints each file's final status text, and each message a request shows,
/// on a line of its own after the file's path. A path is printed with its
/// control characters and the bytes that are not UTF-8 escaped, so that no
/// name can speak to the terminal. Exit status: 0 when every file
/// was repaired or needed nothing, 1 when any was refused, 2 when any failed,
/// 64 for bad usage.
///
/// With --check nothing is written: it reports, for each file, what a repair
/// would find and do (see engine::SurveyTheFile), as text or, with --json, as
/// one JSON object per line. Exit status: 0 when no file needs a repair, 3
/// when a repair would change one; 1 when a repair would refuse one and 2
/// when one cannot be read take precedence, in that order of strength: 2, 1, 3.
class CommandLineTool {
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitRefused = 1;
    static constexpr int kExitError = 2;
    static constexpr int kExitWouldRepair = 3;
    static constexpr int kExitUsage = 64;

    CommandLineTool(std::FILE* out, std::FILE* err);

    /// Runs with `arguments` (without the program's name), each as the
    /// system spells it, and returns the exit status.
    int run(const QList<platform::NativeName>& arguments);

private:
    int repair(const platform::NativeName& path, bool anyFile, bool preserveTabs);
    /// The interrupt that came as a repaired file took its name, once its
    /// outcome is told; 0 while none has.
    int m_interrupted = 0;
    int check(const platform::NativeName& path, bool anyFile, bool preserveTabs, bool json);
    void printLine(std::FILE* stream, const QString& line);

    std::FILE* m_out;
    std::FILE* m_err;
};

} // namespace quillmend::cli
