#include "cli/command_line_tool.h"

#include "engine/request.h"
#include "platform/encoding_error.h"
#include "platform/file_error.h"
#include "quillmend/version.h"

#include <QFile>

#include <algorithm>

namespace quillmend::cli {

namespace {

const char kUsage[] = "Usage: quillmend-cli [--any-file] [--preserve-tabs] FILE...\n"
                      "Repairs each FILE in place: removes control characters, and for a full\n"
                      "export rewrites its AppStamp entries, keeping the former content as\n"
                      "\"NAME (Original).EXT\".\n"
                      "\n"
                      "  --any-file       clean any file: no export check, no AppStamp rewrite,\n"
                      "                   and a name with an extension is rewritten in place\n"
                      "  --preserve-tabs  keep tab characters (only with --any-file)\n"
                      "  --help           show this text\n"
                      "  --version        show the version\n"
                      "\n"
                      "Exit status: 0 all repaired or fine, 1 a file was refused, 2 an error, 64 bad usage.\n";

// Prints what a request tells the user, each line after the file's path.
class PrintingSinks : public engine::StatusSink, public engine::MessageSink {
public:
    explicit PrintingSinks(std::function<void(const QString&)> print)
        : m_print(std::move(print))
    {
    }
    void SetStatusText(const QString& text) override { m_status = text; }
    void RedrawStatusNow() override {}
    void ShowModalMessage(const QString& text) override { m_print(text); }
    const QString& status() const { return m_status; }

private:
    std::function<void(const QString&)> m_print;
    QString m_status;
};

} // namespace

CommandLineTool::CommandLineTool(std::FILE* out, std::FILE* err)
    : m_out(out)
    , m_err(err)
{
}

int CommandLineTool::run(const QStringList& arguments)
{
    bool anyFile = false;
    bool preserveTabs = false;
    bool optionsEnded = false;
    QStringList files;
    for (const QString& argument : arguments) {
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            files << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--any-file")) {
            anyFile = true;
        } else if (argument == QLatin1String("--preserve-tabs")) {
            preserveTabs = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(kUsage, m_out);
            return kExitOk;
        } else if (argument == QLatin1String("--version")) {
            printLine(m_out, QStringLiteral("quillmend-cli ") + QLatin1String(kShortVersion));
            return kExitOk;
        } else {
            printLine(m_err, QStringLiteral("quillmend-cli: unknown option ") + argument);
            std::fputs(kUsage, m_err);
            return kExitUsage;
        }
    }
    if (files.isEmpty()) {
        printLine(m_err, QStringLiteral("quillmend-cli: no file named"));
        std::fputs(kUsage, m_err);
        return kExitUsage;
    }

    int status = kExitOk;
    for (const QString& file : files)
        status = std::max(status, repair(file, anyFile, preserveTabs));
    return status;
}

int CommandLineTool::repair(const QString& path, bool anyFile, bool preserveTabs)
{
    const auto printForFile = [&](const QString& text) { printLine(m_out, path + QStringLiteral(": ") + text); };
    PrintingSinks sinks(printForFile);
    try {
        const engine::RequestOutcome outcome
            = engine::DoIt(platform::FileRef(path), anyFile, preserveTabs, sinks, sinks);
        if (outcome.kind != engine::RequestOutcome::Kind::Ran)
            return kExitRefused;
        if (!sinks.status().isEmpty())
            printForFile(sinks.status());
        switch (outcome.code) {
        case engine::kResultDone:
        case engine::kResultUnchanged:
            return kExitOk;
        case engine::kResultNotFullExport:
        case engine::kResultEmpty:
            return kExitRefused;
        default:
            return kExitError;
        }
    } catch (const platform::FileError& error) {
        printLine(m_err, path + QStringLiteral(": ") + error.reason());
    } catch (const std::exception& error) {
        printLine(m_err, path + QStringLiteral(": ") + QString::fromLocal8Bit(error.what()));
    }
    return kExitError;
}

void CommandLineTool::printLine(std::FILE* stream, const QString& line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace quillmend::cli
