// Window1: the main window, its options, drops and repairs.
#include "shell/main_window.h"

#include "engine/repair_pass.h"
#include "engine/request.h"
#include "engine/yield_pacer.h"
#include "platform/files/file_error.h"
#include "platform/files/file_ref.h"
#include "shell/about_window.h"
#include "shell/accessibility.h"
#include "shell/app.h"
#include "shell/busy_state.h"
#include "shell/designed_text.h"
#include "shell/dialogs.h"
#include "shell/file_types.h"
#include "shell/menu_bar.h"
#include "shell/window_controls.h"
#include "shell/window_fit.h"

#include <QAccessible>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace quillmend::shell {

namespace {

const QSize kDesignedContent(600, 405);

const char kInstructions[]
    = "This utility processes a Vectorworks .xml file, removing all control characters and changing the AppStamp "
      "entries to \"Marlowbrook\", which forces Vectorworks to import the clean data.\r\r"
      "To begin, do a \"Full Export on Exit\" in Vectorworks' Document Preferences/Marlowbrook Data Exchange, "
      "which creates an .xml file.\r\r"
      "In this app, choose File/Open to select the .xml file, or drag and drop the .xml file onto this window.";

const char kOptionsExplained[] = "Choosing either of these options just cleans the file of control characters. "
                                 "They are not useful for repairing .xml files made by Vectorworks.";

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry, const QColor& colour,
                  bool multiLine)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(multiLine);
    label->setAlignment(Qt::AlignLeft | (multiLine ? Qt::AlignTop : Qt::AlignVCenter));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& caption, const QRect& geometry)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    box->setChecked(false);
    return box;
}

} // namespace

Window1::Window1()
{
    setObjectName(QStringLiteral("Window1"));
    // Where the menu bar is at the top of the screen, it stays the
    // application's, apart from any window.
    if (MainMenuBar::place() == MenuBarPlace::InWindow)
        setMenuBar(MainMenuBar::instance());
    setWindowTitle(QStringLiteral("Tallowick"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    LimitWindowActions(this, Closing::Refused);

    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("Content"));
    m_content->setFixedSize(kDesignedContent);
    CreateControls(m_content);
    m_body = MakeBody(this, m_content);
    // The whole window takes a drop; a screen reader says so.
    m_body->setAccessibleName(QStringLiteral("Drop area"));
    m_body->setAccessibleDescription(QStringLiteral("Drop an .xml file here"));
    // The tab order starts at the first option, and the focus is there from
    // the start: the body scrolls with its bars and the mouse wheel only.
    m_body->setFocusPolicy(Qt::NoFocus);
    m_notJustVWBtn->setFocus(Qt::OtherFocusReason);
    setCentralWidget(m_body);
    fitToTextAndScreen();
    RefitWhenNeeded(this, [this] { fitToTextAndScreen(); });

    AddMenuHandlers();
    Event_Open();
}

void Window1::CreateControls(QWidget* content)
{
    m_instructLabel = makeLabel(content, "InstructLabel", DesignedText(QString::fromUtf8(kInstructions)),
                                QRect(20, 20, 560, 185), QColor(13, 24, 34), true);
    m_resultsLabel = makeLabel(content, "ResultsLabel", QString(), QRect(20, 345, 560, 40), QColor(194, 0, 9), true);
    SetAccessibleRole(m_resultsLabel, QAccessible::Notification);
    QFont bold = m_resultsLabel->font();
    bold.setBold(true);
    m_resultsLabel->setFont(bold);
    m_label1 = makeLabel(content, "Label1", QStringLiteral("OPTIONS:"), QRect(20, 217, 100, 20), Qt::black, false);
    // The options are one group, named by the label before them: a screen
    // reader speaks each box by its own caption, within "OPTIONS:". (A
    // label relation on each box would take the place of its caption.)
    auto* options = new QWidget(content);
    options->setObjectName(QStringLiteral("Options"));
    options->setGeometry(150, 217, 430, 52);
    SetAccessibleRole(options, QAccessible::Grouping);
    m_label1->setBuddy(options);
    m_notJustVWBtn
        = makeCheckBox(options, "NotJustVWBtn", QStringLiteral("Use on any file, not just Vectorworks .xml files"),
                       QRect(0, 0, 430, 20));
    m_preserveTabsBtn
        = makeCheckBox(options, "PreserveTabsBtn", QStringLiteral("Preserve tab characters"), QRect(0, 32, 430, 20));
    m_label2
        = makeLabel(content, "Label2", QString::fromUtf8(kOptionsExplained), QRect(20, 281, 560, 47), Qt::black, true);
}

void Window1::fitToTextAndScreen()
{
    // The status line holds the longest of its texts, whichever it shows.
    const auto neededHeight = [this](const QWidget* control, int width) {
        if (control != m_resultsLabel)
            return 0;
        const QFontMetrics metrics(m_resultsLabel->font());
        int needed = 0;
        for (const QString& text : engine::StatusTexts())
            needed = std::max(
                needed,
                metrics.boundingRect(QRect(0, 0, width, QWIDGETSIZE_MAX), Qt::AlignLeft | Qt::TextWordWrap, text)
                    .height());
        return needed;
    };
    // The 600 x 405 are the content's; a menu bar inside the window comes on top.
    const int chrome = MainMenuBar::place() == MenuBarPlace::InWindow ? menuBar()->sizeHint().height() : 0;
    FitToTextAndScreen(this, m_body, kDesignedContent, neededHeight, chrome);
}

void Window1::AddMenuHandlers()
{
    const MainMenuBar* menuBar = MainMenuBar::instance();
    connect(menuBar->item(QStringLiteral("FileOpenItem")), &QAction::triggered, this,
            [this] { FileOpenItem_Action(); });
    connect(menuBar->item(QStringLiteral("AboutThisApplication")), &QAction::triggered, this,
            [this] { AboutThisApplication_Action(); });
}

void Window1::Event_Open()
{
    m_acceptedFileType = FileTypeXML::XML().toString();
    setAcceptDrops(true);
}

void Window1::SetStatusText(const QString& text)
{
    ShowNotification(m_resultsLabel, text);
    // Where the body scrolls (large text on a small screen), the outcome is
    // seen where the user looks for it, and the messages after it follow it.
    m_body->ensureWidgetVisible(m_resultsLabel, 0, 0);
}

void Window1::RedrawStatusNow()
{
    m_resultsLabel->repaint();
    // The request shows its progress just before the repair pass runs: from
    // here to the request's end the window is busy. (Before, its refusals'
    // messages still take the user's clicks.)
    if (m_repairing && !m_busy)
        m_busy.emplace();
}

void Window1::ShowModalMessage(const QString& text)
{
    Dialogs::current().showMessage(this, text);
}

bool Window1::FileOpenItem_Action()
{
    if (m_repairing)
        return true;
    const FileType* type = FileType::registered(m_acceptedFileType);
    const std::optional<QString> chosen = Dialogs::current().chooseFile(this, QStringLiteral("Select an .xml file"),
                                                                        type ? type->nameFilter() : QString());
    if (!chosen)
        return true;
    // The dialog shows names as text; the file is the one that shows so.
    try {
        repair(platform::FileRef::fromShownPath(*chosen));
    } catch (const platform::FileError& error) {
        showCannotRepair(error.reason());
    }
    return true;
}

bool Window1::AboutThisApplication_Action()
{
    auto* about = new AboutWnd;
    QString text = about->AboutLabel()->text();
    text.replace(QLatin1String("xxxx"), App::instance()->Version());
    about->AboutLabel()->setText(QStringLiteral("64 bit ") + text);
    about->show();
    return true;
}

std::optional<platform::FileRef> Window1::firstAcceptedFile(const QMimeData* data) const
{
    const FileType* type = FileType::registered(m_acceptedFileType);
    if (!data || !type || !acceptDrops())
        return std::nullopt;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || !type->matchesFileName(url.fileName()))
            continue;
        return platform::FileRef(platform::NativeName::fromLocalFileUrl(url));
    }
    return std::nullopt;
}

