// What a desktop program is expected to do beyond its own pages: a tray
// menu, a window that comes back where it was left, and the refresh key.
#include <QCheckBox>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include "PhoneWindow.h"
#include "gui/TrayIcon.h"

namespace {
// Opens the tray menu as a right click on the icon does, and picks the
// entry Name with the mouse; the entry's text as shown.
QString pickTrayEntry(TForm1& Window, const char* Name) {
    QMenu* menu = test::control<TTrayIcon>(Window, "TrayIcon1")->platformIcon()->contextMenu();
    menu->popup(QPoint(200, 200));
    QAction* entry = test::control<QAction>(*menu, Name);
    const QString shown = entry->iconText();
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    return shown;
}
}  // namespace

TEST_F(WindowTest, TrayTogglesAndMinimiseHides) {
    TForm1& f = start();
    ASSERT_TRUE(f.isVisible());
    TTrayIcon* tray = test::control<TTrayIcon>(f, "TrayIcon1");
    emit tray->platformIcon()->activated(QSystemTrayIcon::Trigger);
    QCoreApplication::processEvents();
    EXPECT_FALSE(f.isVisible());
    emit tray->platformIcon()->activated(QSystemTrayIcon::Trigger);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isMinimized());
    emit tray->platformIcon()->activated(QSystemTrayIcon::Context);  // no handler: nothing
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.isVisible());
    f.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(f.isVisible());
    // A double click toggles twice and ends where it started, from either
    // state. The X11 tray reports the first press as a trigger and the
    // second only as a double click.
    for (const bool visible : {false, true}) {
        emit tray->platformIcon()->activated(QSystemTrayIcon::Trigger);
        QCoreApplication::processEvents();
        emit tray->platformIcon()->activated(QSystemTrayIcon::DoubleClick);
        QCoreApplication::processEvents();
        EXPECT_EQ(f.isVisible(), visible);
        if (!visible) {
            emit tray->platformIcon()->activated(QSystemTrayIcon::Trigger);
            QCoreApplication::processEvents();
        }
    }

    tray->SetToolTip(QString(70, QLatin1Char('t')));
    EXPECT_EQ(tray->ToolTip().size(), 62);
    tray->SetActive(true);
    EXPECT_TRUE(tray->Active());
    tray->SetActive(false);
    EXPECT_FALSE(tray->Active());
}

TEST_F(WindowTest, TrayMenuShowsHidesAndQuitsAsTheWindowWould) {
    writeLang("Mine.lang", "[LANG]\nidTrayHide=Away\nidTrayShow=Back & forth\nidTrayQuit=Stop\n");
    TForm1& f = start();
    ASSERT_TRUE(f.isVisible());
    EXPECT_EQ(pickTrayEntry(f, "TrayShowHide"), "Hide Snaprill");
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(pickTrayEntry(f, "TrayShowHide"), "Show Snaprill");
    EXPECT_TRUE(f.isVisible());
    f.showMinimized();  // minimising hides it too: the entry shows it
    QCoreApplication::processEvents();
    EXPECT_EQ(pickTrayEntry(f, "TrayShowHide"), "Show Snaprill");
    EXPECT_TRUE(f.isVisible());

    // A language file names the entries, as plain text.
    f.loadLang("Mine.lang");
    EXPECT_EQ(pickTrayEntry(f, "TrayShowHide"), "Away");
    EXPECT_EQ(pickTrayEntry(f, "TrayShowHide"), "Back & forth");

    // Quit from a hidden window: the close sequence still keeps the settings.
    QTest::mouseClick(test::control<QCheckBox>(f, "idOverwrite"), Qt::LeftButton);
    pickTrayEntry(f, "TrayShowHide");
    ASSERT_FALSE(f.isVisible());
    EXPECT_EQ(pickTrayEntry(f, "TrayQuit"), "Stop");
    EXPECT_EQ(QSettings(config.SettingsPath, QSettings::NativeFormat).value("overwrite").toInt(),
              1);
}

