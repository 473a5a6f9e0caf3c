// The window application.
#pragma once

#include "shell/version_record.h"

#include <QApplication>

namespace quillmend::shell {

class Window1;

/// The main window, from its creation to the end of the run.
extern Window1* gMyWnd;

/// The application object: its version record, and the opening of the main
/// window once the event loop runs.
class App : public QApplication {
    Q_OBJECT

public:
    /// Sets the version record. The caller sets up the file types first.
    App(int& argc, char** argv);

    /// The one application object, or nullptr before it exists.
    static App* instance();

    /// The whole program: start-up, event loop, exit status.
    static int run(int& argc, char** argv);

    const VersionRecord& versionRecord() const { return m_version; }
    /// The short version text, "1.0.1 build 2".
    QString Version() const { return m_version.ShortVersion; }

    /// True once the application has been asked to quit; only then may the
    /// main window close.
    bool quitting() const { return m_quitting; }

    /// Creates and shows the main window, once; later calls do nothing.
    void Event_Open();

protected:
    bool event(QEvent* event) override;

private:
    VersionRecord m_version;
    bool m_quitting = false;
};

} // namespace quillmend::shell
