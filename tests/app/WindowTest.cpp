#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "AppFixture.h"
#include "core/settings/MessageTemplates.h"
#include "gui/LinkLabel.h"
#include "gui/TrayIcon.h"
#include "support/Controls.h"

namespace {
QString textOf(TForm1& f, const char* name) {
    QObject* c = f.findControl(QString::fromLatin1(name));
    QString t;
    if (!c || !TForm1::controlText(c, &t)) {
        return QStringLiteral("<none>");
    }
    return t;
}
}  // namespace

TEST_F(WindowTest, EveryNamedControlHasItsDefaultText) {
    TForm1& f = start();
    const std::pair<const char*, const char*> texts[] = {
        {"idList", "Pictures"},
        {"idOptions", "Options"},
        {"idLog", "Log"},
        {"idAbout", "About"},
        {"idDownload", "Download"},
        {"idDelete", "Delete"},
        {"idUpload", "Upload"},
        {"idRefresh", "Refresh"},
        {"idUploadToC", "Upload to:"},
        {"idUploadPath", "/a/"},
        {"idMode", "Mode"},
        {"idSaveImages", "Save images in:"},
        {"idBrowse", "..."},
        {"idDownloadAll", "Download all photos on connect"},
        {"idOverwrite", "Overwrite exsisting"},
        {"idDeleteAfter", "Delete downloaded photos from phone"},
        {"idLoad", "Load with Windows"},
        {"idHide", "Hide on startup"},
        {"idLanguage", "Language:"},
        {"info", " "},
        {"idCharset", "Font Charset:"},
        {"idLangContainer", "lang file container"},
        {"Panel2", "Panel2"},
        {"Label10", "For new versions check out "},
        {"Label5", "Seeking info about your Moto? Check out"},
    };
    for (const auto& [name, text] : texts) {
        EXPECT_EQ(textOf(f, name), QString::fromLatin1(text)) << name;
    }
    for (const auto& t : MessageTemplates) {
        EXPECT_EQ(textOf(f, t.Name), QString::fromUtf8(t.Caption)) << t.Name;
        auto* label = qobject_cast<QLabel*>(f.findControl(QString::fromLatin1(t.Name)));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->parentWidget(), test::control<QFrame>(f, "Panel2"));
    }
    for (const char* name : {"StatusBar1",   "ProgressBar1",   "ProgressBar2",
                             "ToolBar1",     "ComboBox1",      "idDriveSelect",
                             "Panel3",       "ListView1",      "Neverdownloadthisfile1",
                             "idModeSelect", "Edit1",          "idLanguageSel",
                             "idCharsetSel", "idLanguageList", "Label1",
                             "Label6",       "Label7",         "Label8",
                             "Label9",       "Label11",        "Label12",
                             "Label13",      "idTabs"}) {
        EXPECT_NE(f.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    }
    for (const char* name :
         {"ToolButton4", "ToolButton5", "ToolButton7", "ToolButton8", "Log", "TrayIcon1"}) {
        EXPECT_NE(f.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(f.windowTitle(), "Snaprill v0.21 by Brenwick");
    EXPECT_EQ(test::control<QTabWidget>(f, "idTabs")->count(), 4);
    EXPECT_EQ(test::control<QTabWidget>(f, "idTabs")->currentWidget(),
              test::control<QWidget>(f, "idList"));
    EXPECT_EQ(test::control<QComboBox>(f, "idModeSelect")->count(), 2);
    EXPECT_EQ(test::control<QComboBox>(f, "idModeSelect")->itemText(1), "File Manager");
    EXPECT_EQ(test::control<QComboBox>(f, "idCharsetSel")->count(), 19);
    EXPECT_EQ(test::control<QComboBox>(f, "idCharsetSel")->itemText(15), "RUSSIAN_CHARSET");
    EXPECT_EQ(test::control<QTreeView>(f, "ListView1")->model()->headerData(1, Qt::Horizontal),
              "File Name");
    EXPECT_EQ(test::control<QTreeView>(f, "ListView1")->model()->headerData(2, Qt::Horizontal),
              "Size (Bytes)");
    for (const char* button : {"idDownload", "idDelete", "idUpload", "idRefresh"}) {
        EXPECT_FALSE(test::control<QToolButton>(f, button)->icon().isNull()) << button;
    }
    EXPECT_FALSE(test::control<QProgressBar>(f, "ProgressBar1")->isVisible());
    EXPECT_EQ(test::control<TTrayIcon>(f, "TrayIcon1")->ToolTip(), "Snaprill by Brenwick");
    EXPECT_TRUE(test::control<TTrayIcon>(f, "TrayIcon1")->Active());
    EXPECT_EQ(f.minimumSize(), QSize(450, 370));
}

TEST_F(WindowTest, FirstRunDefaultsAndTheLog) {
    TForm1& f = start();
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(test::control<QLineEdit>(f, "Edit1")->text(), config.PicturesDir);
    for (QCheckBox* c :
         {test::control<QCheckBox>(f, "idOverwrite"), test::control<QCheckBox>(f, "idDeleteAfter"),
          test::control<QCheckBox>(f, "idDownloadAll"), test::control<QCheckBox>(f, "idHide"),
          test::control<QCheckBox>(f, "idLoad")}) {
        EXPECT_FALSE(c->isChecked()) << c->objectName().toStdString();
    }
    EXPECT_EQ(test::control<QComboBox>(f, "idModeSelect")->currentText(), "Photo Manager");
    EXPECT_EQ(test::control<QComboBox>(f, "idCharsetSel")->currentText(), "DEFAULT_CHARSET");
    EXPECT_EQ(test::control<QComboBox>(f, "idLanguageSel")->currentIndex(), -1);
    EXPECT_EQ(f.session().Exclude().Count(), 0);
    EXPECT_EQ(logText(f), "0 P2K devices found");

    f.AddLog("first");
    f.AddLog("second");
    EXPECT_EQ(logText(f), "0 P2K devices found\nfirst\nsecond");
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel0")->text(), "second");

    f.close();
    EXPECT_TRUE(QFile::exists(config.ExcludePath));  // an empty list gives an empty file
    EXPECT_EQ(QFileInfo(config.ExcludePath).size(), 0);
    EXPECT_FALSE(QFile::exists(config.AutostartPath));
    QSettings s(config.SettingsPath, QSettings::NativeFormat);
    EXPECT_EQ(s.value("dir").toString(), config.PicturesDir);
    EXPECT_EQ(s.value("lang").toString(), "");
    EXPECT_EQ(s.value("mode").toInt(), 0);
    EXPECT_EQ(s.value("charset").toInt(), 1);
    EXPECT_EQ(s.value("overwrite").toInt(), 0);
}

TEST_F(WindowTest, SettingsSurviveCloseAndNewStart) {
    writeLang("English.lang", "[LANG]\nidRefresh=\xce\xe1\xed\xee\xe2\xe8\xf2\xfc\n");  // 1251
    TForm1& f = start();
    test::control<QLineEdit>(f, "Edit1")->setText("/photos/");
    test::control<QCheckBox>(f, "idOverwrite")->setChecked(true);
    test::control<QCheckBox>(f, "idDownloadAll")->setChecked(true);
    test::control<QCheckBox>(f, "idHide")->setChecked(true);
    test::control<QCheckBox>(f, "idLoad")->setChecked(true);
    test::control<QComboBox>(f, "idLanguageSel")->setCurrentIndex(0);
    test::control<QComboBox>(f, "idModeSelect")->setCurrentIndex(1);
    test::control<QComboBox>(f, "idCharsetSel")->setCurrentIndex(15);
    f.session().Exclude().Assign({"/a/mobile/picture/x.jpg", "/a/mobile/picture/y.jpg"});

    TForm1& g = restart();
    EXPECT_EQ(test::control<QLineEdit>(g, "Edit1")->text(), "/photos/");
    EXPECT_TRUE(test::control<QCheckBox>(g, "idOverwrite")->isChecked());
    EXPECT_FALSE(test::control<QCheckBox>(g, "idDeleteAfter")->isChecked());
    EXPECT_TRUE(test::control<QCheckBox>(g, "idDownloadAll")->isChecked());
    EXPECT_TRUE(test::control<QCheckBox>(g, "idHide")->isChecked());
    EXPECT_FALSE(g.isVisible());  // started hidden: only the tray icon shows
    EXPECT_TRUE(test::control<QCheckBox>(g, "idLoad")->isChecked());
    EXPECT_EQ(test::control<QComboBox>(g, "idLanguageSel")->currentText(), "English.lang");
    // The stored charset decodes the language file from the start.
    EXPECT_EQ(test::control<QComboBox>(g, "idCharsetSel")->currentIndex(), 15);
    EXPECT_EQ(g.FontCharset(), 204);
    EXPECT_EQ(test::control<QToolButton>(g, "idRefresh")->text(), QString::fromUtf8("Обновить"));
    EXPECT_EQ(test::control<QComboBox>(g, "idModeSelect")->currentIndex(), 1);
    EXPECT_EQ(g.session().Mode(), 1);
    ASSERT_EQ(g.session().Exclude().Count(), 2);
    EXPECT_EQ(g.session().Exclude().Entries()[1], "/a/mobile/picture/y.jpg");

    // Autostart entry written with the executable's path, removed when unchecked.
    QFile desktop(config.AutostartPath);
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    EXPECT_TRUE(desktop.readAll().contains("Exec=" + config.ExePath.toUtf8() + "\n"));
    desktop.close();
    test::control<QCheckBox>(g, "idLoad")->setChecked(false);
    restart();
    EXPECT_FALSE(QFile::exists(config.AutostartPath));
    EXPECT_FALSE(test::control<QCheckBox>(*form, "idLoad")->isChecked());
}

TEST_F(WindowTest, HiddenStartWithoutTrayStillShowsTheWindow) {
    writeFile(config.SettingsPath, "[General]\nhide=1\nmode=7\ncharset=40\n");
    trayAvailable = false;
    TForm1& f = start();
    EXPECT_TRUE(test::control<QCheckBox>(f, "idHide")->isChecked());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(test::control<QComboBox>(f, "idModeSelect")->currentIndex(),
              0);  // a mode other than 0 or 1: Photo Manager
    EXPECT_EQ(test::control<QComboBox>(f, "idCharsetSel")->currentIndex(),
              1);  // outside the table: the default stays
    // Minimising must not hide a window that no icon could bring back.
    f.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.isVisible());
}

TEST_F(WindowTest, VanishedLanguageFileSelectsNothingAndStoresEmpty) {
    writeFile(config.SettingsPath, "[General]\nlang=gone.lang\n");
    writeLang("deutsch.lang", "[LANG]\nidRefresh=Neu laden\n");
    TForm1& f = start();
    EXPECT_EQ(test::control<QComboBox>(f, "idLanguageSel")->count(), 1);
    EXPECT_EQ(test::control<QComboBox>(f, "idLanguageSel")->currentIndex(), -1);
    EXPECT_EQ(test::control<QToolButton>(f, "idRefresh")->text(), "Refresh");
    f.close();
    EXPECT_EQ(QSettings(config.SettingsPath, QSettings::NativeFormat).value("lang").toString(), "");

    // The stored name matches its entry without regard to letter case.
    writeFile(config.SettingsPath, "[General]\nlang=DEUTSCH.LANG\n");
    form.reset();
    EXPECT_EQ(test::control<QToolButton>(start(), "idRefresh")->text(), "Neu laden");
}

TEST_F(WindowTest, LanguageFileKeysQuotesAndFallbacks) {
    QByteArray data =
        "[lang]\n"
        "IDREFRESH=Reload\n"
        "iddownload = \"  Fetch  \"\n"
        "idOptions='Settings'\n"
        "noSuchControl=whatever\n"
        "idModeSelect=ignored\n"
        "Log=would wipe the log\n"
        "Edit1=/not/a/folder/\n"
        "idUploadPath=/b/\n"
        "Panel2=Templates\n";
    // Fill the 16384-byte key list so that only 8 bytes are left for the
    // last key, which is cut to "idDelete": the reader has no value for the
    // cut name, so the control shows "***".
    qsizetype used = 0;
    for (const char* k : {"IDREFRESH", "iddownload", "idOptions", "noSuchControl", "idModeSelect",
                          "Log", "Edit1", "idUploadPath", "Panel2"}) {
        used += qsizetype(strlen(k)) + 1;
    }
    const qsizetype target = 16382 - 8;
    const int names = static_cast<int>((target - used - 20) / 16);
    for (int i = 0; i < names; ++i) {
        data += "pad" + QByteArray::number(i).rightJustified(12, '0') + "=x\n";
    }
    data += QByteArray(target - used - names * qsizetype{16} - 1, 'x') + "=x\n";
    data += "idDeleteTooLong=Remove\n";
    writeLang("A.lang", data);
    TForm1& f = start();
    f.AddLog("kept");
    f.loadLang("A.lang");
    EXPECT_EQ(test::control<QToolButton>(f, "idRefresh")->text(), "Reload");
    EXPECT_EQ(test::control<QToolButton>(f, "idDownload")->text(), "  Fetch  ");
    EXPECT_EQ(test::control<QTabWidget>(f, "idTabs")->tabText(1), "Settings");
    EXPECT_EQ(test::control<QToolButton>(f, "idDelete")->text(), "***");
    EXPECT_EQ(test::control<QComboBox>(f, "idModeSelect")->itemText(0), "Photo Manager");
    EXPECT_TRUE(logText(f).endsWith("kept"));
    EXPECT_EQ(test::control<QLineEdit>(f, "Edit1")->text(), config.PicturesDir);
    EXPECT_EQ(test::control<QComboBox>(f, "idUploadPath")->currentText(), "/b/");
    EXPECT_EQ(textOf(f, "Panel2"), "Templates");
    EXPECT_TRUE(test::control<QPlainTextEdit>(f, "idLangContainer")
                    ->toPlainText()
                    .startsWith("IDREFRESH\niddownload\nidOptions\n"));
    EXPECT_TRUE(
        test::control<QPlainTextEdit>(f, "idLangContainer")->toPlainText().endsWith("\nidDelete"));
}

TEST_F(WindowTest, LaterFileKeepsTextsItDoesNotName) {
    writeLang("A.lang", "[LANG]\nidRefresh=Again\nidUpload=Send\n");
    writeLang("B.lang", "[LANG]\nidUpload=Put\n");
    writeLang("C.lang", "no section here\nidUpload=Nope\n");
    TForm1& f = start();
    ASSERT_EQ(test::control<QComboBox>(f, "idLanguageSel")->count(), 3);
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    QTest::keyClick(test::control<QComboBox>(f, "idLanguageSel"), Qt::Key_Home);  // A.lang
    QTest::keyClick(test::control<QComboBox>(f, "idLanguageSel"), Qt::Key_Down);  // B.lang
    EXPECT_EQ(test::control<QToolButton>(f, "idRefresh")->text(), "Again");
    EXPECT_EQ(test::control<QToolButton>(f, "idUpload")->text(), "Put");
    f.loadLang("C.lang");
    f.loadLang("");
    f.loadLang("missing.lang");
    f.loadLang("../A.lang");
    EXPECT_EQ(test::control<QToolButton>(f, "idUpload")->text(), "Put");
    EXPECT_EQ(test::control<QPlainTextEdit>(f, "idLangContainer")->toPlainText(), "idUpload");
}

TEST_F(WindowTest, UploadPathBoxFollowsALongLabel) {
    writeLang("Long.lang", "[LANG]\nidUploadToC=Upload the chosen files into:\n");
    TForm1& f = start();
    QTest::keyClick(test::control<QComboBox>(f, "idModeSelect"), Qt::Key_End);  // File Manager
    QCoreApplication::processEvents();
    const int before = test::control<QComboBox>(f, "idUploadPath")->x();
    f.loadLang("Long.lang");
    const int labelRight = test::control<QLabel>(f, "idUploadToC")->x() +
                           test::control<QLabel>(f, "idUploadToC")->width();
    EXPECT_GT(test::control<QComboBox>(f, "idUploadPath")->x(), before);
    EXPECT_EQ(test::control<QComboBox>(f, "idUploadPath")->x(), labelRight + 5);
    EXPECT_EQ(test::control<QComboBox>(f, "idUploadPath")->x() +
                  test::control<QComboBox>(f, "idUploadPath")->width(),
              test::control<QComboBox>(f, "ComboBox1")->x() +
                  test::control<QComboBox>(f, "ComboBox1")->width());
    EXPECT_EQ(test::control<QFrame>(f, "Panel3")->x(), test::control<QWidget>(f, "ToolBar1")->x());
}

// Long captions from a language file keep every tab within reach of a
// click, and the tool bar leaves the phone choice its full width.
TEST_F(WindowTest, LongCaptionsKeepEveryTabAndThePhoneChoice) {
    const QByteArray longText(60, 'w');
    writeLang("Long.lang", "[LANG]\nidList=" + longText + "\nidOptions=" + longText +
                               "\nidLog=" + longText +
                               "\nidDownload=Download everything\n"
                               "idRefresh=Refresh the list\n");
    TForm1& f = start();
    QCoreApplication::processEvents();
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->width(), 153);

    auto* tabs = test::control<QTabWidget>(f, "idTabs")->findChild<QTabBar*>();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    ASSERT_EQ(test::control<QTabWidget>(f, "idTabs")->currentWidget(),
              test::control<QWidget>(f, "idOptions"));
    QTest::keyClick(test::control<QComboBox>(f, "idLanguageSel"), Qt::Key_Home);
    QCoreApplication::processEvents();
    ASSERT_EQ(test::control<QToolButton>(f, "idDownload")->text(), "Download everything");
    for (int i : {3, 0, 2, 1}) {
        const QRect r = tabs->tabRect(i);
        EXPECT_TRUE(tabs->rect().contains(r)) << i;
        QTest::mouseClick(tabs, Qt::LeftButton, {}, r.center());
        EXPECT_EQ(test::control<QTabWidget>(f, "idTabs")->currentIndex(), i);
    }
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->width(), 153);
    if (const QString dir = qEnvironmentVariable("SNAPRILL_SCREENSHOT_DIR"); !dir.isEmpty()) {
        f.grab().save(dir + QStringLiteral("/window-long-captions.png"));
    }
}

