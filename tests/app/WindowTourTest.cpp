// A user's tour of the window: every button, choice and check box of every
// page, each touched once the way a user touches it (a click or a key on the
// widget), and its effect seen on the phone, on disk or in the window.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include "gui/LinkLabel.h"
#include "support/Controls.h"

#include "PhoneWindow.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
QByteArray local(const QString& Path) {
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
QByteArray asBytes(const std::vector<uint8_t>& Data) {
    return QByteArray(reinterpret_cast<const char*>(Data.data()), qsizetype(Data.size()));
}
}  // namespace

TEST_F(PhoneWindowTest, EveryControlOfEveryPageDoesItsJob) {
    const QString save = root + "/Pictures/";
    writeLang("Other.lang", "[LANG]\nidRefresh=Reload\n");
    const auto a = test::FileBytes(3000, 1), b = test::FileBytes(5000, 2),
               c = test::FileBytes(4001, 3);
    auto phone = plugBefore("one", phoneState("Alpha", "0A4A5A6A7A8A9B",
                                              {{Pic + "a.jpg", a},
                                               {Pic + "b.jpg", b},
                                               {Pic + "c.jpg", c},
                                               {"/b/mobile/picture/d.jpg", {4}}}));
    plugBefore("two", phoneState("Beta", "0B", {{Pic + "z.jpg", {5}}}));
    TForm1& f = open();
    auto* tabs = test::control<QTabWidget>(f, "idTabs")->findChild<QTabBar*>();
    auto page = [&](QWidget* Page) {
        QTest::mouseClick(
            tabs, Qt::LeftButton, {},
            tabs->tabRect(test::control<QTabWidget>(f, "idTabs")->indexOf(Page)).center());
        ASSERT_EQ(test::control<QTabWidget>(f, "idTabs")->currentWidget(), Page);
    };
    auto click = [](QWidget* W) { QTest::mouseClick(W, Qt::LeftButton, {}, QPoint(4, 4)); };

    // Options: the folder (the box is read-only: only the chooser sets it)
    // and every check box.
    page(test::control<QWidget>(f, "idOptions"));
    chooserAnswer = save;
    QTest::mouseClick(test::control<QPushButton>(f, "idBrowse"), Qt::LeftButton);
    EXPECT_EQ(test::control<QLineEdit>(f, "Edit1")->text(), save);
    QTest::keyClicks(test::control<QLineEdit>(f, "Edit1"), "typed");
    EXPECT_EQ(test::control<QLineEdit>(f, "Edit1")->text(), save);
    for (QCheckBox* box :
         {test::control<QCheckBox>(f, "idOverwrite"), test::control<QCheckBox>(f, "idDeleteAfter"),
          test::control<QCheckBox>(f, "idHide"), test::control<QCheckBox>(f, "idLoad")}) {
        click(box);
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    }
    QTest::keyClick(test::control<QComboBox>(f, "idLanguageSel"), Qt::Key_Home);
    EXPECT_EQ(test::control<QToolButton>(f, "idRefresh")->text(), "Reload");
    choose(test::control<QComboBox>(f, "idCharsetSel"), 15);
    EXPECT_EQ(f.FontCharset(), 204);
    QTest::keyClick(test::control<QComboBox>(f, "idModeSelect"), Qt::Key_End);
    EXPECT_TRUE(
        test::control<QFrame>(f, "Panel3")->isVisibleTo(test::control<QWidget>(f, "idList")));
    QTest::keyClick(test::control<QComboBox>(f, "idModeSelect"), Qt::Key_Home);
    EXPECT_FALSE(
        test::control<QFrame>(f, "Panel3")->isVisibleTo(test::control<QWidget>(f, "idList")));

    // Pictures: a row, its check box, the context menu, the download (with
    // delete after it), the drive, the phone choice and the refresh.
    page(test::control<QWidget>(f, "idList"));
    clickRow(0);
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel0")->text(), "1 of 3 files -  3 kB");
    clickCheckBox(1);
    EXPECT_TRUE(f.session().Exclude().Contains(Pic + "b.jpg"));
    clickCheckBox(1);
    EXPECT_FALSE(f.session().Exclude().Contains(Pic + "b.jpg"));
    const QPoint second = rowPoint(1);  // before the menu's answer is armed
    QTimer::singleShot(0, [&] {
        if (QWidget* menu = QApplication::activePopupWidget()) {
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    // A right click highlights the row, then asks for the menu.
    QTest::mouseClick(test::control<QTreeView>(f, "ListView1")->viewport(), Qt::RightButton, {},
                      second);
    QContextMenuEvent menuEvent(
        QContextMenuEvent::Mouse, second,
        test::control<QTreeView>(f, "ListView1")->viewport()->mapToGlobal(second));
    QApplication::sendEvent(test::control<QTreeView>(f, "ListView1")->viewport(), &menuEvent);
    EXPECT_TRUE(f.session().Exclude().Contains(Pic + "b.jpg"));
    clickRow(0);
    QTest::mouseClick(test::control<QToolButton>(f, "idDownload"), Qt::LeftButton);
    EXPECT_EQ(local(save + "a.jpg"), asBytes(a));
    EXPECT_FALSE(phone->State().Files.contains(Pic + "a.jpg"));  // delete after download
    choose(test::control<QComboBox>(f, "idDriveSelect"), 1);
    EXPECT_EQ(column(1), QStringList{"/b/mobile/picture/d.jpg"});
    choose(test::control<QComboBox>(f, "ComboBox1"), 1);
    EXPECT_EQ(column(1), QStringList{"/a/mobile/picture/z.jpg"});
    choose(test::control<QComboBox>(f, "ComboBox1"), 0);
    EXPECT_EQ(column(1), (QStringList{"/a/mobile/picture/b.jpg", "/a/mobile/picture/c.jpg"}));

    // Download all on connect: the refresh fetches what is not excluded.
    page(test::control<QWidget>(f, "idOptions"));
    click(test::control<QCheckBox>(f, "idDownloadAll"));
    page(test::control<QWidget>(f, "idList"));
    QTest::mouseClick(test::control<QToolButton>(f, "idRefresh"), Qt::LeftButton);
    EXPECT_EQ(local(save + "c.jpg"), asBytes(c));
    EXPECT_FALSE(QFile::exists(save + "b.jpg"));

    // File Manager: upload into a chosen folder, delete a highlighted row.
    page(test::control<QWidget>(f, "idOptions"));
    click(test::control<QCheckBox>(f, "idDownloadAll"));
    QTest::keyClick(test::control<QComboBox>(f, "idModeSelect"), Qt::Key_End);
    page(test::control<QWidget>(f, "idList"));
    QTest::keyClick(test::control<QComboBox>(f, "idUploadPath"), Qt::Key_Down);
    const std::string folder =
        test::control<QComboBox>(f, "idUploadPath")->currentText().toStdString();
    writeFile(root + "/up/new.txt", "hello");
    filesAnswer = {root + "/up/new.txt"};
    QTest::mouseClick(test::control<QToolButton>(f, "idUpload"), Qt::LeftButton);
    EXPECT_EQ(asBytes(phone->State().Files[folder + "new.txt"].Data), "hello");
    const int row = int(column(1).indexOf(QString::fromStdString(Pic + "b.jpg")));
    ASSERT_GE(row, 0);
    clickRow(row);
    QTest::mouseClick(test::control<QToolButton>(f, "idDelete"), Qt::LeftButton);
    EXPECT_FALSE(phone->State().Files.contains(Pic + "b.jpg"));

    // The Log shows what happened; the About links open.
    page(test::control<QWidget>(f, "idLog"));
    EXPECT_TRUE(test::control<QAbstractItemView>(f, "Log")->isVisible());
    EXPECT_TRUE(log().contains("Closing all P2K devices"));
    page(test::control<QWidget>(f, "idAbout"));
    QTest::mouseClick(test::control<TLinkLabel>(f, "Label1"), Qt::LeftButton);
    EXPECT_EQ(opened.size(), 1);

    // Closing writes what the check boxes chose.
    f.close();
    EXPECT_TRUE(QFile::exists(config.AutostartPath));
    EXPECT_EQ(local(config.ExcludePath), "/a/mobile/picture/b.jpg\r\n");
    EXPECT_TRUE(local(config.SettingsPath).contains("hide=1"));
}
