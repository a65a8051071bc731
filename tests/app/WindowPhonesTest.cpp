// Phones in the window: found, switched, chosen, listed and lost, through
// the controls a user touches.
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QToolButton>

#include "PhoneWindow.h"
#include "sim/VirtualModem.h"
#include "support/Controls.h"
#include "wiring/BackendFactory.h"

namespace {
const char* const Title = "Snaprill v0.21 by Brenwick";
std::vector<uint8_t> bytes(size_t N) {
    return std::vector<uint8_t>(N, 0x5A);
}
}  // namespace

TEST_F(PhoneWindowTest, NoPhoneLeavesChoiceAndListEmpty) {
    TForm1& f = open();
    EXPECT_EQ(log(), QStringList{"0 P2K devices found"});
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->count(), 0);
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(f.windowTitle(), Title);

    // Refresh with no phone looks for phones again, and lists nothing.
    QTest::mouseClick(test::control<QToolButton>(f, "idRefresh"), Qt::LeftButton);
    EXPECT_EQ(log(), (QStringList{"0 P2K devices found", "0 P2K devices found"}));
    EXPECT_EQ(f.windowTitle(), Title);
}

TEST_F(PhoneWindowTest, TwoPhonesFirstListedSecondChosen) {
    auto first = plugBefore(
        "one", phoneState("Alpha", "0A4A5A6A7A8A9B", {{"/a/mobile/picture/a1.jpg", bytes(10)}}));
    auto second = plugBefore("two", phoneState("Beta", "11223344556677",
                                               {{"/a/mobile/picture/b1.jpg", bytes(20)},
                                                {"/a/mobile/picture/b2.jpg", bytes(30)}}));
    auto mute = plugBefore("three", DefaultVirtualPhoneState());
    mute->Faults().FailWrites = true;  // opens, but never answers
    TForm1& f = open();

    ASSERT_EQ(test::control<QComboBox>(f, "ComboBox1")->count(), 3);
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->itemText(0), "Alpha [0A4A5A6A7A8A9B]");
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->itemText(1), "Beta [11223344556677]");
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->itemText(2), " []");
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->currentIndex(), 0);
    EXPECT_EQ(column(1), QStringList{"/a/mobile/picture/a1.jpg"});
    EXPECT_EQ(log(), (QStringList{"3 P2K devices found", "Closing all AT devices",
                                  "Closing all P2K devices", "1 files"}));
    EXPECT_EQ(f.windowTitle(), QString(Title) + " [connected]");
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel1")->text(), "Free space: 4096");
    EXPECT_EQ(test::control<QComboBox>(f, "idDriveSelect")->count(), 2);
    EXPECT_EQ(test::control<QComboBox>(f, "idDriveSelect")->currentText(), "/a");

    choose(test::control<QComboBox>(f, "ComboBox1"), 1);
    EXPECT_EQ(column(1), (QStringList{"/a/mobile/picture/b1.jpg", "/a/mobile/picture/b2.jpg"}));
    EXPECT_EQ(column(2), (QStringList{"20", "30"}));
    // Only the chosen phone stays open.
    TMotoP2KModemList& phonesList = f.session().P2K().DeviseList();
    EXPECT_FALSE(phonesList.Items(0)->IsOpen());
    EXPECT_TRUE(phonesList.Items(1)->IsOpen());
    EXPECT_FALSE(phonesList.Items(2)->IsOpen());
    EXPECT_EQ(transport.OpenChannels(), 1);

    // A new arrival rebuilds the choice and lists entry 0 again.
    plug("four", phoneState("Gamma", "00000000000000"));
    ASSERT_TRUE(waitFor([&] { return test::control<QComboBox>(f, "ComboBox1")->count() == 4; }));
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->currentIndex(), 0);
    EXPECT_EQ(column(1), QStringList{"/a/mobile/picture/a1.jpg"});
    EXPECT_TRUE(log().contains("4 P2K devices found"));
}

