// What the window says, in the sample language files: the end of a
// download that failed in part, texts on show after a language change, and
// the whole of a long message in the status panel's tooltip.
#include <QCheckBox>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QSettings>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QToolTip>

#include "PhoneWindow.h"
#include "SampleLanguages.h"
#include "core/settings/MessageTemplates.h"
#include "core/settings/ProfileReader.h"
#include "support/Controls.h"
#include "support/VirtualRig.h"

using test::sampleLang;
using test::sampleLangDir;

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class MessagesWindowTest : public PhoneWindowTest {
  protected:
    void SetUp() override {
        PhoneWindowTest::SetUp();
        config.PicturesDir = root + "/Pictures/";
        for (const char* name : {"English.lang", "Russian.lang"}) {
            const QByteArray data = sampleLang(QString::fromLatin1(name));
            ASSERT_FALSE(data.isEmpty()) << name;
            writeLang(QString::fromLatin1(name), data);
        }
    }
};

// Both sample files name the same controls, and every message template that
// the program shows.
TEST(SampleLanguageFiles, NameEveryKeyAndEveryTemplate) {
    const TProfile english = TProfile::fromFile(sampleLangDir() + "/English.lang");
    const TProfile russian = TProfile::fromFile(sampleLangDir() + "/Russian.lang");
    QList<QByteArray> englishKeys = english.keys("LANG"), russianKeys = russian.keys("LANG");
    std::sort(englishKeys.begin(), englishKeys.end());
    std::sort(russianKeys.begin(), russianKeys.end());
    EXPECT_EQ(englishKeys, russianKeys);
    for (const auto& t : MessageTemplates) {
        if (std::string_view(t.Name) != "idDownloadComplete") {  // shown by nothing
            EXPECT_TRUE(englishKeys.contains(t.Name)) << t.Name;
        }
    }
    for (const char* about : {"Label4", "Label5", "Label7", "Label9", "Label10", "Label12"}) {
        EXPECT_TRUE(russianKeys.contains(about)) << about;
    }
}

// Five of twelve pictures fail on connect: the box counts them instead of
// claiming success, and the Log sums the download up before the count.
TEST_F(MessagesWindowTest, FailedPicturesAreCountedNotCalledDownloaded) {
    writeFile(config.SettingsPath, "[General]\ndownload=1\nlang=English.lang\n");
    TFiles files;
    for (int i = 0; i < 12; ++i) {
        // Small blocks of 1000 bytes; every second read fails.
        files[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(i < 5 ? 2500 : 900);
    }
    auto phone = plugBefore("one", phoneState("A", "0A", files));
    phone->Faults().FailReadAtBlock = 2;
    phone->Faults().BlockFailuresStall = false;
    TForm1& f = open();

    EXPECT_EQ(messages,
              QStringList{"error: 5 of 12 pictures could not be downloaded. The Log names them."});
    const QStringList lines = log();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[lines.size() - 2], "Downloaded: 7, skipped: 0, failed: 5");
    EXPECT_EQ(lines.last(), "12 files");
    EXPECT_EQ(lines.filter(" failed").size(), 6);  // each failure named, and the sum

    // Pictures already on the disk are skipped, not failed: success.
    phone->Faults() = {};
    clickRow(int(column(1).indexOf(QString::fromStdString(Pic + "p9.jpg"))));
    QTest::mouseClick(test::control<QToolButton>(f, "idDownload"), Qt::LeftButton);
    EXPECT_EQ(messages.last(), "All pictures are downloaded.");
    EXPECT_EQ(log()[log().size() - 2], "Downloaded: 0, skipped: 1, failed: 0");
}

