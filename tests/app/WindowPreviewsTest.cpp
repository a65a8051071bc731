// The pictures of the Pictures page, driven as a user drives them: the
// list's thumbnails, the icon grid, the preview pane, the option that hides
// them, and the phone's link while they are fetched.
#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>

#include "PhoneWindow.h"
#include "core/previews/PreviewFetcher.h"
#include "support/Controls.h"
#include "support/PreviewPictures.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

// Pictures p0.jpg .. p<Count-1>.jpg, the even ones with a thumbnail.
std::map<std::string, std::vector<uint8_t>> pictures(int Count) {
    std::map<std::string, std::vector<uint8_t>> out;
    for (int i = 0; i < Count; ++i) {
        out[Pic + "p" + std::to_string(i) + ".jpg"] = test::cameraPicture(i + 1, i % 2 == 0);
    }
    return out;
}

std::vector<uint8_t> localBytes(const QString& Path) {
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray b = f.readAll();
    return {b.begin(), b.end()};
}

}  // namespace

class WindowPreviewsTest : public PhoneWindowTest {
  protected:
    TPreviewFetcher& previews() { return form->previewFetcher(); }
    bool allDone() {
        for (int r = 0; r < previews().Count(); ++r) {
            if (previews().State(r) != TPreviewState::Done) {
                return false;
            }
        }
        return previews().Count() > 0 && !previews().Working();
    }
    // Turns the event loop once at a time (a preview makes at most one
    // phone exchange a turn) until Done holds.
    static bool turnUntil(const std::function<bool()>& Done, int MaxTurns = 20000) {
        for (int i = 0; i < MaxTurns; ++i) {
            if (Done()) {
                return true;
            }
            QCoreApplication::processEvents();
        }
        return Done();
    }
    QString paneText() const { return test::control<QLabel>(*form, "PreviewInfo1")->text(); }
    QListView* grid() const { return test::control<QListView>(*form, "IconView1"); }
};

TEST_F(WindowPreviewsTest, ThumbnailsGridAndPaneFollowTheUser) {
    const auto files = pictures(6);
    auto phone = plugBefore("one", phoneState("E398", "0A", files));
    TForm1& f = open();
    f.show();
    ASSERT_TRUE(waitFor([&] { return allDone(); }));
    for (int r = 0; r < 6; ++r) {
        const QIcon icon = qvariant_cast<QIcon>(list()->index(r, 0).data(Qt::DecorationRole));
        EXPECT_EQ(icon.actualSize(QSize(32, 32)), QSize(32, 24)) << r;
    }

    // The highlighted picture, large, with what its EXIF block says.
    clickRow(2);
    const QString size = QString::number(files.at(Pic + "p2.jpg").size());
    EXPECT_EQ(paneText(),
              "p2.jpg\nSize: " + size + " bytes\nTaken: 2007-06-12 18:07:30\nCamera: E398");
    EXPECT_EQ(test::control<QLabel>(f, "PreviewPicture1")->pixmap().size(), QSize(160, 120));

    // The grid shows the same rows with the same selection, and a click
    // there highlights as one in the list does.
    QTest::mouseClick(test::control<QToolButton>(f, "idViewIcons"), Qt::LeftButton);
    ASSERT_TRUE(grid()->isVisible());
    EXPECT_FALSE(test::control<QTreeView>(f, "ListView1")->isVisible());
    EXPECT_EQ(grid()->selectionModel()->selectedRows().value(0).row(), 2);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                      grid()->visualRect(grid()->model()->index(4, 1)).center());
    EXPECT_TRUE(paneText().startsWith("p4.jpg\n")) << paneText().toStdString();
    EXPECT_EQ(f.session().Rows().SelectedCount(), 1);
    EXPECT_TRUE(f.session().Rows().At(4).Selected);
    QTest::mouseClick(test::control<QToolButton>(f, "idViewList"), Qt::LeftButton);
    EXPECT_TRUE(test::control<QTreeView>(f, "ListView1")->isVisible());

    // Switched off, the list is as it always was and nothing more is read.
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    auto* option = test::control<QCheckBox>(f, "idPreviews");
    EXPECT_EQ(option->text(), "Show picture previews");
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    ASSERT_FALSE(option->isChecked());
    test::control<QTabWidget>(f, "idTabs")->setCurrentIndex(0);
    EXPECT_FALSE(test::control<QWidget>(f, "PreviewPane1")->isVisible());
    EXPECT_FALSE(list()->index(0, 0).data(Qt::DecorationRole).isValid());
    const size_t received = phone->Received().size();
    QTest::mouseClick(test::control<QToolButton>(f, "idRefresh"), Qt::LeftButton);
    settle();
    const auto listing = phone->Received().size();
    settle();
    EXPECT_EQ(phone->Received().size(), listing);
    EXPECT_TRUE(test::fileVisits(*phone, received).empty());

    // The choice is kept.
    TForm1& g = restart();
    EXPECT_FALSE(test::control<QCheckBox>(g, "idPreviews")->isChecked());
}