TEST_F(PhoneWindowTest, ListedPhoneRemovedEvenWithAnotherAttached) {
    plugBefore("one",
               phoneState("Alpha", "0A4A5A6A7A8A9B", {{"/a/mobile/picture/x.jpg", bytes(5)}}));
    plugBefore("two", phoneState("Beta", "0A4A5A6A7A8A9B"));
    TForm1& f = open();
    ASSERT_EQ(list()->rowCount(), 1);

    devices.UnplugPhone("one");
    ASSERT_TRUE(waitFor([&] { return f.windowTitle().endsWith("[disconnected]"); }));
    EXPECT_EQ(f.windowTitle(), QString(Title) + " [disconnected]");
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->count(), 0);
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(f.session().P2K().DeviseList().Count(), 1);  // the other phone is still there

    // Refresh finds the phone left, as its arrival would, and lists it.
    const auto before = log().size();
    QTest::mouseClick(test::control<QToolButton>(f, "idRefresh"), Qt::LeftButton);
    EXPECT_EQ(log().mid(before), (QStringList{"1 P2K devices found", "Closing all AT devices",
                                              "Closing all P2K devices", "0 files"}));
    ASSERT_EQ(test::control<QComboBox>(f, "ComboBox1")->count(), 1);
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->currentText(), "Beta [0A4A5A6A7A8A9B]");
    EXPECT_EQ(f.windowTitle(), QString(Title) + " [connected]");
}

// A phone arriving in the middle of a listing cuts it short; the cut list
// gives no count, and the count that follows is the whole list's.
TEST_F(PhoneWindowTest, ArrivalDuringAListingLogsNoPartialCount) {
    TFiles files;
    for (int i = 0; i < 12; ++i) {
        files["/a/mobile/picture/p" + std::to_string(i) + ".jpg"] = bytes(3);
    }
    plugBefore("one", phoneState("Alpha", "0A4A5A6A7A8A9B", files));
    TForm1& f = open();
    bool arrived = false;
    // The listing's bar counts the rows listed so far.
    QObject::connect(test::control<QProgressBar>(f, "ProgressBar1"), &QProgressBar::valueChanged,
                     &f, [&](int Listed) {
                         if (!arrived && Listed == 6) {
                             arrived = true;
                             plug("two", phoneState("Beta", "0A4A5A6A7A8A9B", files));
                         }
                     });
    const auto before = log().size();
    QTest::mouseClick(test::control<QToolButton>(f, "idRefresh"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return test::control<QComboBox>(f, "ComboBox1")->count() == 2; }));
    settle();
    ASSERT_TRUE(arrived);
    const QStringList lines = log().mid(before);
    EXPECT_EQ(lines.filter(QRegularExpression(" files$")), QStringList{"12 files"})
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("2 P2K devices found"));
    EXPECT_EQ(list()->rowCount(), 12);
}

TEST_F(PhoneWindowTest, ModemPhoneIsSwitchedAndListed) {
    auto phone = std::make_shared<TVirtualPhone>(
        phoneState("Modem", "0A4A5A6A7A8A9B", {{"/a/mobile/picture/m.jpg", bytes(7)}}));
    TForm1& f = open();
    TVirtualModemPhone rig(devices, "cam", phone);
    ASSERT_TRUE(rig.IsValid());

    ASSERT_TRUE(waitFor([&] { return list()->rowCount() == 1; }, 10000))
        << log().join("\n").toStdString();
    const QStringList lines = log();
    const auto switched = lines.indexOf("Switching to P2K mode: Motorola USB Modem (virtual)");
    const auto found = lines.indexOf("1 P2K devices found");
    ASSERT_GE(switched, 0) << lines.join("\n").toStdString();
    EXPECT_GT(found, switched);
    EXPECT_EQ(lines.mid(found), (QStringList{"1 P2K devices found", "Closing all AT devices",
                                             "Closing all P2K devices", "1 files"}));
    EXPECT_EQ(f.windowTitle(), QString(Title) + " [connected]");
    EXPECT_EQ(rig.Modem().Lines(), std::vector<std::string>{"AT+Mode=8"});
}

