// The Log page as a user reads it: it follows new lines while scrolled to
// its end and stays put otherwise, a long line can be scrolled to, and the
// lines selected are copied.
#include <QAbstractItemView>
#include <QClipboard>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include "AppFixture.h"

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