// A phone name that looks like markup is shown as it is, in the tool tips
// of the list and of the grid too.
TEST_F(WindowPreviewsTest, ToolTipsShowPhoneNamesAsText) {
    const std::string name = Pic + "<img src='/etc/hostname'><b>x</b>.jpg";
    plugBefore("one", phoneState("E398", "0A", {{name, test::cameraPicture(1, true)}}));
    TForm1& f = open();
    ASSERT_EQ(list()->rowCount(), 1);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(test::control<QTreeView>(f, "ListView1")),
          static_cast<QAbstractItemView*>(grid())}) {
        const QString tip = view->model()->index(0, 1).data(Qt::ToolTipRole).toString();
        QTextDocument shown;
        shown.setHtml(tip);
        EXPECT_EQ(shown.toPlainText(), QString::fromStdString(name));
    }
}

// The rows on screen come first, wherever the user scrolled to.
TEST_F(WindowPreviewsTest, RowsOnScreenAreFetchedFirst) {
    plugBefore("one", phoneState("E398", "0A", pictures(30)));
    writeFile(config.SettingsPath, "[General]\npreviews=0\n");
    TForm1& f = open();
    f.show();
    auto* view = test::control<QTreeView>(f, "ListView1");
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    auto* option = test::control<QCheckBox>(f, "idPreviews");
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    test::control<QTabWidget>(f, "idTabs")->setCurrentIndex(0);
    QTest::keyClick(view, Qt::Key_End);  // before the event loop turns again
    std::vector<int> done;
    QObject::connect(&previews(), &TPreviewFetcher::previewChanged,
                     [&](int Row) { done.push_back(Row); });
    ASSERT_TRUE(waitFor([&] { return allDone(); }));
    const int firstOnScreen = view->indexAt(QPoint(1, 1)).row();
    ASSERT_GT(firstOnScreen, 20);
    ASSERT_GE(done.size(), 30u);
    for (int i = 0; i < 30 - firstOnScreen; ++i) {
        EXPECT_GE(done[size_t(i)], firstOnScreen) << i;
    }
}

// A download clicked while previews are being fetched starts right after
// the preview's file is closed, and the phone sees exactly what it sees of
// a download with previews off; the Log reads the same.
TEST_F(WindowPreviewsTest, DownloadAmidPreviewsHasTheTrafficOfOneWithout) {
    const auto files = pictures(4);
    config.PicturesDir = root + "/Pictures/";
    struct TRun {
        std::vector<std::pair<uint16_t, std::vector<uint8_t>>> Commands;
        QStringList Log;
        size_t BeforeCommand = 0;  // commands between the click and the download's start
    };
    auto run = [&](bool Previews, const std::string& Name) {
        TRun out;
        QDir(root + "/Pictures").removeRecursively();
        writeFile(config.SettingsPath, Previews ? "[General]\n" : "[General]\npreviews=0\n");
        auto phone = plugBefore(Name, phoneState("E398", "0A", files));
        TForm1& f = open();
        f.show();
        QTest::keyClick(test::control<QTreeView>(f, "ListView1"), Qt::Key_A, Qt::ControlModifier);
        if (Previews) {
            // Caught in the middle of a whole picture (p1.jpg has no thumbnail).
            f.previewFetcher().SetVisibleRows(1, 1);
            EXPECT_TRUE(turnUntil([&] {
                const auto v = test::fileVisits(*phone);
                return !v.empty() && v.back().Name == Pic + "p1.jpg" && v.back().Reads >= 3;
            }));
            EXPECT_TRUE(f.previewFetcher().FileOpen());
        }
        size_t clicked = phone->Received().size();
        size_t started = 0;
        const qsizetype logAt = log().size();
        auto c = QObject::connect(&f.session(), &TPhoneSession::busyChanged, [&](bool Busy) {
            if (Busy) {
                started = phone->Received().size();
            }
        });
        QTest::mouseClick(test::control<QToolButton>(f, "idDownload"), Qt::LeftButton);
        QObject::disconnect(c);
        out.Commands = test::commandsFrom(*phone, started);
        out.BeforeCommand = started - clicked;
        out.Log = log().mid(logAt);
        for (const auto& [name, data] : files) {
            const QString local =
                root + "/Pictures/" + QString::fromStdString(name.substr(Pic.size()));
            EXPECT_EQ(localBytes(local), data) << name;
        }
        if (Previews) {
            // Then the previews go on, and end with no file open.
            EXPECT_TRUE(waitFor([&] { return allDone(); }));
            EXPECT_TRUE(phone->OpenFileName().empty());
        }
        form.reset();
        devices.UnplugPhone(Name);
        devices.DispatchPending();
        return out;
    };
    const TRun without = run(false, "one");
    const TRun amid = run(true, "two");
    EXPECT_EQ(without.BeforeCommand, 0u);
    EXPECT_EQ(amid.BeforeCommand, 1u);  // the preview's file closed, nothing else
    EXPECT_FALSE(without.Commands.empty());
    EXPECT_TRUE(amid.Commands == without.Commands);
    EXPECT_EQ(amid.Log, without.Log);
}