TEST_F(PhoneWindowTest, RefreshRelistsTheChosenPhone) {
    auto phone = plugBefore(
        "one", phoneState("Alpha", "0A4A5A6A7A8A9B", {{"/a/mobile/picture/x.jpg", bytes(5)}}));
    TForm1& f = open();
    phone->State().Files["/a/mobile/picture/y.jpg"] = {bytes(6), 0, 0};
    const auto before = log().size();
    QTest::mouseClick(test::control<QToolButton>(f, "idRefresh"), Qt::LeftButton);
    EXPECT_EQ(log().mid(before),
              (QStringList{"Closing all AT devices", "Closing all P2K devices", "2 files"}));
    EXPECT_EQ(column(1), (QStringList{"/a/mobile/picture/x.jpg", "/a/mobile/picture/y.jpg"}));
}

TEST_F(PhoneWindowTest, PhotoAndFileManagerListings) {
    TFiles files;
    for (int i = 1; i <= 9; ++i) {
        files["/a/f" + std::to_string(i) + ".txt"] = bytes(size_t(i));
    }
    files["/a/Music/song.mp3"] = bytes(11);
    files["/a/music/other.mp3"] = bytes(12);  // the same folder, written otherwise
    files["/a/mobile/picture/p.jpg"] = bytes(13);
    files["/a/mobile/picture/notes.txt"] = bytes(1);
    auto phone = plugBefore("one", phoneState("Alpha", "0A4A5A6A7A8A9B", files));
    TForm1& f = open();

    // Photo Manager: the pictures folder's JPEGs, with check boxes.
    EXPECT_EQ(searches(*phone), std::vector<std::string>{"/a/mobile/picture/|*.jpg"});
    EXPECT_EQ(column(1), QStringList{"/a/mobile/picture/p.jpg"});
    EXPECT_EQ(checkState(0), Qt::Unchecked);
    EXPECT_EQ(column(0), QStringList{""});

    // Choosing File Manager in the Options page lists every file at once.
    choose(test::control<QComboBox>(f, "idModeSelect"), 1);
    EXPECT_EQ(searches(*phone).back(), "/a/|*.*");
    ASSERT_EQ(list()->rowCount(), 13);
    EXPECT_EQ(column(0),
              (QStringList{"1", "10", "11", "12", "13", "2", "3", "4", "5", "6", "7", "8", "9"}));
    EXPECT_FALSE(list()->index(0, 0).data(Qt::CheckStateRole).isValid());
    // Each folder is offered once as an upload folder, whatever its case.
    QStringList folders;
    for (int i = 0; i < test::control<QComboBox>(f, "idUploadPath")->count(); ++i) {
        folders.append(test::control<QComboBox>(f, "idUploadPath")->itemText(i));
    }
    folders.sort();
    EXPECT_EQ(folders, (QStringList{"/a/", "/a/Music/", "/a/mobile/picture/"}));
    EXPECT_EQ(test::control<QComboBox>(f, "idUploadPath")->currentIndex(),
              -1);  // offered, not chosen
    EXPECT_EQ(test::control<QComboBox>(f, "idUploadPath")->currentText(), "/a/");
    EXPECT_FALSE(test::control<QProgressBar>(f, "ProgressBar1")->isVisible());

    // Refreshing does not offer a folder twice.
    QTest::mouseClick(test::control<QToolButton>(f, "idRefresh"), Qt::LeftButton);
    EXPECT_EQ(test::control<QComboBox>(f, "idUploadPath")->count(), 3);
}

TEST_F(PhoneWindowTest, StartUpModeAppliesWithoutListingTwice) {
    writeFile(config.SettingsPath, "[General]\nmode=1\n");
    plugBefore("one", phoneState("Alpha", "0A4A5A6A7A8A9B", {{"/a/x.txt", bytes(3)}}));
    TForm1& f = open();
    EXPECT_EQ(f.session().Mode(), 1);
    EXPECT_EQ(log().count("1 files"), 1);
    EXPECT_EQ(column(0), QStringList{"1"});
}

