// The windows at larger desktop fonts and on screens too small for them: every
// text is whole, no control covers another, and every window lies inside the
// screen's available area, its body scrolling where the screen is too small.
#include "shell/about_window.h"
#include "shell/main_window.h"
#include "shell/tests/gui_test_support.h"

#include <QAbstractButton>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

using namespace quillmend;

namespace {

// Where a control's text would be cut off, or controls overlap: empty when
// all is whole.
QStringList cutTexts(const QWidget* content)
{
    QStringList faults;
    const QList<QWidget*> controls = content->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (const QWidget* control : controls) {
        const auto* label = qobject_cast<const QLabel*>(control);
        const QSize needed = label && label->wordWrap()
            ? QSize(control->width(), label->heightForWidth(control->width()))
            : control->sizeHint();
        if (needed.width() > control->width() || needed.height() > control->height())
            faults << QStringLiteral("%1 needs %2x%3, has %4x%5")
                          .arg(control->objectName())
                          .arg(needed.width())
                          .arg(needed.height())
                          .arg(control->width())
                          .arg(control->height());
        if (!content->rect().contains(control->geometry()))
            faults << control->objectName() + QStringLiteral(" lies outside the window");
        for (const QWidget* other : controls) {
            if (other != control && other->geometry().intersects(control->geometry())
                && control->objectName() < other->objectName())
                faults << control->objectName() + QStringLiteral(" overlaps ") + other->objectName();
        }
    }
    return faults;
}

// Where the window leaves the screen's available area, or part of its content
// cannot be reached: empty when all can be seen.
QStringList offScreen(const QWidget* window)
{
    QStringList faults;
    const QRect available = window->screen()->availableGeometry();
    if (!available.contains(window->frameGeometry()))
        faults << QStringLiteral("%1 at %2,%3 %4x%5 leaves the area %6x%7")
                      .arg(window->objectName())
                      .arg(window->frameGeometry().x())
                      .arg(window->frameGeometry().y())
                      .arg(window->frameGeometry().width())
                      .arg(window->frameGeometry().height())
                      .arg(available.width())
                      .arg(available.height());
    const auto* body = window->findChild<const QScrollArea*>("Body");
    const QSize content = body->widget()->size();
    const QSize seen = body->viewport()->size();
    if (seen.width() + body->horizontalScrollBar()->maximum() < content.width()
        || seen.height() + body->verticalScrollBar()->maximum() < content.height())
        faults << window->objectName() + QStringLiteral(" hides part of its content beyond scrolling");
    return faults;
}

} // namespace

class WindowFitTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        shell::App::instance()->Event_Open();
        QVERIFY(QTest::qWaitForWindowExposed(shell::gMyWnd));
    }

    void textsAreWholeAndWindowsOnScreen_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("desktop font") << 0;
        QTest::newRow("14 pt") << 14;
        QTest::newRow("16 pt") << 16;
    }
    void textsAreWholeAndWindowsOnScreen()
    {
        QFETCH(int, points);
        const QFont before = QApplication::font();
        QFont font = before;
        if (points)
            font.setPointSize(points);
        QApplication::setFont(font);
        shell::gMyWnd->AboutThisApplication_Action();
        shell::AboutWnd* about = tests::aboutWindows().value(0);
        QVERIFY(about);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QCoreApplication::processEvents();
        const QStringList faults = cutTexts(shell::gMyWnd->findChild<QWidget*>("Content"))
            + cutTexts(about->findChild<QWidget*>("AboutContent")) + offScreen(shell::gMyWnd) + offScreen(about);
        qInfo("main window %dx%d, About window %dx%d, at %g device pixels to the pixel", shell::gMyWnd->width(),
              shell::gMyWnd->height(), about->width(), about->height(), about->devicePixelRatio());
        about->close();
        QApplication::setFont(before);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
    }
};

QUILLMEND_GUI_TEST_MAIN(WindowFitTest)
#include "tst_window_fit.moc"