// The caption's state word and both status panels change language at once.
TEST_F(MessagesWindowTest, ShownTextsFollowALanguageChange) {
    writeFile(config.SettingsPath, "[General]\nlang=Russian.lang\ncharset=15\n");
    plugBefore("one", phoneState("A", "0A", {{Pic + "a.jpg", test::FileBytes(10)}}));
    TForm1& f = open();
    auto panel = [&](const char* Name) { return test::control<QLabel>(f, Name)->text(); };
    EXPECT_TRUE(f.windowTitle().endsWith(QString::fromUtf8("[подключен]")))
        << f.windowTitle().toStdString();
    EXPECT_EQ(panel("StatusPanel0"), QString::fromUtf8("Файлов: 1"));
    EXPECT_EQ(panel("StatusPanel1"), QString::fromUtf8("Свободно: 4096"));

    choose(test::control<QComboBox>(f, "idLanguageSel"), 0);  // English.lang
    EXPECT_TRUE(f.windowTitle().endsWith("[connected]")) << f.windowTitle().toStdString();
    EXPECT_EQ(panel("StatusPanel0"), "1 files");
    EXPECT_EQ(panel("StatusPanel1"), "Free space: 4096 kB");

    clickRow(0);
    choose(test::control<QComboBox>(f, "idLanguageSel"), 1);  // Russian.lang
    EXPECT_EQ(panel("StatusPanel0"), QString::fromUtf8("Выбрано 1 из 1 -  0 кБ"));
    EXPECT_TRUE(f.windowTitle().endsWith(QString::fromUtf8("[подключен]")));
}

// A message longer than status panel 0 is whole in its tooltip, as text.
TEST_F(MessagesWindowTest, LongStatusMessageIsWholeInItsTooltip) {
    writeLang("Long.lang",
              "[LANG]\nidFilesCount=<b>%d</b> files, a count in a caption much "
              "longer than the status panel that shows it\n");
    writeFile(config.SettingsPath, "[General]\nlang=Long.lang\n");
    plugBefore("one", phoneState("A", "0A", {{Pic + "a.jpg", test::FileBytes(10)}}));
    TForm1& f = open();
    f.show();
    auto* status = test::control<QLabel>(f, "StatusPanel0");
    const QString whole =
        "<b>1</b> files, a count in a caption much longer than the status panel "
        "that shows it";
    ASSERT_EQ(status->text(), whole);
    ASSERT_LT(status->width(), status->fontMetrics().horizontalAdvance(whole));

    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), status->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(status, &hover);
    EXPECT_EQ(QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText(), whole);
    QToolTip::hideText();
}

// A first start, with no language chosen at all, takes English.lang; a
// stored choice, an empty one too, stays as it is.
TEST_F(MessagesWindowTest, AFirstStartSpeaksEnglishAStoredChoiceStays) {
    struct Case {
        const char* Settings;
        const char* Lang;  // chosen, and stored at close
        const char* Overwrite;
        const char* Box;  // the end of a download on connect
    };
    const Case cases[] = {
        {"download=1\n", "English.lang", "Overwrite existing", "All pictures are downloaded."},
        {"download=1\nlang=\n", "", "Overwrite exsisting", "idDlComplete"},
        {"download=1\nlang=russian.lang\ncharset=15\n", "Russian.lang",
         "\xd0\x97\xd0\xb0\xd0\xbc\xd0\xb5\xd0\xbd\xd1\x8f\xd1\x82\xd1\x8c "
         "\xd1\x81\xd1\x83\xd1\x89\xd0\xb5\xd1\x81\xd1\x82\xd0\xb2\xd1\x83\xd1\x8e\xd1\x89\xd0"
         "\xb8\xd0\xb5",
         "\xd0\x92\xd1\x81\xd0\xb5 \xd1\x81\xd0\xbd\xd0\xb8\xd0\xbc\xd0\xba\xd0\xb8 "
         "\xd1\x81\xd0\xba\xd0\xb0\xd1\x87\xd0\xb0\xd0\xbd\xd1\x8b."},
    };
    plugBefore("one", phoneState("A", "0A", {{Pic + "a.jpg", test::FileBytes(10)}}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Settings);
        writeFile(config.SettingsPath, QByteArray("[General]\n") + c.Settings);
        messages.clear();
        TForm1& f = open();
        EXPECT_EQ(test::control<QComboBox>(f, "idLanguageSel")->currentText(), c.Lang);
        EXPECT_EQ(test::control<QCheckBox>(f, "idOverwrite")->text(),
                  QString::fromUtf8(c.Overwrite));
        EXPECT_EQ(messages, QStringList{QString::fromUtf8(c.Box)});
        f.close();
        form.reset();
        EXPECT_EQ(QSettings(config.SettingsPath, QSettings::NativeFormat).value("lang").toString(),
                  c.Lang);
    }
}