TEST_F(PhoneWindowTest, ExclusionFollowsCheckMarks) {
    writeFile(config.ExcludePath, "/A/MOBILE/PICTURE/\xd4\xce\xd2\xce.JPG\r\n/a/gone.jpg\r\n");
    auto phone = plugBefore(
        "one", phoneState("Alpha", "0A4A5A6A7A8A9B",
                          {{"/a/mobile/picture/\xf4\xee\xf2\xee.jpg", bytes(10)},  // фото.jpg
                           {"/a/mobile/picture/keep.jpg", bytes(10)}}));
    open();
    // The phone lists keep.jpg first (its store is in byte order).
    ASSERT_EQ(column(1), (QStringList{"/a/mobile/picture/keep.jpg",
                                      QString::fromUtf8("/a/mobile/picture/фото.jpg")}));
    EXPECT_EQ(checkState(1), Qt::Checked);  // ФОТО.JPG in the list, letter case aside
    EXPECT_EQ(checkState(0), Qt::Unchecked);

    clickCheckBox(1);  // unchecked and clicked: no longer excluded
    EXPECT_EQ(checkState(1), Qt::Unchecked);
    clickCheckBox(0);
    EXPECT_EQ(checkState(0), Qt::Checked);
    form->close();
    QFile saved(config.ExcludePath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "/a/gone.jpg\r\n/a/mobile/picture/keep.jpg\r\n");
}

TEST_F(PhoneWindowTest, NeverDownloadFromTheContextMenu) {
    plugBefore("one", phoneState("Alpha", "0A4A5A6A7A8A9B",
                                 {{"/a/mobile/picture/a.jpg", bytes(1)},
                                  {"/a/mobile/picture/b.jpg", bytes(1)}}));
    writeLang("Menu.lang", "[LANG]\nNeverdownloadthisfile1=Skip forever\n");
    TForm1& f = open();
    f.loadLang("Menu.lang");
    EXPECT_EQ(test::control<QAction>(f, "Neverdownloadthisfile1")->text(), "Skip forever");
    ASSERT_TRUE(test::control<QTreeView>(f, "ListView1")
                    ->actions()
                    .contains(test::control<QAction>(f, "Neverdownloadthisfile1")));

    clickRow(1);
    test::control<QAction>(f, "Neverdownloadthisfile1")->trigger();
    test::control<QAction>(f, "Neverdownloadthisfile1")
        ->trigger();  // added again: the list keeps duplicates
    EXPECT_EQ(f.session().Exclude().Entries(),
              (std::vector<std::string>{"/a/mobile/picture/b.jpg", "/a/mobile/picture/b.jpg"}));
    EXPECT_EQ(checkState(1), Qt::Checked);
    clickRow(0);  // a later click keeps it: the row is checked
    EXPECT_TRUE(f.session().Exclude().Contains("/a/mobile/picture/b.jpg"));
}

