#pragma once

#include "shell/about_window.h"
#include "shell/app.h"
#include "shell/dialogs.h"
#include "shell/file_types.h"

#include <QApplication>
#include <QColor>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <optional>

namespace quillmend::tests {

/// The contrast ratio of two colours as WCAG 2 defines it, from 1 to 21.
inline double ContrastRatio(const QColor& first, const QColor& second)
{
    const auto luminance = [](const QColor& colour) {
        const auto channel
            = [](double value) { return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
    };
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

/// The About windows that are open, oldest first.
inline QList<shell::AboutWnd*> aboutWindows()
{
    QList<shell::AboutWnd*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* about = qobject_cast<shell::AboutWnd*>(widget); about && about->isVisible())
            windows << about;
    }
    return windows;
}

/// Answers the windows' dialogs as a test scripts them, and records them.
class ScriptedDialogs : public shell::Dialogs {
public:
    ScriptedDialogs()
        : m_previous(shell::Dialogs::install(this))
    {
    }
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
#define QUILLMEND_GUI_TEST_MAIN(TestClass)                                                                             \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        quillmend::shell::FileTypeXML::Initialize();                                                                   \
        quillmend::shell::App app(argc, argv);                                                                         \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
