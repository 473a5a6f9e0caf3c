// The About window.
#pragma once

#include <QWidget>

class QLabel;
class QScrollArea;

namespace quillmend::shell {

/// The About window: what the program is for, its version and requirements,
/// and the terms of its use. It deletes itself when closed; a mouse press
/// anywhere in it closes it.
class AboutWnd : public QWidget {
    Q_OBJECT

public:
    AboutWnd();

    QLabel* AboutLabel() const { return m_aboutLabel; }
    QLabel* AboutLabelHeading() const { return m_aboutLabelHeading; }

    /// Closes the window; the press's position does not matter. Returns false.
    bool Event_MouseDown(int x, int y);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Layout();
    void CreateControls();
    /// The designed layout, grown where the desktop's font needs more room,
    /// and the window inside its screen, its body scrolling where it must.
    void fitToTextAndScreen();

    QWidget* m_content = nullptr;
    QScrollArea* m_body = nullptr;
    QLabel* m_aboutLabel = nullptr;
    QLabel* m_aboutLabelHeading = nullptr;
};

} // namespace quillmend::shell
