// The Options page's importer settings, driven as a user drives them: they
// reach the download, are stored under their keys at close and restored at
// start, and leave the page with File Manager mode.
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>

#include "TransferWindow.h"

class ImportOptionsWindow : public TransferWindowTest {};

TEST_F(ImportOptionsWindow, OptionsReachTheDownloadAndAreKept) {
    const TFiles files = {{Pic + "p.jpg", test::FileBytes(1500, 1)}};
    auto phone = plugBefore("one", phoneState("E398", "0A", files));
    const QString usb = root + "/usb/";
    QDir().mkpath(usb);
    writeFile(saveDir + "E398/p.jpg", "another p");
    TForm1& f = open();
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    auto* dated = test::control<QCheckBox>(f, "idDateFolders");
    auto* pattern = test::control<QLineEdit>(f, "idDatePattern");
    auto* keepBoth = test::control<QRadioButton>(f, "idSameKeepBoth");
    auto* alsoCopy = test::control<QCheckBox>(f, "idAlsoCopy");
    EXPECT_FALSE(dated->isChecked());
    EXPECT_EQ(pattern->text(), "%Y/%Y-%m-%d");
    EXPECT_TRUE(test::control<QRadioButton>(f, "idSameSkip")->isChecked());
    EXPECT_FALSE(alsoCopy->isChecked());

    QTest::keyClick(dated, Qt::Key_Space);
    pattern->selectAll();
    QTest::keyClicks(pattern, "../%M");  // a pattern that cannot be used says why
    EXPECT_FALSE(pattern->toolTip().isEmpty());
    pattern->selectAll();
    QTest::keyClicks(pattern, "%M");
    EXPECT_TRUE(pattern->toolTip().isEmpty());
    QTest::mouseClick(keepBoth, Qt::LeftButton);
    chooserAnswer = usb;
    QTest::mouseClick(test::control<QPushButton>(f, "idAlsoCopyBrowse"), Qt::LeftButton);
    EXPECT_TRUE(alsoCopy->isChecked());
    EXPECT_EQ(test::control<QLineEdit>(f, "idAlsoCopyDir")->text(), usb);

    selectAll();
    clickDownload();
    EXPECT_EQ(readLocal(saveDir + "E398/p (2).jpg"), asBytes(files.at(Pic + "p.jpg")));
    EXPECT_EQ(readLocal(usb + "E398/p (2).jpg"), asBytes(files.at(Pic + "p.jpg")));
    EXPECT_EQ(readLocal(saveDir + "E398/p.jpg"), "another p");

    form->close();
    {
        QSettings s(config.SettingsPath, QSettings::NativeFormat);
        EXPECT_EQ(s.value("datefolders").toInt(), 1);
        EXPECT_EQ(s.value("datepattern").toString(), "%M");
        EXPECT_EQ(s.value("samename").toInt(), 1);
        EXPECT_EQ(s.value("alsocopy").toInt(), 1);
        EXPECT_EQ(s.value("alsocopydir").toString(), usb);
    }
    writeFile(config.SettingsPath,
              "[General]\nmode=1\ndatefolders=1\ndatepattern=x/%d\n"
              "samename=1\nalsocopy=1\nalsocopydir=/media/b/\n");
    form.reset();
    TForm1& h = open();
    EXPECT_TRUE(test::control<QCheckBox>(h, "idDateFolders")->isChecked());
    EXPECT_EQ(test::control<QLineEdit>(h, "idDatePattern")->text(), "x/%d");
    EXPECT_TRUE(test::control<QRadioButton>(h, "idSameKeepBoth")->isChecked());
    EXPECT_EQ(test::control<QLineEdit>(h, "idAlsoCopyDir")->text(), "/media/b/");
    for (const char* name : {"idDateFolders", "idDatePattern", "idSameName", "idSameSkip",
                             "idSameKeepBoth", "idAlsoCopy", "idAlsoCopyDir", "idAlsoCopyBrowse"}) {
        EXPECT_TRUE(test::control<QWidget>(h, name)->isHidden()) << name;  // File Manager mode
    }
}