// Texts from a language file are shown as they are, never read as markup:
// no label of the window interprets its text.
TEST_F(WindowTest, LanguageTextsAreNeverMarkup) {
    writeLang("Markup.lang",
              "[LANG]\nidPhoneFound=<font color=red size=6>%d</font>\n"
              "Label1=<img src=\"/etc/hostname\">\nidMode=<b>Mode</b>\n");
    writeFile(config.SettingsPath, "[General]\nlang=Markup.lang\n");
    TForm1& f = start();
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel0")->text(), "<font color=red size=6>0</font>");
    EXPECT_EQ(test::control<TLinkLabel>(f, "Label1")->text(), "<img src=\"/etc/hostname\">");
    for (const QLabel* l : f.findChildren<QLabel*>()) {
        EXPECT_EQ(l->textFormat(), Qt::PlainText)
            << l->objectName().toStdString() << " " << l->text().toStdString();
    }
}

TEST_F(WindowTest, RussianCharsetDecodesWindows1251) {
    // "Обновить" and "Файлов: %d" in windows-1251.
    writeLang("Russian.lang",
              "[LANG]\r\nidRefresh=\xce\xe1\xed\xee\xe2\xe8\xf2\xfc\r\n"
              "idFilesCount=\xd4\xe0\xe9\xeb\xee\xe2: %d\r\n"
              "Label1=\xe0\xe2\xf2\xee\xf0@example.org\r\n");
    TForm1& f = start();
    f.loadLang("Russian.lang");
    EXPECT_EQ(f.FontCharset(), 1);
    EXPECT_NE(test::control<QToolButton>(f, "idRefresh")->text(),
              QString::fromUtf8("Обновить"));  // 1252 under DEFAULT
    EXPECT_EQ(test::control<TLinkLabel>(f, "Label1")->text(),
              QString::fromUtf8("автор@example.org"));  // fixed Cyrillic font

    auto chooseCharset = [&](int index) {
        QTest::keyClick(test::control<QComboBox>(f, "idCharsetSel"), Qt::Key_Home);
        for (int i = 0; i < index; ++i) {
            QTest::keyClick(test::control<QComboBox>(f, "idCharsetSel"), Qt::Key_Down);
        }
    };
    chooseCharset(15);
    EXPECT_EQ(f.FontCharset(), 204);
    EXPECT_EQ(test::control<QToolButton>(f, "idRefresh")->text(), QString::fromUtf8("Обновить"));
    EXPECT_EQ(f.Msg("idFilesCount", {qint64{3}}), QString::fromUtf8("Файлов: 3"));

    chooseCharset(16);
    EXPECT_EQ(f.FontCharset(), 222);
    chooseCharset(1);
    EXPECT_EQ(f.FontCharset(), 1);
    EXPECT_EQ(test::control<TLinkLabel>(f, "Label1")->text(),
              QString::fromUtf8("автор@example.org"));
}