void Window1::Event_DropObject(const QMimeData* data)
{
    if (const std::optional<platform::FileRef> file = firstAcceptedFile(data))
        repair(*file);
}

void Window1::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void Window1::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_repairing && firstAcceptedFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void Window1::dropEvent(QDropEvent* event)
{
    if (m_repairing || !firstAcceptedFile(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Event_DropObject(event->mimeData());
}

void Window1::closeEvent(QCloseEvent* event)
{
    // The window has no close button and the program ends only through Quit:
    // a close request of the window manager is turned down.
    const App* app = App::instance();
    if (app && app->quitting())
        event->accept();
    else
        event->ignore();
}

void Window1::showCannotRepair(const QString& reason)
{
    ShowModalMessage(QStringLiteral("This file cannot be repaired: %1.").arg(reason));
}

void Window1::repair(const platform::FileRef& file)
{
    if (m_repairing)
        return;
    m_repairing = true;
    const QScopeGuard repaired([this] { m_repairing = false; });
    // The repair lets the event loop run now and then, so that the window
    // keeps being drawn; what the user does meanwhile is discarded.
    engine::YieldPacer pacer([] { QCoreApplication::processEvents(); });
    const engine::YieldCallback yield = [&pacer] { pacer.checkpoint(); };
    engine::RequestOutcome outcome;
    std::optional<platform::FileError> failure;
    {
        // Busy from "Processing the file data..." (RedrawStatusNow) to the
        // outcome, however the request ends; the messages after it take
        // the user's clicks.
        const QScopeGuard told([this] { m_busy.reset(); });
        try {
            outcome = engine::DoIt(file, m_notJustVWBtn->isChecked(), m_preserveTabsBtn->checkState() != Qt::Unchecked,
                                   *this, yield);
        } catch (const platform::FileError& error) {
            failure = error;
        }
    }
    if (failure)
        showCannotRepair(failure->reason());
    // After the status, why it failed (the status line says only that it did).
    if (!outcome.reason.isEmpty())
        showCannotRepair(outcome.reason);
    // After the status: the file is repaired, but Marlowbrook will still not
    // read it.
    const std::optional<engine::XmlError>& xmlError = outcome.xmlError;
    if (xmlError) {
        QString note = engine::XmlNote(*xmlError);
        note[0] = note[0].toUpper();
        // Only a text found faulty is one that Marlowbrook cannot read.
        if (xmlError->checked)
            note += QStringLiteral(".\n\nMarlowbrook cannot read it as it is: export the file again from "
                                   "Vectorworks, with a \"Full Export on Exit\"");
        ShowModalMessage(note + QLatin1Char('.'));
    }
    for (const platform::TemporaryFile::Leftover& leftover : outcome.leftovers) {
        QString note = engine::LeftoverNote(leftover);
        note[0] = note[0].toUpper();
        ShowModalMessage(note + QLatin1Char('.'));
    }
}

} // namespace quillmend::shell
