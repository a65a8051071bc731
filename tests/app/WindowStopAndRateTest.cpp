// Stop, speed and time left, and the options of the picture importer,
// through the window's controls against a virtual phone.
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSettings>
#include <QToolButton>

#include "PhoneWindow.h"
#include "core/session/FileListModel.h"
#include "support/Controls.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class ImporterWindowTest : public PhoneWindowTest {
  protected:
    void SetUp() override {
        PhoneWindowTest::SetUp();
        saveDir = root + "/Pictures/";
        config.PicturesDir = saveDir;
    }
    void selectAll() {
        QTest::keyClick(test::control<QTreeView>(*form, "ListView1"), Qt::Key_A,
                        Qt::ControlModifier);
    }
    void clickDownload() {
        QTest::mouseClick(test::control<QToolButton>(*form, "idDownload"), Qt::LeftButton);
    }
    QToolButton* stopButton() const { return test::control<QToolButton>(*form, "idStop"); }
    QString saveDir;
};

TEST_F(ImporterWindowTest, StopOrEscapeEndsADownloadAfterItsBlock) {
    TFiles files;
    for (int i = 0; i < 3; ++i) {
        files[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(2500, unsigned(i + 1));
    }
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape);
        form.reset();
        QDir(saveDir).removeRecursively();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        writeFile(config.SettingsPath, "[General]\ndelete=1\n");
        auto phone = plugBefore("one", phoneState("A", "0A", files));
        TForm1& f = open();
        f.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
        selectAll();
        EXPECT_FALSE(stopButton()->isEnabled());

        // The user stops at the second block; the click or key comes with
        // the window's next events.
        int blocks = 0;
        bool usable = false;
        QObject::connect(&f.session(), &TPhoneSession::transferBytes, &f, [&] {
            if (++blocks != 2) {
                return;
            }
            usable = stopButton()->isEnabled() && stopButton()->isVisibleTo(&f) &&
                     !test::control<QTreeView>(f, "ListView1")->isEnabled();
            QMetaObject::invokeMethod(
                &f,
                [&] {
                    if (escape) {
                        QTest::keyClick(test::control<QTreeView>(f, "ListView1"), Qt::Key_Escape);
                    } else {
                        QTest::mouseClick(stopButton(), Qt::LeftButton);
                    }
                },
                Qt::QueuedConnection);
        });
        clickDownload();

        EXPECT_TRUE(usable);
        EXPECT_EQ(blocks, 2);
        EXPECT_EQ(log().filter("Downloading - "),
                  (QStringList{"Downloading -  1/ 2 kB", "Downloading -  2/ 2 kB"}));
        EXPECT_TRUE(log().contains("0 files done, the command was stopped"));
        EXPECT_EQ(phone->State().Files.size(), 3u);
        EXPECT_EQ(QDir(saveDir).entryList(QDir::Files | QDir::Hidden), QStringList());
        // The end steps ran.
        EXPECT_EQ(log().last(), "3 files");
        EXPECT_TRUE(test::control<QWidget>(f, "idList")->isEnabled());
        EXPECT_TRUE(test::control<QTreeView>(f, "ListView1")->isEnabled());
        EXPECT_FALSE(test::control<QProgressBar>(f, "ProgressBar2")->isVisible());
        EXPECT_FALSE(stopButton()->isEnabled());
        EXPECT_TRUE(test::control<QToolButton>(f, "idDownload")->isEnabled());
    }
}

