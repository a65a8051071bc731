// The window as a new user first sees it, at its first size: every column
// of the list in view, a list that does not scroll sideways under a click,
// pages whose controls are neither drawn over each other nor cut, and
// status texts that say what they cut short.
#include <QAbstractButton>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextDocumentFragment>
#include <QToolButton>

#include "PhoneWindow.h"
#include "gui/ElidedLabel.h"
#include "support/Controls.h"
#include "support/PreviewPictures.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

bool isControl(const QWidget* W) {
    return qobject_cast<const QAbstractButton*>(W) || qobject_cast<const QLabel*>(W) ||
           qobject_cast<const QComboBox*>(W) || qobject_cast<const QLineEdit*>(W) ||
           qobject_cast<const QAbstractItemView*>(W) || qobject_cast<const QPlainTextEdit*>(W) ||
           qobject_cast<const QProgressBar*>(W);
}

// What a user would see wrong on Page: controls drawn over each other,
// squashed below their least size, or cut by the edge of what holds them.
std::string layoutProblems(QWidget* Page) {
    QList<QWidget*> controls;
    for (QWidget* w : Page->findChildren<QWidget*>()) {
        bool inner = false;  // a part of another control, such as a drop-down's field
        for (QWidget* p = w->parentWidget(); p && p != Page; p = p->parentWidget()) {
            inner = inner || isControl(p);
        }
        if (w->isVisibleTo(Page) && isControl(w) && !inner) {
            controls.append(w);
        }
    }
    QStringList problems;
    auto name = [](const QWidget* W) {
        return W->objectName().isEmpty()
                   ? QString::fromLatin1(W->metaObject()->className()) + QStringLiteral(" \"") +
                         W->property("text").toString() + QLatin1Char('"')
                   : W->objectName();
    };
    for (const QWidget* c : controls) {
        // A size fixed by the window's design is its size; a text that
        // takes what height is left may have less than its own.
        const QSize least = c->minimumSizeHint();
        const bool fixedWidth = c->minimumWidth() == c->maximumWidth();
        const bool fixedHeight = c->minimumHeight() == c->maximumHeight() ||
                                 c->sizePolicy().verticalPolicy() == QSizePolicy::Ignored;
        if ((!fixedHeight && c->height() < least.height()) ||
            (!fixedWidth && c->width() < least.width())) {
            problems.append(name(c) + QStringLiteral(" squashed"));
        }
        // What a scroll area holds is reached by scrolling.
        const auto* area =
            qobject_cast<const QAbstractScrollArea*>(c->parentWidget()->parentWidget());
        const bool scrolled = area && area->viewport() == c->parentWidget();
        if (!scrolled && !c->parentWidget()->rect().contains(c->geometry())) {
            problems.append(name(c) + QStringLiteral(" cut"));
        }
    }
    for (int i = 0; i < controls.size(); ++i) {
        for (int j = i + 1; j < controls.size(); ++j) {
            const QWidget* a = controls[i];
            const QWidget* b = controls[j];
            const QRect ra(a->mapTo(Page, QPoint()), a->size());
            const QRect rb(b->mapTo(Page, QPoint()), b->size());
            if (ra.intersects(rb) && !a->isAncestorOf(b) && !b->isAncestorOf(a)) {
                problems.append(name(a) + QStringLiteral(" over ") + name(b) +
                                QStringLiteral(" (%1,%2 %3x%4 and %5,%6 %7x%8)")
                                    .arg(ra.x())
                                    .arg(ra.y())
                                    .arg(ra.width())
                                    .arg(ra.height())
                                    .arg(rb.x())
                                    .arg(rb.y())
                                    .arg(rb.width())
                                    .arg(rb.height()));
            }
        }
    }
    return problems.join(QStringLiteral("; ")).toStdString();
}

}  // namespace

class WindowLayoutTest : public PhoneWindowTest {
  protected:
    QTreeView* view() const { return test::control<QTreeView>(*form, "ListView1"); }
    // Where the size column ends, in the list's viewport.
    int sizeColumnEnd() const {
        QHeaderView* h = view()->header();
        return h->sectionViewportPosition(2) + h->sectionSize(2);
    }
    TFiles longNames(int Count) const {
        TFiles files;
        for (int i = 0; i < Count; ++i) {
            files[Pic + "a-picture-with-a-rather-long-name-" + std::to_string(i) + ".jpg"] =
                test::cameraPicture(unsigned(i + 1), true);
        }
        return files;
    }
};

// The size column is in view at the first size, with previews on, whatever
// name width was stored, and after any resize.
TEST_F(WindowLayoutTest, TheSizeColumnIsInViewAtAnySize) {
    plugBefore("one", phoneState("E398", "0A", longNames(20)));
    const char* stored[] = {"", "windowWidth=668\nlistNameWidth=772\n",
                            "windowWidth=469\nlistNameWidth=2000\n"};
    for (const char* place : stored) {
        SCOPED_TRACE(place);
        writeFile(config.SettingsPath, QByteArray("[General]\n") + place);
        TForm1& f = open();
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        for (const int width : {f.width(), f.minimumWidth(), f.width() + 300, 700}) {
            f.resize(width, f.height());
            settle();
            EXPECT_LE(sizeColumnEnd(), view()->viewport()->width()) << "at " << width;
            EXPECT_EQ(view()->horizontalScrollBar()->maximum(), 0) << "at " << width;
            EXPECT_GE(view()->columnWidth(1), 40);
        }
        form->close();
        form.reset();
    }
}

