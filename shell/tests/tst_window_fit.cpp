// The windows at larger desktop fonts and on screens too small for them: every
// text is whole, no control covers another, and every window lies inside the
// screen's available area, its body scrolling where the screen is too small.
#include "shell/about_window.h"
#include "shell/main_window.h"
#include "shell/tests/gui_test_support.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>

using namespace quillmend;

namespace {

// Where a control's text would be cut off, or controls overlap: empty when
// all is whole.
QStringList cutTexts(const QWidget* content)
{
    QStringList faults;
    QList<QWidget*> controls = content->findChildren<QWidget*>();
    controls.removeIf([](const QWidget* control) { return control->metaObject() == &QWidget::staticMetaObject; });
    const auto placed
        = [&](const QWidget* control) { return QRect(control->mapTo(content, QPoint()), control->size()); };
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
        if (!content->rect().contains(placed(control)))
            faults << control->objectName() + QStringLiteral(" lies outside the window");
        for (const QWidget* other : controls) {
            if (other != control && placed(other).intersects(placed(control))
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
    // About's texts all wrap: it never scrolls sideways.
    if (qobject_cast<const shell::AboutWnd*>(window) && body->horizontalScrollBar()->maximum() > 0)
        faults << window->objectName() + QStringLiteral(" scrolls sideways");
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
        QTest::newRow("20 pt") << 20;
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
        QStringList faults = cutTexts(shell::gMyWnd->findChild<QWidget*>("Content"))
            + cutTexts(about->findChild<QWidget*>("AboutContent")) + offScreen(shell::gMyWnd) + offScreen(about);
        qInfo("main window %dx%d, About window %dx%d, at %g device pixels to the pixel", shell::gMyWnd->width(),
              shell::gMyWnd->height(), about->width(), about->height(), about->devicePixelRatio());
        about->close();
        // A new status is seen at once, wherever the body was scrolled.
        auto* body = shell::gMyWnd->findChild<QScrollArea*>("Body");
        body->verticalScrollBar()->setValue(0);
        shell::gMyWnd->SetStatusText("Done! Click back on Vectorworks and let it process the .xml file.");
        const QLabel* status = shell::gMyWnd->ResultsLabel();
        const QRect seen(status->mapTo(body->viewport(), QPoint()), status->size());
        if (seen.top() < 0 || seen.bottom() > body->viewport()->height() || seen.left() < 0)
            faults << QStringLiteral("the status line is out of view: %1,%2 %3x%4 in %5x%6")
                          .arg(seen.x())
                          .arg(seen.y())
                          .arg(seen.width())
                          .arg(seen.height())
                          .arg(body->viewport()->width())
                          .arg(body->viewport()->height());
        shell::gMyWnd->SetStatusText(QString());
        // A checkbox's box grows with its caption.
        QCheckBox* box = shell::gMyWnd->NotJustVWBtn();
        QStyleOptionButton option;
        option.initFrom(box);
        const int indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).height();
        if (indicator < QFontMetrics(box->font()).capHeight())
            faults << QStringLiteral("the checkbox's box is %1 px, its capitals %2")
                          .arg(indicator)
                          .arg(QFontMetrics(box->font()).capHeight());
        QApplication::setFont(before);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
    }
};

QUILLMEND_GUI_TEST_MAIN(WindowFitTest)
#include "tst_window_fit.moc"
