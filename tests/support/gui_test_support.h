#pragma once

#include "shell/app.h"
#include "shell/dialogs.h"
#include "shell/file_types.h"

#include <QStringList>
#include <QTest>

#include <optional>

namespace quillmend::tests {

/// Answers the windows' dialogs as a test scripts them, and records them.
class ScriptedDialogs : public shell::Dialogs {
public:
    ScriptedDialogs() : m_previous(shell::Dialogs::install(this)) {}
    ~ScriptedDialogs() override { shell::Dialogs::install(m_previous); }

    QStringList messages;
    QStringList fileDialogs; // "title | filter" of each open dialog shown
    std::optional<QString> fileToChoose;

    void showMessage(QWidget*, const QString& text) override { messages << text; }
    std::optional<QString> chooseFile(QWidget*, const QString& title, const QString& nameFilter) override
    {
        fileDialogs << title + QStringLiteral(" | ") + nameFilter;
        return fileToChoose;
    }

private:
    shell::Dialogs* m_previous;
};

} // namespace quillmend::tests

/// A main() that starts the program's own application object, as the program does.
#define QUILLMEND_GUI_TEST_MAIN(TestClass) \
    int main(int argc, char* argv[]) \
    { \
        quillmend::shell::FileTypeXML::Initialize(); \
        quillmend::shell::App app(argc, argv); \
        TestClass test; \
        return QTest::qExec(&test, argc, argv); \
    }