TEST_F(ImporterWindowTest, SpeedAndTimeLeftShowWhileATransferRuns) {
    writeFile(config.SettingsPath, "[General]\nmode=1\n");
    auto phone = plugBefore("one", phoneState("A", "0A",
                                              {{"/a/one.jpg", test::FileBytes(20000, 1)},
                                               {"/a/two.jpg", test::FileBytes(20000, 2)}}));
    // Every command written to the open file takes 300 ms of the phone's
    // clock: the open, then one a 4000-byte block.
    transport.SetExchangeHook(
        [&](TVirtualP2KTransport::TExchange Kind, const std::string&, uint64_t) {
            if (Kind == TVirtualP2KTransport::TExchange::Write && !phone->OpenFileName().empty()) {
                clock.Advance(300);
            }
        });
    // The question about two.jpg comes once one.jpg is in: the panel then
    // shows what is left, two.jpg's 20000 bytes.
    writeFile(root + "/target/two.jpg", "old");
    chooserAnswer = root + "/target";
    QString shown;
    bool visible = false;
    config.Dialogs.AskYesNo = [&](QWidget*, const QString&) {
        shown = test::control<QLabel>(*form, "StatusPanel2")->text();
        visible = test::control<QLabel>(*form, "StatusPanel2")->isVisible();
        return true;
    };
    open();
    EXPECT_FALSE(test::control<QLabel>(*form, "StatusPanel2")->isVisible());
    selectAll();
    clickDownload();
    transport.SetExchangeHook(nullptr);
    EXPECT_TRUE(visible);
    const QRegularExpressionMatch m =
        QRegularExpression("^ *(\\d+) kB/s, 0:0(\\d) left$").match(shown);
    ASSERT_TRUE(m.hasMatch()) << "[" << shown.toStdString() << "]";
    EXPECT_NEAR(m.captured(1).toInt(), 11, 1);  // 20000 bytes in 1.8 s, in kB
    EXPECT_EQ(m.captured(2).toInt(), 2);        // 20000 bytes more: 1.8 s
    EXPECT_FALSE(test::control<QLabel>(*form, "StatusPanel2")->isVisible());
}

TEST_F(ImporterWindowTest, OptionsKeepTheirKeysAndOnlyNewSkipsThroughTheHistory) {
    TForm1& f = open();
    auto* pictureTime = test::control<QCheckBox>(f, "idPictureTime");
    auto* skip = test::control<QCheckBox>(f, "idSkipDownloaded");
    EXPECT_TRUE(pictureTime->isChecked());
    EXPECT_FALSE(skip->isChecked());
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    QTest::keyClick(pictureTime, Qt::Key_Space);
    QTest::keyClick(skip, Qt::Key_Space);
    form->close();
    {
        QSettings s(config.SettingsPath, QSettings::NativeFormat);
        EXPECT_EQ(s.value("picturetime").toInt(), 0);
        EXPECT_EQ(s.value("skipdownloaded").toInt(), 1);
    }

    // A picture this phone gave before, whose copy went away since, is
    // marked and skipped.
    auto phone =
        plugBefore("one", phoneState("A", "0A", {{Pic + "old.jpg", test::FileBytes(1500, 1)}}));
    writeFile(config.SettingsPath, "[General]\n");
    open();
    selectAll();
    clickDownload();
    ASSERT_TRUE(QFile::remove(saveDir + "old.jpg"));
    phone->State().Files[Pic + "new.jpg"] = {test::FileBytes(1500, 2), 0, 0};
    writeFile(config.SettingsPath, "[General]\nskipdownloaded=1\n");
    form.reset();
    open();
    ASSERT_EQ(column(1), (QStringList{"/a/mobile/picture/new.jpg", "/a/mobile/picture/old.jpg"}));
    EXPECT_FALSE(list()->index(0, 1).data(TFileListModel::DownloadedBeforeRole).toBool());
    EXPECT_TRUE(list()->index(1, 1).data(TFileListModel::DownloadedBeforeRole).toBool());
    selectAll();
    clickDownload();
    EXPECT_TRUE(QFile::exists(saveDir + "new.jpg"));
    EXPECT_FALSE(QFile::exists(saveDir + "old.jpg"));
    EXPECT_TRUE(log().contains("/a/mobile/picture/old.jpg was downloaded before, skipping"));
    EXPECT_TRUE(list()->index(0, 1).data(TFileListModel::DownloadedBeforeRole).toBool());
    QFile history(config.HistoryPath);
    ASSERT_TRUE(history.open(QIODevice::ReadOnly));
    EXPECT_EQ(history.readAll().count("/a/mobile/picture/"), 2);

    writeFile(config.SettingsPath, "[General]\nmode=1\nskipdownloaded=1\n");
    form.reset();
    TForm1& h = open();
    EXPECT_TRUE(test::control<QCheckBox>(h, "idSkipDownloaded")->isChecked());
    EXPECT_TRUE(test::control<QCheckBox>(h, "idSkipDownloaded")->isHidden());
    EXPECT_FALSE(test::control<QCheckBox>(h, "idPictureTime")->isHidden());
}