// The user's window comes back where and as large as it was left, with the
// list's column widths; what the window gains in width goes to the names.
TEST_F(WindowTest, PlaceSizeAndColumnWidthsComeBackAndTheNameColumnStretches) {
    // Without previews, whose thumbnails widen the first column by themselves.
    writeFile(config.SettingsPath, "[General]\npreviews=0\n");
    TForm1& f = start();
    auto* list = test::control<QTreeView>(f, "ListView1");
    const int name = list->columnWidth(1), size = list->columnWidth(2);
    f.resize(f.width() + 120, f.height() + 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(list->columnWidth(1), name + 120);
    EXPECT_EQ(list->columnWidth(2), size);

    // The size column's edge dragged 30 pixels wider.
    QHeaderView* header = list->header();
    const QPoint edge(header->sectionViewportPosition(2) + header->sectionSize(2) - 1,
                      header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, edge);
    QTest::mouseMove(header->viewport(), edge + QPoint(30, 0));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, edge + QPoint(30, 0));
    ASSERT_EQ(list->columnWidth(2), size + 30);

    // Narrowed to the least, the names keep some room; widened again, they
    // get back what they had.
    f.resize(f.minimumWidth(), f.height());
    QCoreApplication::processEvents();
    EXPECT_GE(list->columnWidth(1), 40);
    f.resize(f.minimumWidth() + 200, f.height());
    f.move(30, 40);
    QCoreApplication::processEvents();
    const int names = list->columnWidth(1);
    const QRect place = f.frameGeometry();
    const QSize inner = f.size();

    TForm1& g = restart();
    QCoreApplication::processEvents();
    EXPECT_EQ(g.frameGeometry(), place);
    auto* again = test::control<QTreeView>(g, "ListView1");
    EXPECT_EQ(again->columnWidth(0), 30);
    EXPECT_EQ(again->columnWidth(1), names);
    EXPECT_EQ(again->columnWidth(2), size + 30);
    QSettings s(config.SettingsPath, QSettings::NativeFormat);
    EXPECT_EQ(s.value("windowWidth").toInt(), inner.width());
    EXPECT_EQ(s.value("listNameWidth").toInt(), names);
    EXPECT_EQ(s.value("charset").toInt(), 1);  // the program's own keys stay as they were
}

// Stored places that cannot be taken as they stand: the window still opens
// on the screen, at a size it can have.
TEST_F(WindowTest, StoredPlacesOffScreenOrOutOfBoundsAreMended) {
    struct Case {
        const char* Settings;
        bool Centred;
    };
    const Case cases[] = {
        {"windowLeft=-5000\nwindowTop=-5000\nwindowWidth=600\nwindowHeight=400\n", true},
        {"windowLeft=40\nwindowTop=30000\n", true},
        {"windowLeft=abc\nwindowTop=20\n", true},
        {"windowLeft=10\nwindowTop=20\nwindowWidth=100000\nwindowHeight=5\n", false},
        {"listCaptionWidth=-3\nlistNameWidth=99999\nlistSizeWidth=x\nwindowMaximized=1\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Settings);
        writeFile(config.SettingsPath, QByteArray("[General]\npreviews=0\n") + c.Settings);
        TForm1& f = start();
        QCoreApplication::processEvents();
        const QRect screen = f.screen()->availableGeometry();
        EXPECT_TRUE(screen.intersects(f.frameGeometry()));
        EXPECT_LE(f.width(), screen.width());
        EXPECT_LE(f.height(), screen.height());
        EXPECT_GE(f.height(), f.minimumHeight());
        if (c.Centred && !f.isMaximized()) {
            EXPECT_LE((f.frameGeometry().center() - screen.center()).manhattanLength(), 60);
        }
        auto* list = test::control<QTreeView>(f, "ListView1");
        EXPECT_EQ(list->columnWidth(0), 30);
        EXPECT_EQ(list->columnWidth(2), 70);
        form.reset();
    }
    EXPECT_TRUE(
        QSettings(config.SettingsPath, QSettings::NativeFormat).contains("windowMaximized"));
}

// F5 lists the phone again, from whichever page is on show.
TEST_F(PhoneWindowTest, F5RefreshesThePictures) {
    auto phone = plugBefore(
        "one", phoneState("Alpha", "0A4A5A6A7A8A9B", {{"/a/mobile/picture/a.jpg", {1, 2, 3}}}));
    TForm1& f = open();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    ASSERT_EQ(searches(*phone).size(), 1u);
    phone->State().Files["/a/mobile/picture/b.jpg"] = {{4, 5}, 0, 0};
    QTest::keyClick(&f, Qt::Key_F5);
    EXPECT_EQ(searches(*phone).size(), 2u);
    EXPECT_EQ(column(1), (QStringList{"/a/mobile/picture/a.jpg", "/a/mobile/picture/b.jpg"}));
    test::control<QTabWidget>(f, "idTabs")->setCurrentWidget(test::control<QWidget>(f, "idLog"));
    QTest::keyClick(&f, Qt::Key_F5);
    EXPECT_EQ(searches(*phone).size(), 3u);
}
