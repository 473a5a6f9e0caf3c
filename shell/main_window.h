// The main window.
#pragma once

#include "engine/request_sink.h"
#include "platform/files/file_ref.h"
#include "shell/busy_state.h"

#include <QMainWindow>

#include <optional>

class QCheckBox;
class QLabel;
class QMimeData;
class QScrollArea;

namespace quillmend::shell {

/// The program's working window: instructions, the two options, a drop target
/// for XML files and the status line. It runs a repair request on each file
/// dropped onto it or chosen with File > Open..., and shows the outcome in its
/// status line and message boxes.
class Window1 : public QMainWindow, public engine::RequestSink {
    Q_OBJECT

public:
    Window1();

    QLabel* InstructLabel() const { return m_instructLabel; }
    QLabel* ResultsLabel() const { return m_resultsLabel; }
    QCheckBox* NotJustVWBtn() const { return m_notJustVWBtn; }
    QLabel* Label1() const { return m_label1; }
    QCheckBox* PreserveTabsBtn() const { return m_preserveTabsBtn; }
    QLabel* Label2() const { return m_label2; }

    // RequestSink
    void SetStatusText(const QString& text) override;
    void RedrawStatusNow() override;
    void ShowModalMessage(const QString& text) override;

    /// File > Open...: asks for one XML file and repairs it. Returns true (handled).
    bool FileOpenItem_Action();
    /// Help > About: opens a new About window. Returns true (handled).
    bool AboutThisApplication_Action();

    /// Runs a repair request on the first XML file that `data` offers.
    void Event_DropObject(const QMimeData* data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls(QWidget* content);
    /// The designed layout, grown where the desktop's font needs more room,
    /// and the window inside its screen, its body scrolling where it must.
    void fitToTextAndScreen();
    void AddMenuHandlers();
    void Event_Open();
    void repair(const platform::FileRef& file);
    /// Tells why a file was not repaired, `reason` in the engine's plain words.
    void showCannotRepair(const QString& reason);
    /// The first local file in `data` of the accepted type, if any.
    std::optional<platform::FileRef> firstAcceptedFile(const QMimeData* data) const;

    QWidget* m_content = nullptr;
    QScrollArea* m_body = nullptr;
    QLabel* m_instructLabel = nullptr;
    QLabel* m_resultsLabel = nullptr;
    QCheckBox* m_notJustVWBtn = nullptr;
    QLabel* m_label1 = nullptr;
    QCheckBox* m_preserveTabsBtn = nullptr;
    QLabel* m_label2 = nullptr;
    QString m_acceptedFileType;
    bool m_repairing = false;
    /// Held while a repair pass runs.
    std::optional<BusyState> m_busy;
};

} // namespace quillmend::shell
