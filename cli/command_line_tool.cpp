// The command-line tool: options, repairs and checks of each file named, and what it prints.
#include "cli/command_line_tool.h"

#include "cli/survey_format.h"
#include "engine/failure_reason.h"
#include "engine/file_survey.h"
#include "engine/request.h"
#include "platform/text/encoding_error.h"
#include "quillmend/version.h"

#include <QFile>

#include <algorithm>

namespace quillmend::cli {

namespace {

const char kUsage[] = "Usage: quillmend-cli [--any-file] [--preserve-tabs] FILE...\n"
                      "       quillmend-cli --check [--json] [--any-file] [--preserve-tabs] FILE...\n"
                      "Repairs each FILE in place: removes control characters, and for a full\n"
                      "export rewrites its AppStamp entries, keeping the former content as\n"
                      "\"NAME (Original).EXT\".\n"
                      "\n"
                      "  --any-file       clean any file: no export check, no AppStamp rewrite,\n"
                      "                   and a name with an extension is rewritten in place\n"
                      "  --preserve-tabs  keep tab characters (only with --any-file)\n"
                      "  --check          change nothing; report what a repair would find and do\n"
                      "  --json           with --check: one JSON object per file, a line each\n"
                      "  --help           show this text\n"
                      "  --version        show the version\n"
                      "\n"
                      "Exit status: 0 all repaired or fine, 1 a file was refused, 2 an error, 64 bad usage;\n"
                      "with --check: 0 nothing to repair, 3 a repair would change a file, 1 a repair\n"
                      "would refuse a file, 2 a file cannot be read (the strongest of 2, 1, 3 wins).\n";

// Runs `work`; when it throws, the reason to tell the user instead.
template <typename Work>
std::optional<QString> failureOf(Work&& work)
{
    try {
        work();
        return std::nullopt;
    } catch (...) {
        return engine::FailureReason(std::current_exception());
    }
}

// The result codes of a file that a repair refuses rather than fails on.
bool refusesFile(engine::ResultCode code)
{
    return code == engine::kResultNotFullExport || code == engine::kResultEmpty;
}

// How strongly an exit status speaks when several files give different ones.
int strength(int status)
{
    switch (status) {
    case CommandLineTool::kExitError:
        return 3;
    case CommandLineTool::kExitRefused:
        return 2;
    case CommandLineTool::kExitWouldRepair:
        return 1;
    default:
        return 0;
    }
}

// Prints what a request tells the user, each line after the file's path.
class PrintingSink : public engine::RequestSink {
public:
    explicit PrintingSink(std::function<void(const QString&)> print)
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

int CommandLineTool::run(const QList<platform::NativeName>& arguments)
{
    bool anyFile = false;
    bool preserveTabs = false;
    bool checkOnly = false;
    bool json = false;
    bool optionsEnded = false;
    QList<platform::NativeName> files;
    for (const platform::NativeName& given : arguments) {
        const platform::NativeName::Units& argument = given.units();
        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            files << given;
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--any-file") {
            anyFile = true;
        } else if (argument == "--preserve-tabs") {
            preserveTabs = true;
        } else if (argument == "--check") {
            checkOnly = true;
        } else if (argument == "--json") {
            json = true;
        } else if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, m_out);
            return kExitOk;
        } else if (argument == "--version") {
            printLine(m_out, QStringLiteral("quillmend-cli ") + QLatin1String(kShortVersion));
            return kExitOk;
        } else {
            printLine(m_err, QStringLiteral("quillmend-cli: unknown option ") + given.toEscapedText());
            std::fputs(kUsage, m_err);
            return kExitUsage;
        }
    }
    if (json && !checkOnly) {
        printLine(m_err, QStringLiteral("quillmend-cli: --json goes with --check"));
        std::fputs(kUsage, m_err);
        return kExitUsage;
    }
    if (files.isEmpty()) {
        printLine(m_err, QStringLiteral("quillmend-cli: no file named"));
        std::fputs(kUsage, m_err);
        return kExitUsage;
    }

    int status = kExitOk;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const int fileStatus
            = checkOnly ? check(files[i], anyFile, preserveTabs, json) : repair(files[i], anyFile, preserveTabs);
        if (strength(fileStatus) > strength(status))
            status = fileStatus;
        // The files not reached yet are not repaired: a script must not
        // take them for done.
        if (m_interrupted)
            return i + 1 == files.size() ? status : 128 + m_interrupted;
    }
    return status;
}

int CommandLineTool::repair(const platform::NativeName& path, bool anyFile, bool preserveTabs)
{
    const QString shown = path.toEscapedText();
    const auto printForFile = [&](const QString& text) { printLine(m_out, shown + QStringLiteral(": ") + text); };
    PrintingSink sink(printForFile);
    int status = kExitError;
    const std::optional<QString> failure = failureOf([&] {
        const engine::RequestOutcome outcome = engine::DoIt(platform::FileRef(path), anyFile, preserveTabs, sink);
        if (outcome.kind != engine::RequestOutcome::Kind::Ran) {
            status = kExitRefused;
            return;
        }
        if (!outcome.reason.isEmpty())
            printForFile(sink.status() + QStringLiteral(" (") + outcome.reason + QLatin1Char(')'));
        else if (!sink.status().isEmpty())
            printForFile(sink.status());
        if (outcome.xmlError)
            printForFile(QStringLiteral("note: ") + engine::XmlNote(*outcome.xmlError));
        for (const platform::TemporaryFile::Leftover& leftover : outcome.leftovers)
            printForFile(QStringLiteral("note: ") + engine::LeftoverNote(leftover));
        // An interrupt that came as the repaired file took its name waited
        // for this outcome: the tool ends now, as what it did says.
        if (outcome.untilTold)
            m_interrupted = platform::InterruptCleanup::takeWaiting();
        if (refusesFile(outcome.code))
            status = kExitRefused;
        else
            status = outcome.code == engine::kResultDone || outcome.code == engine::kResultUnchanged ? kExitOk
                                                                                                     : kExitError;
    });
    if (failure)
        printLine(m_err, shown + QStringLiteral(": ") + *failure);
    return status;
}

int CommandLineTool::check(const platform::NativeName& path, bool anyFile, bool preserveTabs, bool json)
{
    int status = kExitError;
    const std::optional<QString> failure = failureOf([&] {
        const engine::SurveyReport report
            = engine::SurveyTheFile(platform::FileRef(path), anyFile, engine::RemovesTabs(anyFile, preserveTabs));
        const QByteArray printed = json ? SurveyAsJson(path, report) : SurveyAsText(path, report).toUtf8();
        std::fputs(printed.constData(), m_out);
        std::fflush(m_out);
        if (report.refusal || (report.resultCode && refusesFile(*report.resultCode)))
            status = kExitRefused;
        else
            status = report.resultCode == engine::kResultDone ? kExitWouldRepair : kExitOk;
    });
    if (failure && json) {
        std::fputs(SurveyFailureAsJson(path, *failure).constData(), m_out);
        std::fflush(m_out);
    } else if (failure) {
        printLine(m_err, path.toEscapedText() + QStringLiteral(": ") + *failure);
    }
    return status;
}

void CommandLineTool::printLine(std::FILE* stream, const QString& line)
{
    // UTF-8 everywhere: Qt reads the locale as UTF-8 on Linux and macOS, and
    // on Windows main() sets the console to it.
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stream);
    std::fflush(stream);
}

} // namespace quillmend::cli