TEST_F(PhoneWindowTest, SelectionSummary) {
    TFiles files;
    const size_t sizes[] = {1024, 2048, 100, 200, 300};
    for (int i = 0; i < 5; ++i) {
        files["/a/mobile/picture/p" + std::to_string(i) + ".jpg"] = bytes(sizes[i]);
    }
    plugBefore("one", phoneState("Alpha", "0A4A5A6A7A8A9B", files));
    TForm1& f = open();
    clickRow(0);
    clickRow(1, Qt::ControlModifier);
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel0")->text(), "2 of 5 files -  3 kB");
    QTest::keyClick(test::control<QTreeView>(f, "ListView1"), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel0")->text(), "5 of 5 files -  4 kB");
    clickRow(4);
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel0")->text(), "1 of 5 files -  0 kB");
    EXPECT_FALSE(logText(f).contains("of 5 files"));  // the status bar only
}

// Messages already on show follow a charset change: the Log, both status
// panels and the caption are formatted again from the language file's bytes.
TEST_F(PhoneWindowTest, ShownMessagesFollowACharsetChange) {
    // "Найдено: %d", "Файлов: %d", "Свободно: %2.f", "%d из %d" and "связь" in windows-1251.
    writeLang("Russian.lang",
              "[LANG]\r\nidPhoneFound=\xcd\xe0\xe9\xe4\xe5\xed\xee: %d\r\n"
              "idFilesCount=\xd4\xe0\xe9\xeb\xee\xe2: %d\r\n"
              "idFreeSpace=\xd1\xe2\xee\xe1\xee\xe4\xed\xee: %2.f\r\n"
              "idSelectedFiles=%d \xe8\xe7 %d - %2.f\r\n"
              "idConnected=\xf1\xe2\xff\xe7\xfc\r\n");
    writeFile(config.SettingsPath, "[General]\nlang=Russian.lang\n");
    plugBefore("one",
               phoneState("Alpha", "0A4A5A6A7A8A9B", {{"/a/mobile/picture/a.jpg", bytes(10)}}));
    TForm1& f = open();
    const QStringList before = log();
    ASSERT_TRUE(before.contains(QString::fromUtf8("Íàéäåíî: 1")));  // 1252 under DEFAULT
    clickRow(0);

    choose(test::control<QComboBox>(f, "idCharsetSel"), 15);  // RUSSIAN_CHARSET
    const QStringList after = log();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.first(), QString::fromUtf8("Найдено: 1"));
    EXPECT_TRUE(after.contains(QString::fromUtf8("Файлов: 1")));
    for (int i = 0; i < after.size(); ++i) {
        if (!before[i].contains(QChar(0xCD)) && !before[i].contains(QChar(0xD4))) {
            EXPECT_EQ(after[i], before[i]);  // phone lines stay as they were
        }
    }
    EXPECT_EQ(f.windowTitle(), QString::fromUtf8("%1 [связь]").arg(QLatin1String(Title)));
    EXPECT_TRUE(test::control<QLabel>(f, "StatusPanel1")
                    ->text()
                    .startsWith(QString::fromUtf8("Свободно: ")));
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel0")->text(), QString::fromUtf8("1 из 1 -  0"));

    // A new line after the summary: status panel 0 shows it, and follows too.
    QTest::mouseClick(test::control<QToolButton>(f, "idRefresh"), Qt::LeftButton);
    choose(test::control<QComboBox>(f, "idCharsetSel"), 1);
    EXPECT_EQ(test::control<QLabel>(f, "StatusPanel0")->text(), QString::fromUtf8("Ôàéëîâ: 1"));
    EXPECT_EQ(log().first(), QString::fromUtf8("Íàéäåíî: 1"));
}

TEST_F(PhoneWindowTest, SecondDriveStaysChosen) {
    auto phone = plugBefore("one", phoneState("Alpha", "0A4A5A6A7A8A9B",
                                              {{"/a/mobile/picture/a.jpg", bytes(1)},
                                               {"/b/mobile/picture/b1.jpg", bytes(2)},
                                               {"/b/mobile/picture/b2.jpg", bytes(3)}}));
    TForm1& f = open();
    choose(test::control<QComboBox>(f, "idDriveSelect"), 1);
    EXPECT_EQ(test::control<QComboBox>(f, "idDriveSelect")->currentText(), "/b");
    EXPECT_EQ(column(1), (QStringList{"/b/mobile/picture/b1.jpg", "/b/mobile/picture/b2.jpg"}));
    EXPECT_EQ(searches(*phone).back(), "/b/mobile/picture/|*.jpg");
    // A plain refresh goes back to the first drive.
    QTest::mouseClick(test::control<QToolButton>(f, "idRefresh"), Qt::LeftButton);
    EXPECT_EQ(test::control<QComboBox>(f, "idDriveSelect")->currentText(), "/a");
}

