// Dialogs: file choice and messages, the desktop's own.
#include "shell/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace quillmend::shell {

namespace {

Dialogs* installed = nullptr;

} // namespace

Dialogs& Dialogs::current()
{
    static Dialogs real;
    return installed ? *installed : real;
}

Dialogs* Dialogs::install(Dialogs* dialogs)
{
    Dialogs* previous = installed;
    installed = dialogs;
    return previous;
}

void Dialogs::showMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillmend"), text, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> Dialogs::chooseFile(QWidget* parent, const QString& title, const QString& nameFilter)
{
    // The filter's patterns are for the dialog, not for the user to read.
    const QString chosen = QFileDialog::getOpenFileName(parent, title, QString(), nameFilter, nullptr,
                                                        QFileDialog::HideNameFilterDetails);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

} // namespace quillmend::shell
