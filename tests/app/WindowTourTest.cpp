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
    auto* tabs = f.idTabs->findChild<QTabBar*>();
    auto page = [&](QWidget* Page) {
        QTest::mouseClick(tabs, Qt::LeftButton, {},
                          tabs->tabRect(f.idTabs->indexOf(Page)).center());
        ASSERT_EQ(f.idTabs->currentWidget(), Page);
    };
    auto click = [](QWidget* W) { QTest::mouseClick(W, Qt::LeftButton, {}, QPoint(4, 4)); };

    // Options: the folder (the box is read-only: only the chooser sets it)
    // and every check box.
    page(f.idOptions);
    chooserAnswer = save;
    QTest::mouseClick(f.idBrowse, Qt::LeftButton);
    EXPECT_EQ(f.Edit1->text(), save);
    QTest::keyClicks(f.Edit1, "typed");
    EXPECT_EQ(f.Edit1->text(), save);
    for (QCheckBox* box : {f.idOverwrite, f.idDeleteAfter, f.idHide, f.idLoad}) {
        click(box);
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    }
    QTest::keyClick(f.idLanguageSel, Qt::Key_Home);
    EXPECT_EQ(f.idRefresh->text(), "Reload");
    choose(f.idCharsetSel, 15);
    EXPECT_EQ(f.FontCharset(), 204);
    QTest::keyClick(f.idModeSelect, Qt::Key_End);
    EXPECT_TRUE(f.Panel3->isVisibleTo(f.idList));
    QTest::keyClick(f.idModeSelect, Qt::Key_Home);
    EXPECT_FALSE(f.Panel3->isVisibleTo(f.idList));

    // Pictures: a row, its check box, the context menu, the download (with
    // delete after it), the drive, the phone choice and the refresh.
    page(f.idList);
    clickRow(0);
    EXPECT_EQ(f.StatusPanel0->text(), "1 of 3 files -  3 kB");
    clickCheckBox(1);
    EXPECT_TRUE(f.idExclude.Contains(Pic + "b.jpg"));
    clickCheckBox(1);
    EXPECT_FALSE(f.idExclude.Contains(Pic + "b.jpg"));
    QTimer::singleShot(0, [&] {
        if (QWidget* menu = QApplication::activePopupWidget()) {
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    // A right click highlights the row, then asks for the menu.
    QTest::mouseClick(f.ListView1->viewport(), Qt::RightButton, {}, rowPoint(1));
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, rowPoint(1),
                                f.ListView1->viewport()->mapToGlobal(rowPoint(1)));
    QApplication::sendEvent(f.ListView1->viewport(), &menuEvent);
    EXPECT_TRUE(f.idExclude.Contains(Pic + "b.jpg"));
    clickRow(0);
    QTest::mouseClick(f.idDownload, Qt::LeftButton);
    EXPECT_EQ(local(save + "a.jpg"), asBytes(a));
    EXPECT_FALSE(phone->State().Files.contains(Pic + "a.jpg"));  // delete after download
    choose(f.idDriveSelect, 1);
    EXPECT_EQ(column(1), QStringList{"/b/mobile/picture/d.jpg"});
    choose(f.ComboBox1, 1);
    EXPECT_EQ(column(1), QStringList{"/a/mobile/picture/z.jpg"});
    choose(f.ComboBox1, 0);
    EXPECT_EQ(column(1), (QStringList{"/a/mobile/picture/b.jpg", "/a/mobile/picture/c.jpg"}));

    // Download all on connect: the refresh fetches what is not excluded.
    page(f.idOptions);
    click(f.idDownloadAll);
    page(f.idList);
    QTest::mouseClick(f.idRefresh, Qt::LeftButton);
    EXPECT_EQ(local(save + "c.jpg"), asBytes(c));
    EXPECT_FALSE(QFile::exists(save + "b.jpg"));

    // File Manager: upload into a chosen folder, delete a highlighted row.
    page(f.idOptions);
    click(f.idDownloadAll);
    QTest::keyClick(f.idModeSelect, Qt::Key_End);
    page(f.idList);
    QTest::keyClick(f.idUploadPath, Qt::Key_Down);
    const std::string folder = f.idUploadPath->currentText().toStdString();
    writeFile(root + "/up/new.txt", "hello");
    filesAnswer = {root + "/up/new.txt"};
    QTest::mouseClick(f.idUpload, Qt::LeftButton);
    EXPECT_EQ(asBytes(phone->State().Files[folder + "new.txt"].Data), "hello");
    const int row = int(column(1).indexOf(QString::fromStdString(Pic + "b.jpg")));
    ASSERT_GE(row, 0);
    clickRow(row);
    QTest::mouseClick(f.idDelete, Qt::LeftButton);
    EXPECT_FALSE(phone->State().Files.contains(Pic + "b.jpg"));

    // The Log shows what happened; the About links open.
    page(f.idLog);
    EXPECT_TRUE(f.Log->isVisible());
    EXPECT_TRUE(log().contains("Closing all P2K devices"));
    page(f.idAbout);
    QTest::mouseClick(f.Label1, Qt::LeftButton);
    EXPECT_EQ(opened.size(), 1);

    // Closing writes what the check boxes chose.
    f.close();
    EXPECT_TRUE(QFile::exists(config.AutostartPath));
    EXPECT_EQ(local(config.ExcludePath), "/a/mobile/picture/b.jpg\r\n");
    EXPECT_TRUE(local(config.SettingsPath).contains("hide=1"));
}