// Wider columns than the list can show: a click or a key on a row scrolls
// up or down only, and rows listed while the list is scrolled to its right
// keep the height of their thumbnails and check boxes.
TEST_F(WindowLayoutTest, ClicksNeverScrollSidewaysAndRowsKeepTheirHeight) {
    plugBefore("one", phoneState("E398", "0A", longNames(30)));
    TForm1& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    settle();
    const int rowHeight = view()->visualRect(list()->index(0, 1)).height();
    ASSERT_GE(rowHeight, 32);

    // The size column's edge dragged far to the right.
    QHeaderView* header = view()->header();
    const QPoint edge(sizeColumnEnd() - 1, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, edge);
    QTest::mouseMove(header->viewport(), edge + QPoint(600, 0));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, edge + QPoint(600, 0));
    settle();
    QScrollBar* across = view()->horizontalScrollBar();
    ASSERT_GT(across->maximum(), 100);

    for (const int at : {0, across->maximum() / 2}) {
        across->setValue(at);
        const QPoint name(view()->header()->sectionViewportPosition(1) + 10, 0);
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {},
                          name + QPoint(0, view()->visualRect(list()->index(3, 1)).center().y()));
        EXPECT_EQ(across->value(), at);
        QTest::keyClick(view(), Qt::Key_Down);
        QTest::keyClick(view(), Qt::Key_End);
        EXPECT_EQ(across->value(), at);
        EXPECT_EQ(view()->currentIndex().row(), 29);
    }

    across->setValue(across->maximum());
    devices.UnplugPhone("one");
    settle();
    auto again = plug("one", phoneState("E398", "0A", longNames(30)));
    ASSERT_TRUE(waitFor([&] { return list()->rowCount() == 30; }));
    settle();
    for (const int row : {0, 15, 29}) {
        EXPECT_EQ(view()->visualRect(list()->index(row, 1)).height(), rowHeight) << row;
    }
}

// Every page at the first size, and the Pictures page while a download
// shows both bars: nothing drawn over anything, squashed or cut.
TEST_F(WindowLayoutTest, EveryPageIsUsableAtTheFirstSize) {
    plugBefore("one", phoneState("V3 Razr", "0A4A5A6A7A8A9B", longNames(4)));
    config.PicturesDir = root + "/Pictures/";
    TForm1& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_EQ(f.height(), 370);
    auto* tabs = test::control<QTabWidget>(f, "idTabs");
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        settle();
        EXPECT_EQ(layoutProblems(tabs->widget(page)), "") << page;
    }

    tabs->setCurrentIndex(0);
    clickRow(1);
    std::string during;
    int reads = 0;
    transport.SetExchangeHook(
        [&](TVirtualP2KTransport::TExchange Kind, const std::string&, uint64_t) {
            if (Kind == TVirtualP2KTransport::TExchange::Write && ++reads == 12) {
                EXPECT_TRUE(test::control<QProgressBar>(f, "ProgressBar2")->isVisible());
                during = layoutProblems(tabs->widget(0));
            }
        });
    QTest::keyClick(view(), Qt::Key_A, Qt::ControlModifier);
    QTest::mouseClick(test::control<QToolButton>(f, "idDownload"), Qt::LeftButton);
    transport.SetExchangeHook(nullptr);
    ASSERT_GE(reads, 12);
    EXPECT_EQ(during, "");
}

// Texts cut short by their place say so, and are whole in a tooltip or a
// drop-down: the status message, the phone's name, the free space's unit.
TEST_F(WindowLayoutTest, ShortenedTextsAreWholeElsewhere) {
    writeLang("Long.lang",
              "[LANG]\nidFilesCount=%d files, a count in a caption much longer than the "
              "status panel that shows it\n");
    writeFile(config.SettingsPath, "[General]\nlang=Long.lang\n");
    const std::string model = "V3 Razr Silver Edition";
    plugBefore("one", phoneState(model, "0A4A5A6A7A8A9B", longNames(1)));
    TForm1& f = open();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    auto* status = test::control<TElidedLabel>(f, "StatusPanel0");
    const QString shown = status->shownText();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(status->text().startsWith(shown.chopped(1)));
    EXPECT_LE(status->fontMetrics().horizontalAdvance(shown), status->contentsRect().width());
    EXPECT_EQ(QTextDocumentFragment::fromHtml(status->toolTip()).toPlainText(), status->text());

    auto* choice = test::control<QComboBox>(f, "ComboBox1");
    const QString entry = choice->currentText();
    ASSERT_TRUE(entry.startsWith(QString::fromStdString(model))) << entry.toStdString();
    EXPECT_LT(choice->width(), choice->fontMetrics().horizontalAdvance(entry));
    EXPECT_EQ(QTextDocumentFragment::fromHtml(choice->toolTip()).toPlainText(), entry);
    // Its drop-down shows the whole entry.
    QTest::mouseClick(choice, Qt::LeftButton);
    ASSERT_TRUE(choice->view()->isVisible());
    EXPECT_GE(choice->view()->viewport()->width(),
              choice->view()->fontMetrics().horizontalAdvance(entry));
    choice->hidePopup();

    EXPECT_TRUE(test::control<QLabel>(f, "StatusPanel1")->toolTip().contains("in kB (1024 bytes)"));
}
