// put, rm and exclude: the phone's files and the exclusion list changed
// from the command line, with the window's rules.
#include "CliFixture.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}  // namespace

class CliEdit : public test::CliTest {};

// Uploads go to the pictures folder of the drive, or to --to; a name the
// phone's code page cannot hold is refused, as in the window, and a file
// that cannot be read is named with the system's reason.
TEST_F(CliEdit, PutUploadsAndRefusesWhatThePhoneCannotName) {
    TVirtualPhoneState state = phoneState("E398");
    state.Folders.insert("/a/docs");  // a phone makes files only in its folders
    auto phone = plug("one", state);
    const QString up = root + "/up/";
    writeFile(up + "Фото.jpg", "cyrillic");
    writeFile(up + "日.jpg", "no 1251 letter");
    writeFile(up + "doc.txt", "text");
    EXPECT_EQ(run({"put", (up + "Фото.jpg").toStdString(), (up + "日.jpg").toStdString(),
                   (up + "missing.jpg").toStdString()}),
              1);
    EXPECT_EQ(phone->State().Files.at(Pic + "\xd4\xee\xf2\xee.jpg").Data,
              std::vector<uint8_t>({'c', 'y', 'r', 'i', 'l', 'l', 'i', 'c'}));
    EXPECT_EQ(phone->State().Files.size(), 1u);
    EXPECT_EQ(err.str(), "snaprill-cli: cannot read " + up.toStdString() +
                             "missing.jpg: No such file or directory\n"
                             "snaprill-cli: " +
                             up.toStdString() +
                             "日.jpg: its name cannot be written on the phone (the phone's code "
                             "page has no letter for a character of it)\n");
    EXPECT_EQ(run({"put", "--to", "/a/docs", "--json", (up + "doc.txt").toStdString()}), 0)
        << err.str();
    EXPECT_TRUE(phone->State().Files.contains("/a/docs/doc.txt"));
    EXPECT_EQ(json()["files"].toArray().at(0)["name"].toString(), "/a/docs/doc.txt");
}

TEST_F(CliEdit, RmDeletesTheNamedFilesOnly) {
    auto phone = plug("one", phoneState("E398", {{Pic + "a.jpg", test::FileBytes(10)},
                                                 {Pic + "b.jpg", test::FileBytes(10)},
                                                 {"/a/n.txt", test::FileBytes(10)}}));
    EXPECT_EQ(run({"rm", "A.JPG", "/a/n.txt"}), 1);  // n.txt is no picture: --files lists it
    EXPECT_EQ(out.str(), "deleted /a/mobile/picture/a.jpg\n");
    EXPECT_EQ(err.str(),
              "snaprill-cli: /a/n.txt is not among the phone's pictures in "
              "/a/mobile/picture/ (--files looks at every file)\n");
    EXPECT_EQ(run({"rm", "--files", "/a/n.txt"}), 0) << err.str();
    EXPECT_EQ(phone->State().Files.size(), 1u);
    EXPECT_TRUE(phone->State().Files.contains(Pic + "b.jpg"));
}

// The exclusion list file is the window's: phone bytes, CR LF, names
// compared without letter case.
TEST_F(CliEdit, ExcludeEditsTheWindowsListFile) {
    writeFile(paths.ExcludePath, "/a/mobile/picture/old.jpg\r\n");
    EXPECT_EQ(run({"exclude", "add", "/a/mobile/picture/Фото.jpg", "/A/MOBILE/PICTURE/OLD.JPG"}),
              0);
    EXPECT_EQ(readLocal(paths.ExcludePath),
              "/a/mobile/picture/old.jpg\r\n/a/mobile/picture/\xd4\xee\xf2\xee.jpg\r\n");
    EXPECT_EQ(run({"exclude", "remove", "/a/mobile/picture/OLD.jpg", "/a/none.jpg"}), 1);
    EXPECT_EQ(err.str(), "snaprill-cli: /a/none.jpg is not on the list\n");
    EXPECT_EQ(run({"exclude", "list"}), 0);
    EXPECT_EQ(out.str(), "/a/mobile/picture/Фото.jpg\n");
    // A picture's own name is that of the pictures folder of the drive, as
    // every command takes it; a name no phone can hold is refused.
    EXPECT_EQ(run({"exclude", "add", "x.jpg", "/a/日.jpg", "mobile/y.jpg"}), 2);
    EXPECT_EQ(err.str(),
              "snaprill-cli: /a/日.jpg: no phone file can have that name\n"
              "snaprill-cli: mobile/y.jpg: not a phone name such as /a/mobile/picture/x.jpg or "
              "x.jpg\n");
    EXPECT_EQ(run({"exclude", "add", "--drive", "b/", "IMG_0102.jpg"}), 0) << err.str();
    EXPECT_EQ(readLocal(paths.ExcludePath),
              "/a/mobile/picture/\xd4\xee\xf2\xee.jpg\r\n/a/mobile/picture/x.jpg\r\n"
              "/b/mobile/picture/IMG_0102.jpg\r\n");
    EXPECT_EQ(run({"exclude", "remove", "X.JPG"}), 0) << err.str();
    EXPECT_EQ(out.str(), "removed /a/mobile/picture/X.JPG\n");
}
