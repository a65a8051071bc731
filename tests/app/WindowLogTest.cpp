// The Log page as a user reads it: it follows new lines while scrolled to
// its end and stays put otherwise, a long line can be scrolled to, and the
// lines selected are copied.
#include <QAbstractItemView>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include "AppFixture.h"
#include "support/Controls.h"

TEST_F(WindowTest, LogFollowsItsEndScrollsToLongLinesAndCopies) {
    TForm1& f = start();
    test::control<QTabWidget>(f, "idTabs")->setCurrentWidget(test::control<QWidget>(f, "idLog"));
    auto* view = test::control<QAbstractItemView>(f, "Log");
    QScrollBar* down = view->verticalScrollBar();
    for (int i = 1; i <= 300; ++i) {
        f.AddLog(QStringLiteral("line %1").arg(i));
    }
    QCoreApplication::processEvents();
    ASSERT_GT(down->maximum(), 0);
    EXPECT_EQ(down->value(), down->maximum());
    const QPoint lastRow(4, view->viewport()->height() - view->fontMetrics().height() / 2 - 2);
    EXPECT_EQ(view->indexAt(lastRow).data().toString(), "line 300");

    // Read from the top, the Log stays there while lines arrive.
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(down->value(), 0);
    f.AddLog("line 301");
    EXPECT_EQ(down->value(), 0);
    EXPECT_EQ(view->indexAt(QPoint(4, 2)).data().toString(), "0 P2K devices found");

    // At the end again it follows; a long line widens the horizontal range
    // once it is drawn.
    QTest::keyClick(view, Qt::Key_End);
    const QString wide = QStringLiteral("wide ") + QString(300, QLatin1Char('w'));
    f.AddLog(wide);
    view->viewport()->repaint();
    EXPECT_EQ(down->value(), down->maximum());
    EXPECT_GE(view->horizontalScrollBar()->maximum() + view->viewport()->width(),
              view->fontMetrics().horizontalAdvance(wide));

    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), logText(f));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(4, 2));
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = logLines(f);
    const int top = down->value();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), lines[top] + "\n" + lines[top + 1]);
}

namespace {
// Opens the Log's menu as a right click does and picks the entry Name with
// the mouse; false when the entry is greyed out.
bool pickLogEntry(TForm1& Window, const char* Name) {
    auto* view = test::control<QAbstractItemView>(Window, "Log");
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(4, 4),
                            view->viewport()->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(view->viewport(), &click);
    auto* menu = test::control<QMenu>(Window, "LogMenu");
    EXPECT_TRUE(menu->isVisible());
    QAction* entry = test::control<QAction>(*menu, Name);
    if (!entry->isEnabled()) {
        menu->hide();
        return false;
    }
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    return true;
}
}  // namespace

// The Log's menu copies, selects, saves and clears; a click on a line does
// not stop the Log following new lines once it is scrolled back to its end.
TEST_F(WindowTest, LogMenuAndFollowingAfterAClick) {
    TForm1& f = start();
    f.show();
    auto* tabs = test::control<QTabWidget>(f, "idTabs");
    tabs->setCurrentWidget(test::control<QWidget>(f, "idLog"));
    auto* view = test::control<QAbstractItemView>(f, "Log");
    QScrollBar* down = view->verticalScrollBar();
    for (int i = 1; i <= 100; ++i) {
        f.AddLog(QStringLiteral("line %1").arg(i));
    }
    QCoreApplication::processEvents();

    // A click on a line on screen, then new lines: they are followed, also
    // past the time a view waits after a click before it scrolls to the
    // clicked line (a double click's time, shortened here).
    const int doubleClick = QApplication::doubleClickInterval();
    QApplication::setDoubleClickInterval(1);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(4, 30));
    for (int i = 0; i < 20; ++i) {
        f.AddLog(QStringLiteral("more %1").arg(i));
    }
    QTest::qWait(250);
    QApplication::setDoubleClickInterval(doubleClick);
    f.AddLog("line 101");
    QCoreApplication::processEvents();
    EXPECT_EQ(down->value(), down->maximum());
    // Scrolled up, the Log stays; dragged back to the end, it follows again.
    down->setValue(down->maximum() - 10);
    f.AddLog("line 102");
    QCoreApplication::processEvents();
    EXPECT_EQ(down->value(), down->maximum() - 11);
    down->setValue(down->maximum());
    f.AddLog("line 103");
    QCoreApplication::processEvents();
    EXPECT_EQ(down->value(), down->maximum());
    EXPECT_EQ(view->indexAt(QPoint(4, view->viewport()->height() - 8)).data().toString(),
              "line 103");

    EXPECT_TRUE(pickLogEntry(f, "LogSelectAll"));
    EXPECT_TRUE(pickLogEntry(f, "LogCopy"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), logText(f));

    // Saved whole, line by line; a file that cannot be written is told.
    saveAnswer = root + "/saved.log";
    EXPECT_TRUE(pickLogEntry(f, "LogSave"));
    EXPECT_EQ(chooserTitle, QString::fromUtf8("Save as\u2026"));
    QFile saved(saveAnswer);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), logText(f) + "\n");
    saveAnswer = root + "/no/such/folder/saved.log";
    EXPECT_TRUE(pickLogEntry(f, "LogSave"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("error: The Log could not be saved in " + saveAnswer + ": "))
        << messages[0].toStdString();

    EXPECT_TRUE(pickLogEntry(f, "LogClear"));
    EXPECT_EQ(view->model()->rowCount(), 0);
    f.AddLog("after");
    QCoreApplication::processEvents();
    EXPECT_EQ(logLines(f), QStringList{"after"});
    EXPECT_FALSE(QFile::exists(saveAnswer));
}
