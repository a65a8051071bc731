// Download, upload and delete through the window's controls, against
// virtual phones whose store shows what really happened.
#include "TransferWindow.h"

TEST_F(TransferWindowTest, PhotoManagerSkipsOrOverwritesExistingFiles) {
    const auto picture = test::FileBytes(10000);
    auto phone = plugBefore("one", phoneState("A", "0A", {{Pic + "p.jpg", picture}}));
    writeFile(saveDir + "p.jpg", "old");
    TForm1& f = open();

    // Without overwriting: the line, nothing transferred.
    clickRow(0);
    clickDownload();
    EXPECT_TRUE(log().contains("The file " + saveDir + "p.jpg exists, skipping"));
    EXPECT_TRUE(readSizes(*phone).empty());
    EXPECT_EQ(readLocal(saveDir + "p.jpg"), "old");
    EXPECT_EQ(log().last(), "1 files");
    EXPECT_TRUE(test::control<QWidget>(f, "idList")->isEnabled());
    EXPECT_FALSE(test::control<QProgressBar>(f, "ProgressBar2")->isVisible());

    // Overwriting: replaced, in 4000-byte reads.
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    QTest::keyClick(test::control<QCheckBox>(f, "idOverwrite"), Qt::Key_Space);
    ASSERT_TRUE(test::control<QCheckBox>(f, "idOverwrite")->isChecked());
    test::control<QTabWidget>(f, "idTabs")->setCurrentWidget(test::control<QWidget>(f, "idList"));
    doubleClickRow(0);
    EXPECT_EQ(readLocal(saveDir + "p.jpg"), asBytes(picture));
    EXPECT_EQ(readSizes(*phone), (std::vector<uint32_t>{4000, 4000, 4000}));
    EXPECT_EQ(progressLines(), (QStringList{"Downloading -  4/10 kB", "Downloading -  8/10 kB",
                                            "Downloading - 10/10 kB"}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(TransferWindowTest, SmallBlocksTenProgressLinesAndExclusions) {
    const auto picture = test::FileBytes(10000);
    writeFile(config.ExcludePath, "/A/MOBILE/PICTURE/NO.JPG\r\n");
    auto phone = plugBefore(
        "one",
        phoneState("A", "0A", {{Pic + "no.jpg", test::FileBytes(50)}, {Pic + "yes.jpg", picture}}));
    open();
    selectAll();
    clickDownload();
    EXPECT_EQ(readLocal(saveDir + "yes.jpg"), asBytes(picture));
    EXPECT_FALSE(QFile::exists(saveDir + "no.jpg"));  // excluded, silently
    EXPECT_EQ(readSizes(*phone), std::vector<uint32_t>(10, 1000));
    const QStringList lines = progressLines();
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines.first(), "Downloading -  1/10 kB");
    EXPECT_EQ(lines.last(), "Downloading - 10/10 kB");
    EXPECT_FALSE(log().join("\n").contains("no.jpg"));
}

TEST_F(TransferWindowTest, DeleteAfterTakesOnlyCompletePictures) {
    TFiles files;
    for (int i = 0; i < 4; ++i) {
        files[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(2500, unsigned(i + 1));
    }
    writeFile(config.SettingsPath, "[General]\ndelete=1\n");
    auto phone = plugBefore("one", phoneState("A", "0A", files));
    open();
    selectAll();
    // Listed at 2500 bytes, p2 now holds none: its download cannot complete.
    phone->State().Files[Pic + "p2.jpg"].Data.resize(0);
    clickDownload();

    for (const char* kept : {"p0.jpg", "p1.jpg", "p3.jpg"}) {
        EXPECT_EQ(readLocal(saveDir + kept), asBytes(files[Pic + kept])) << kept;
        EXPECT_FALSE(phone->State().Files.contains(Pic + kept)) << kept;
    }
    EXPECT_TRUE(phone->State().Files.contains(Pic + "p2.jpg"));
    EXPECT_FALSE(QFile::exists(saveDir + "p2.jpg"));
    EXPECT_TRUE(log().contains("Download of /a/mobile/picture/p2.jpg failed"));
    // The list was read again and shows what is left.
    EXPECT_EQ(column(1), QStringList{"/a/mobile/picture/p2.jpg"});
    EXPECT_EQ(log().last(), "1 files");
}

TEST_F(TransferWindowTest, FailureAtEveryBlockKeepsThePhonePicture) {
    const auto picture = test::FileBytes(3500);
    for (uint32_t k = 1; k <= 4; ++k) {
        for (bool stall : {true, false}) {
            form.reset();
            QDir(saveDir).removeRecursively();
            devices.UnplugPhone("one");
            devices.DispatchPending();
            writeFile(config.SettingsPath, "[General]\ndelete=1\n");
            auto phone = plugBefore("one", phoneState("A", "0A", {{Pic + "p.jpg", picture}}));
            phone->Faults().FailReadAtBlock = k;
            phone->Faults().BlockFailuresStall = stall;
            open();
            selectAll();
            clickDownload();
            EXPECT_TRUE(phone->State().Files.contains(Pic + "p.jpg")) << k;
            EXPECT_EQ(QDir(saveDir).entryList(QDir::Files | QDir::Hidden), QStringList()) << k;
            EXPECT_TRUE(log().contains("Download of /a/mobile/picture/p.jpg failed")) << k;
        }
    }
}

TEST_F(TransferWindowTest, DownloadAllEndsEveryDownloadWithItsMessage) {
    writeFile(config.SettingsPath, "[General]\ndownload=1\n");
    auto phone = plugBefore("one", phoneState("A", "0A",
                                              {{Pic + "a.jpg", test::FileBytes(10)},
                                               {Pic + "b.jpg", test::FileBytes(20)}}));
    TForm1& f = open();
    // On connect: every row selected and fetched, then the message.
    EXPECT_EQ(readLocal(saveDir + "a.jpg"), asBytes(test::FileBytes(10)));
    EXPECT_EQ(readLocal(saveDir + "b.jpg"), asBytes(test::FileBytes(20)));
    EXPECT_EQ(messages, QStringList{"idDlComplete"});
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel0")->text(), "2 files");

    // A manual download ends the same way, files skipped or not.
    clickRow(0);
    clickDownload();
    EXPECT_EQ(messages, (QStringList{"idDlComplete", "idDlComplete"}));
}

TEST_F(TransferWindowTest, FileManagerAsksForAFolderAndBeforeReplacing) {
    writeFile(config.SettingsPath, "[General]\nmode=1\n");
    TFiles files;
    for (int i = 1; i <= 11; ++i) {
        files["/a/f" + std::to_string(100 + i) + ".txt"] = test::FileBytes(size_t(i), unsigned(i));
    }
    files["/a/x.jpg"] = test::FileBytes(30, 1);
    files[Pic + "x.jpg"] = test::FileBytes(40, 2);
    auto phone = plugBefore("one", phoneState("A", "0A", files));
    TForm1& f = open();
    ASSERT_EQ(list()->rowCount(), 13);

    // Cancelled: nothing fetched, the page back, the bars gone.
    selectAll();
    chooserAnswer.clear();
    clickDownload();
    EXPECT_EQ(chooserTitle, "Select directory");
    EXPECT_TRUE(openedNames(*phone).empty());
    EXPECT_TRUE(test::control<QWidget>(f, "idList")->isEnabled());
    EXPECT_FALSE(test::control<QProgressBar>(f, "ProgressBar1")->isVisible());
    EXPECT_FALSE(test::control<QProgressBar>(f, "ProgressBar2")->isVisible());

    // Chosen: every row in the order shown (1, 10, 11, 12, 13, 2, ...);
    // the second x.jpg finds the first one's file and asks; No keeps it.
    chooserAnswer = root + "/target";  // created when missing, a "/" added
    clickDownload();
    std::vector<std::string> shown;
    for (const QString& n : column(1)) {
        shown.push_back(n.toStdString());
    }
    const auto second = std::max(std::find(shown.begin(), shown.end(), "/a/x.jpg"),
                                 std::find(shown.begin(), shown.end(), Pic + "x.jpg"));
    const std::string secondName = *second;
    const std::string firstName = secondName == "/a/x.jpg" ? Pic + "x.jpg" : "/a/x.jpg";
    shown.erase(second);  // answered No: never opened
    EXPECT_EQ(openedNames(*phone), shown);
    EXPECT_EQ(asked, QStringList{"File " + root + "/target/x.jpg exists. Replace?"});
    EXPECT_EQ(QDir(root + "/target").entryList(QDir::Files).size(), 12);
    EXPECT_EQ(readSizes(*phone), std::vector<uint32_t>(12, 4000));
    EXPECT_EQ(readLocal(root + "/target/x.jpg"), asBytes(files[firstName]));

    // Yes replaces it.
    yesAnswer = true;
    clickDownload();
    EXPECT_EQ(readLocal(root + "/target/x.jpg"), asBytes(files[secondName]));
    EXPECT_EQ(logText(f).count("exists, skipping"), 0);
}

TEST_F(TransferWindowTest, UnwritableFolderEndsTheCommandAndDeletesNothing) {
    writeFile(config.SettingsPath, "[General]\ndelete=1\n");
    writeFile(root + "/blocker", "a file where the folder should be");
    config.PicturesDir = root + "/blocker/Pictures/";
    auto phone = plugBefore("one", phoneState("A", "0A",
                                              {{Pic + "a.jpg", test::FileBytes(10)},
                                               {Pic + "b.jpg", test::FileBytes(10)}}));
    TForm1& f = open();
    selectAll();
    clickDownload();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("error: ")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(root + "/blocker/Pictures/"));
    EXPECT_EQ(phone->State().Files.size(), 2u);
    EXPECT_TRUE(test::control<QWidget>(f, "idList")->isEnabled());
    EXPECT_TRUE(test::control<QTreeView>(f, "ListView1")->isEnabled());
    EXPECT_FALSE(test::control<QProgressBar>(f, "ProgressBar2")->isVisible());
    EXPECT_EQ(log().last(), "2 files");

    // A folder that exists but takes no files, whoever runs the test: the
    // same, with the file's path and the reason.
    form.reset();
    messages.clear();
    config.PicturesDir = "/proc/";
    TForm1& g = open();
    selectAll();
    clickDownload();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("error: /proc/a.jpg: ")) << messages[0].toStdString();
    EXPECT_EQ(phone->State().Files.size(), 2u);
    EXPECT_TRUE(test::control<QWidget>(g, "idList")->isEnabled());
    EXPECT_EQ(log().last(), "2 files");
}

TEST_F(TransferWindowTest, HostilePhoneNamesWriteNothingOutsideTheFolder) {
    writeFile(config.SettingsPath, "[General]\nmode=1\n");
    const std::string longName = "/a/" + std::string(250, 'n') + ".jpg";  // 257 bytes
    const std::string cyrillicName = "/a/" + std::string(130, '\xf4');    // 260 bytes of UTF-8
    std::string highBytes = "/a/";
    for (int b = 0x80; b <= 0xFF; ++b) {
        highBytes += char(b);  // 0x98 is no letter of the phone's code page
    }
    // Whole names as the phone lists them, not only the part after a folder.
    TFiles files = {{"/a/", test::FileBytes(5)},
                    {"/a/.", test::FileBytes(5)},
                    {"/a/..", test::FileBytes(5)},
                    {"/a/b/..", test::FileBytes(5)},
                    {"", test::FileBytes(5)},
                    {".", test::FileBytes(5)},
                    {"..", test::FileBytes(5)},
                    {"../x", test::FileBytes(5, 3)},
                    {"a/../../x", test::FileBytes(5, 4)},
                    {"/a/line\nbreak.jpg", test::FileBytes(5)},
                    {"/a/ctl\x01\x1b.jpg", test::FileBytes(5)},
                    {"/a/del\x7f.jpg", test::FileBytes(5)},
                    {highBytes, test::FileBytes(5)},
                    {longName, test::FileBytes(5)},
                    {cyrillicName, test::FileBytes(5)},
                    {"/a/\xf4\xee\xf2\xee.jpg", test::FileBytes(5, 7)}};
    auto phone = plugBefore("one", phoneState("A", "0A", files));
    phone->Faults().SearchIgnoresFolder = true;
    open();
    ASSERT_EQ(list()->rowCount(), int(files.size()));
    selectAll();
    // Two levels down, so that whatever "a/../../x" could reach is still
    // inside the test's own folder, whatever else the machine keeps in /tmp.
    chooserAnswer = root + "/deep/target/";
    clickDownload();
    // "../x" and "a/../../x" could only ever be the file x inside the folder;
    // this phone refuses to open them, as it refuses the 257-byte name.
    EXPECT_EQ(filesUnderRoot(), (QStringList{"config/Brenwick/Snaprill.conf",
                                             QString::fromUtf8("deep/target/фото.jpg")}));
    EXPECT_FALSE(QFileInfo::exists(root + "/x"));
    EXPECT_FALSE(QFileInfo::exists(root + "/deep/x"));
    EXPECT_EQ(readLocal(root + QString::fromUtf8("/deep/target/фото.jpg")),
              asBytes(test::FileBytes(5, 7)));
    // Every other row is named in the Log, skipped or failed.
    const QStringList skipped = log().filter("cannot be a local file name, skipping");
    EXPECT_EQ(skipped.size(), int(files.size()) - 4) << log().join("\n").toStdString();
    for (const QString& line :
         {QString("The name  cannot be a local file name, skipping"),
          QString("The name . cannot be a local file name, skipping"),
          QString("The name .. cannot be a local file name, skipping"),
          QString("The name /a/line break.jpg cannot be a local file name, skipping"),
          QString("The name /a/ctl\x01\x1b.jpg cannot be a local file name, skipping"),
          QString("The name /a/del\x7f.jpg cannot be a local file name, skipping"),
          QString("Download of ../x failed"), QString("Download of a/../../x failed"),
          QString::fromStdString("Download of " + longName + " failed")}) {
        EXPECT_TRUE(log().contains(line)) << line.toStdString();
    }
    EXPECT_EQ(phone->State().Files.size(), files.size());

    // Names of 260 bytes with no end: nothing written, every row named.
    phone->Faults().ListNamesWithoutNul = true;
    QTest::mouseClick(test::control<QToolButton>(*form, "idRefresh"), Qt::LeftButton);
    ASSERT_EQ(list()->rowCount(), int(files.size()));
    for (const QString& name : column(1)) {
        EXPECT_EQ(name.size(), 260);
    }
    selectAll();
    const auto before = log().size();
    clickDownload();
    const QStringList lines = log().mid(before);
    EXPECT_EQ(lines.filter("cannot be a local file name, skipping").size() +
                  lines.filter(QRegularExpression("^Download of .* failed$")).size(),
              int(files.size()))
        << lines.join("\n").toStdString();
    EXPECT_EQ(filesUnderRoot().size(), 2);
}

TEST_F(TransferWindowTest, UnpluggedAtEveryStepLosesNoPicture) {
    TFiles files;
    for (int i = 0; i < 3; ++i) {
        files[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(2200, unsigned(i + 1));
    }
    writeFile(config.SettingsPath, "[General]\ndelete=1\n");
    for (uint32_t k = 0;; ++k) {
        form.reset();
        QDir(saveDir).removeRecursively();
        auto phone = plugBefore("one", phoneState("A", "0A", files));
        plugBefore("two", phoneState("B", "0B"));
        open();
        ASSERT_EQ(list()->rowCount(), 3);
        selectAll();
        const uint32_t start = phone->Transactions();
        bool unplugged = false;
        transport.SetExchangeHook(
            [&](TVirtualP2KTransport::TExchange, const std::string&, uint64_t) {
                if (!unplugged && phone->Transactions() >= start + k) {
                    unplugged = true;
                    devices.UnplugPhone("one");
                }
            });
        clickDownload();
        settle();
        transport.SetExchangeHook(nullptr);
        // Every picture is on the phone or complete on disk, never neither.
        for (const auto& [name, data] : files) {
            const QString local = saveDir + QString::fromStdString(name.substr(Pic.size()));
            const bool onPhone = phone->State().Files.contains(name);
            const bool onDisk = readLocal(local) == asBytes(data);
            EXPECT_TRUE(onPhone || onDisk) << name << " at step " << k;
            if (QFile::exists(local)) {
                EXPECT_TRUE(onDisk) << name << " at step " << k;
            }
        }
        EXPECT_EQ(QDir(saveDir).entryList(QDir::Files | QDir::Hidden).filter(".part"),
                  QStringList())
            << k;
        EXPECT_FALSE(form->session().Busy());
        if (!unplugged) {
            EXPECT_TRUE(phone->State().Files.empty());  // the whole road ran
            break;
        }
        EXPECT_TRUE(form->windowTitle().endsWith("[disconnected]")) << k;
        EXPECT_EQ(list()->rowCount(), 0) << k;
        EXPECT_TRUE(test::control<QWidget>(*form, "idList")->isEnabled()) << k;
        devices.UnplugPhone("two");
        devices.DispatchPending();
    }
}

TEST_F(TransferWindowTest, ArrivalDuringADownloadEndsItAndListsAgain) {
    auto phone = plugBefore("one", phoneState("A", "0A",
                                              {{Pic + "a.jpg", test::FileBytes(9000)},
                                               {Pic + "b.jpg", test::FileBytes(9000)}}));
    writeFile(config.SettingsPath, "[General]\ndelete=1\n");
    TForm1& f = open();
    selectAll();
    bool plugged = false;
    transport.SetExchangeHook([&](TVirtualP2KTransport::TExchange, const std::string&, uint64_t) {
        if (!plugged && !readSizes(*phone).empty()) {
            plugged = true;
            plug("two", phoneState("B", "0B"));
        }
    });
    clickDownload();
    settle();
    transport.SetExchangeHook(nullptr);
    // Ended at the first pause: nothing deleted, then the choice rebuilt.
    EXPECT_EQ(phone->State().Files.size(), 2u);
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->count(), 2);
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->currentIndex(), 0);
    EXPECT_EQ(list()->rowCount(), 2);
    EXPECT_TRUE(test::control<QToolButton>(f, "idDownload")->isEnabled());
    EXPECT_EQ(QDir(saveDir).entryList(QDir::Files | QDir::Hidden).filter(".part"), QStringList());
}