TEST_F(PhoneWindowTest, PhoneUnpluggedDuringALongListing) {
    TFiles files;
    for (int i = 0; i < 1000; ++i) {
        files["/a/mobile/picture/img" + std::to_string(i) + ".jpg"] = bytes(3);
    }
    keepReceived = false;
    plugBefore("one", phoneState("Alpha", "0A4A5A6A7A8A9B", files));
    plugBefore("two", phoneState("Beta", "0A4A5A6A7A8A9B"));
    // Unplugged after about a hundred list batches.
    transport.SetExchangeHook(
        [&](TVirtualP2KTransport::TExchange, const std::string& Path, uint64_t Index) {
            if (Index == 600 && Path == TVirtualDeviceSource::PhonePath("one")) {
                devices.UnplugPhone("one");
            }
        });
    TForm1& f = open();
    settle();
    EXPECT_EQ(f.windowTitle(), QString(Title) + " [disconnected]");
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->count(), 0);
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_FALSE(test::control<QProgressBar>(f, "ProgressBar1")->isVisible());
    EXPECT_FALSE(f.session().Busy());
    EXPECT_TRUE(test::control<QToolButton>(f, "idRefresh")->isEnabled());
    EXPECT_LT(log().filter("files").size(), 2);
}

TEST_F(PhoneWindowTest, VirtualPhonesFolderWithAModemPhone) {
    QDir().mkpath(root + "/phones/first/a/mobile/picture");
    writeFile(root + "/phones/first/phone.ini", "Model = First\n");
    QDir().mkpath(root + "/phones/second.modem/a/mobile/picture");
    writeFile(root + "/phones/second.modem/phone.ini", "Model = Second\n");
    qputenv("SNAPRILL_VIRTUAL_PHONES", (root + "/phones").toUtf8());
    std::unique_ptr<TBackendHolder> holder = createBackend();
    qunsetenv("SNAPRILL_VIRTUAL_PHONES");
    form = std::make_unique<TForm1>(holder->Backend(), config);
    ASSERT_TRUE(
        waitFor([&] { return test::control<QComboBox>(*form, "ComboBox1")->count() == 2; }, 10000))
        << log().join("\n").toStdString();
    EXPECT_EQ(test::control<QComboBox>(*form, "ComboBox1")->itemText(0), "First [0A4A5A6A7A8A9B]");
    EXPECT_EQ(test::control<QComboBox>(*form, "ComboBox1")->itemText(1), "Second [0A4A5A6A7A8A9B]");
    form.reset();
}

TEST_F(PhoneWindowTest, VirtualPhonesFolderIsWatched) {
    // A phone folder moved in plugs the phone, one removed unplugs it; the
    // folder itself may appear after the program started.
    const QString folder = root + "/later/phones";
    QDir().mkpath(root + "/staging/cam/a/mobile/picture");
    writeFile(root + "/staging/cam/phone.ini", "Model = Cam\n");
    writeFile(root + "/staging/cam/a/mobile/picture/p.jpg", "jpeg");
    qputenv("SNAPRILL_VIRTUAL_PHONES", folder.toUtf8());
    std::unique_ptr<TBackendHolder> holder = createBackend();
    qunsetenv("SNAPRILL_VIRTUAL_PHONES");
    form = std::make_unique<TForm1>(holder->Backend(), config);
    EXPECT_EQ(test::control<QComboBox>(*form, "ComboBox1")->count(), 0);

    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QDir().rename(root + "/staging/cam", folder + "/cam"));
    ASSERT_TRUE(
        waitFor([&] { return test::control<QComboBox>(*form, "ComboBox1")->count() == 1; }, 10000))
        << log().join("\n").toStdString();
    EXPECT_EQ(test::control<QComboBox>(*form, "ComboBox1")->itemText(0), "Cam [0A4A5A6A7A8A9B]");
    ASSERT_TRUE(waitFor([&] { return list()->rowCount() == 1; }));

    ASSERT_TRUE(QDir(folder + "/cam").removeRecursively());
    ASSERT_TRUE(
        waitFor([&] { return test::control<QComboBox>(*form, "ComboBox1")->count() == 0; }, 10000))
        << log().join("\n").toStdString();
    EXPECT_EQ(list()->rowCount(), 0);
    form.reset();
}
