// What a desktop program is expected to do beyond its own pages: a tray
// menu, a window that comes back where it was left, and the refresh key.
#include <QCheckBox>
#include <QMenu>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTest>

#include "AppFixture.h"
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