// A download on connect makes the thumbnails of its pictures from their
// local copies while its end box is open, and reads none of them from the
// phone again once the box is closed.
TEST_F(WindowPreviewsTest, DownloadedPicturesGetThumbnailsFromTheirCopiesAtOnce) {
    config.PicturesDir = root + "/Pictures/";
    writeFile(config.SettingsPath, "[General]\ndownload=1\n");
    auto phone = plugBefore("one", phoneState("E398", "0A", pictures(6)));
    int cachedWhileOpen = -1;
    size_t atBox = 0;
    duringMessage = [&](QWidget* Window) {
        // The box's own event loop turns while the user reads it.
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        cachedWhileOpen = static_cast<TForm1*>(Window)->previewFetcher().Cache().Count();
        atBox = phone->Received().size();
    };
    open().show();
    ASSERT_EQ(messages, QStringList{"idDlComplete"});
    EXPECT_EQ(cachedWhileOpen, 6);
    ASSERT_TRUE(waitFor([&] { return allDone(); }));
    EXPECT_TRUE(test::fileVisits(*phone, atBox).empty());
    EXPECT_EQ(phone->Received().size(), atBox);
}

// A phone unplugged while a preview is read: the window shows no phone and
// stays usable, and the phone plugged again gets its previews.
TEST_F(WindowPreviewsTest, UnplugDuringAPreviewLeavesTheWindowUsable) {
    const auto files = pictures(3);
    plugBefore("one", phoneState("E398", "0A", files));
    TForm1& f = open();
    f.show();
    clickRow(1);
    int reads = 0;
    transport.SetExchangeHook(
        [&](TVirtualP2KTransport::TExchange Kind, const std::string&, uint64_t) {
            if (Kind == TVirtualP2KTransport::TExchange::Write && f.previewFetcher().FileOpen() &&
                ++reads == 3) {
                devices.UnplugPhone("one");
            }
        });
    ASSERT_TRUE(waitFor([&] { return list()->rowCount() == 0; }));
    transport.SetExchangeHook(nullptr);
    settle();
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->count(), 0);
    EXPECT_TRUE(test::control<QToolButton>(f, "idRefresh")->isEnabled());
    EXPECT_TRUE(test::control<QTreeView>(f, "ListView1")->isEnabled());
    EXPECT_EQ(paneText(), "");
    EXPECT_FALSE(f.previewFetcher().FileOpen());

    auto again = plug("one", phoneState("E398", "0A", files));
    ASSERT_TRUE(waitFor([&] { return allDone(); }));
    EXPECT_EQ(list()->rowCount(), 3);
    EXPECT_TRUE(again->OpenFileName().empty());
}

// Pictures of the previews for the documentation: run with
// SNAPRILL_SCREENSHOT_DIR set (under a real X server such as Xvfb).
TEST_F(WindowPreviewsTest, ScreenshotsOfTheListTheGridAndThePane) {
    const QString out = qEnvironmentVariable("SNAPRILL_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "SNAPRILL_SCREENSHOT_DIR not set";
    }
    TFiles files;
    const char* names[] = {"beach.jpg",   "birthday.jpg", "cat.jpg",    "garden.jpg",
                           "harbour.jpg", "kids.jpg",     "snow.jpg",   "sunset.jpg",
                           "bridge.jpg",  "night.jpg",    "market.jpg", "station.jpg"};
    uint32_t seed = 1;
    for (const char* n : names) {
        files[Pic + n] = test::cameraPicture(seed, seed % 3 != 0);
        ++seed;
    }
    plugBefore("razr", phoneState("V3 Razr", "0A4A5A6A7A8A9B", files));
    TForm1& f = open();
    f.show();
    ASSERT_TRUE(waitFor([&] { return allDone(); }));
    auto snap = [&](const QString& Name) {
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        EXPECT_TRUE(f.grab().save(out + QStringLiteral("/window-%1.png").arg(Name)));
    };
    clickRow(3);
    snap(QStringLiteral("previews-list"));
    QTest::mouseClick(test::control<QToolButton>(f, "idViewIcons"), Qt::LeftButton);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                      grid()->visualRect(grid()->model()->index(4, 1)).center());
    snap(QStringLiteral("previews-grid"));
}