TEST_F(WindowTest, BadLanguageFilesNeverBreakTheWindow) {
    QByteArray binary;
    for (int i = 0; i < 300000; ++i) {
        binary.append(static_cast<char>((i * 131) & 0xff));
    }
    writeLang("binary.lang", binary);
    writeLang("huge.lang", "[LANG]\nidRefresh=Big\n" + QByteArray(qsizetype{6} * 1024 * 1024, 'z'));
    writeLang("long.lang", "[LANG]\nidHide=" + QByteArray(3000, 'h') + "\n");
    writeLang("templates.lang",
              "[LANG]\nidSelectedFiles=%s of %d\nidFreeSpace=Free %2.f %d\nidPhoneFound=%n\n"
              "idSkipping=Skip %s\n");
    TForm1& f = start();
    for (const char* name : {"binary.lang", "huge.lang", "long.lang", "templates.lang"}) {
        f.loadLang(QString::fromLatin1(name));
    }
    EXPECT_EQ(test::control<QToolButton>(f, "idRefresh")->text(), "Big");
    EXPECT_EQ(test::control<QCheckBox>(f, "idHide")->text().size(), 2047);
    EXPECT_EQ(f.Msg("idSelectedFiles", {qint64{1}, qint64{4}, 2.5}), "1 of 4 files -  3 kB");
    EXPECT_EQ(f.Msg("idFreeSpace", {1023.5}), "Free space: 1024");
    EXPECT_EQ(f.Msg("idPhoneFound", {qint64{2}}), "2 P2K devices found");
    EXPECT_EQ(f.Msg("idSkipping", {QStringLiteral("/p/a.jpg")}), "Skip /p/a.jpg");
}

