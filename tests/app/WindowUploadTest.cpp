// Upload and delete through the window's controls, against virtual phones
// whose store shows what really happened.
#include "TransferWindow.h"

TEST_F(TransferWindowTest, UploadNamesProgressAndTheFileBar) {
    auto phone = plugBefore("one", phoneState("A", "0A"));
    TForm1& f = open();
    QStringList local;
    for (const char* n : {"one.jpg", "two.jpg", "three.jpg"}) {
        writeFile(root + "/up/" + n, QByteArray(2500, n[0]));
        local.append(root + "/up/" + n);
    }
    filesAnswer = local;
    QTest::mouseClick(test::control<QToolButton>(f, "idUpload"), Qt::LeftButton);
    ASSERT_NE(fileDialog, nullptr);
    EXPECT_EQ(fileDialog, test::control<QFileDialog>(f, "OpenDialog1"));
    EXPECT_EQ(fileDialog->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(fileDialog->nameFilters(), QStringList{"*.* (*)"});  // shown as "*.*"
    for (const char* n : {"one.jpg", "two.jpg", "three.jpg"}) {
        ASSERT_TRUE(phone->State().Files.contains(Pic + n)) << n;
        EXPECT_EQ(asBytes(phone->State().Files[Pic + n].Data), QByteArray(2500, n[0]));
    }
    EXPECT_EQ(
        log().filter("Uploading - ").mid(0, 3),
        (QStringList{"Uploading -  1/ 2 kB", "Uploading -  2/ 2 kB", "Uploading -  2/ 2 kB"}));
    EXPECT_EQ(test::control<QProgressBar>(f, "ProgressBar2")->value(), 3);
    EXPECT_FALSE(test::control<QProgressBar>(f, "ProgressBar2")->isVisible());
    EXPECT_EQ(list()->rowCount(), 3);  // read again
    EXPECT_EQ(log().last(), "3 files");

    // The next upload's file bar starts where this one ended, clipped.
    filesAnswer = {local[0]};
    QTest::mouseClick(test::control<QToolButton>(f, "idUpload"), Qt::LeftButton);
    EXPECT_EQ(test::control<QProgressBar>(f, "ProgressBar2")->maximum(), 1);
    EXPECT_EQ(test::control<QProgressBar>(f, "ProgressBar2")->value(), 1);

    // A cancelled dialog does nothing.
    const auto lines = log().size();
    filesAnswer.clear();
    QTest::mouseClick(test::control<QToolButton>(f, "idUpload"), Qt::LeftButton);
    EXPECT_EQ(log().size(), lines);
}

TEST_F(TransferWindowTest, FileManagerUploadsIntoTheChosenFolderOnly) {
    writeFile(config.SettingsPath, "[General]\nmode=1\n");
    auto phone = plugBefore("one", phoneState("A", "0A", {{"/a/music/song.mp3", {1}}}));
    TForm1& f = open();
    writeFile(root + "/up/new.txt", "hello");
    writeFile(root + QString::fromUtf8("/up/日本.txt"), "no");
    filesAnswer = {root + "/up/new.txt", root + QString::fromUtf8("/up/日本.txt")};
    // The box shows "/a/" but no entry is chosen: the bare name.
    QTest::mouseClick(test::control<QToolButton>(f, "idUpload"), Qt::LeftButton);
    EXPECT_EQ(openedNames(*phone, 0), std::vector<std::string>{"new.txt"});
    EXPECT_TRUE(
        log().contains(QString::fromUtf8("The name 日本.txt cannot be written on the "
                                         "phone, skipping")));

    QTest::keyClick(test::control<QComboBox>(f, "idUploadPath"),
                    Qt::Key_Down);  // "/a/music/", offered by the listing
    ASSERT_EQ(test::control<QComboBox>(f, "idUploadPath")->currentText(), "/a/music/");
    filesAnswer = {root + "/up/new.txt"};
    QTest::mouseClick(test::control<QToolButton>(f, "idUpload"), Qt::LeftButton);
    EXPECT_EQ(asBytes(phone->State().Files["/a/music/new.txt"].Data), "hello");
}

TEST_F(TransferWindowTest, DeleteTakesHighlightedRowsOnly) {
    auto phone = plugBefore(
        "one",
        phoneState("A", "0A", {{Pic + "a.jpg", {1}}, {Pic + "b.jpg", {2}}, {Pic + "c.jpg", {3}}}));
    TForm1& f = open();
    clickCheckBox(0);  // checked, not highlighted
    const auto lines = log().size();
    QTest::mouseClick(test::control<QToolButton>(f, "idDelete"), Qt::LeftButton);
    EXPECT_EQ(phone->State().Files.size(), 3u);
    EXPECT_EQ(log().size(), lines);

    clickRow(1);
    clickRow(2, Qt::ControlModifier);
    QTest::mouseClick(test::control<QToolButton>(f, "idDelete"), Qt::LeftButton);
    EXPECT_EQ(phone->State().Files.size(), 1u);
    EXPECT_TRUE(phone->State().Files.contains(Pic + "a.jpg"));
    EXPECT_EQ(column(1), QStringList{"/a/mobile/picture/a.jpg"});
    EXPECT_EQ(log().mid(lines),
              (QStringList{"Closing all AT devices", "Closing all P2K devices", "1 files"}));
}