TEST_F(WindowTest, ModeSwitchesItsControls) {
    TForm1& f = start();
    QTest::keyClick(test::control<QComboBox>(f, "idModeSelect"), Qt::Key_Down);
    EXPECT_EQ(f.session().Mode(), 1);
    EXPECT_FALSE(test::control<QLineEdit>(f, "Edit1")->isVisible());
    EXPECT_FALSE(test::control<QCheckBox>(f, "idOverwrite")
                     ->isVisibleTo(test::control<QWidget>(f, "idOptions")));
    EXPECT_TRUE(
        test::control<QFrame>(f, "Panel3")->isVisibleTo(test::control<QWidget>(f, "idList")));
    QTest::keyClick(test::control<QComboBox>(f, "idModeSelect"), Qt::Key_Up);
    EXPECT_EQ(f.session().Mode(), 0);
    EXPECT_TRUE(test::control<QCheckBox>(f, "idOverwrite")
                    ->isVisibleTo(test::control<QWidget>(f, "idOptions")));
    EXPECT_FALSE(
        test::control<QFrame>(f, "Panel3")->isVisibleTo(test::control<QWidget>(f, "idList")));
}

TEST_F(WindowTest, FolderChooserAndLinks) {
    QDir().mkpath(config.PicturesDir);
    TForm1& f = start();
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    chooserAnswer = root + "/chosen";
    QTest::mouseClick(test::control<QPushButton>(f, "idBrowse"), Qt::LeftButton);
    EXPECT_EQ(chooserTitle, "Select directory");
    EXPECT_EQ(chooserCurrent, config.PicturesDir);
    EXPECT_EQ(test::control<QLineEdit>(f, "Edit1")->text(), root + "/chosen/");
    chooserAnswer = "/";
    QTest::mouseClick(test::control<QPushButton>(f, "idBrowse"), Qt::LeftButton);
    EXPECT_EQ(test::control<QLineEdit>(f, "Edit1")->text(), "/");
    chooserAnswer.clear();
    QTest::mouseClick(test::control<QPushButton>(f, "idBrowse"), Qt::LeftButton);  // cancelled
    EXPECT_EQ(test::control<QLineEdit>(f, "Edit1")->text(), "/");
    test::control<QLineEdit>(f, "Edit1")->setText(root + "/gone/");
    chooserAnswer = root;
    QTest::mouseClick(test::control<QPushButton>(f, "idBrowse"), Qt::LeftButton);
    EXPECT_EQ(chooserCurrent, "");  // a vanished folder is not pre-selected

    test::control<QTabWidget>(f, "idTabs")->setCurrentWidget(test::control<QWidget>(f, "idAbout"));
    QTest::mouseClick(test::control<TLinkLabel>(f, "Label1"), Qt::LeftButton);
    QTest::mouseClick(test::control<TLinkLabel>(f, "Label6"), Qt::LeftButton);
    writeLang("links.lang", "[LANG]\nLabel8=https://example.org/other\n");
    f.loadLang("links.lang");
    QTest::mouseClick(test::control<TLinkLabel>(f, "Label8"), Qt::LeftButton, {}, QPoint(2, 2));
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(opened[0], QUrl("mailto:snaprill@brenwick.example"));
    EXPECT_EQ(opened[1], QUrl(test::control<TLinkLabel>(f, "Label6")->text()));
    EXPECT_EQ(opened[2], QUrl("https://example.org/other"));
}

TEST_F(WindowTest, UnreadableAndUnwritableFilesAreLogged) {
    // Folders where the files should be: they can be neither read nor written.
    QDir().mkpath(config.ExcludePath);
    QDir().mkpath(config.SettingsPath);
    TForm1& f = start();
    EXPECT_TRUE(logText(f).contains("exclude.txt"));
    EXPECT_EQ(test::control<QLineEdit>(f, "Edit1")->text(), config.PicturesDir);
    test::control<QCheckBox>(f, "idLoad")->setChecked(true);
    QDir().mkpath(config.AutostartPath);
    f.close();  // still ends normally
    const QString log = logText(f);
    EXPECT_TRUE(log.contains("Snaprill.conf")) << log.toStdString();
    EXPECT_TRUE(log.contains("snaprill.desktop")) << log.toStdString();
    EXPECT_GE(log.count("exclude.txt"), 2) << log.toStdString();
}
