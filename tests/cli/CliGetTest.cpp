// get, end to end on virtual phones: the session's download with the
// command line's rules, each file's result and the exit status.
#include <csignal>

#include "CliFixture.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}  // namespace

class CliGet : public test::CliTest {};

TEST_F(CliGet, PicturesArriveByteIdenticalInBothModes) {
    const TFiles files = {{Pic + "p1.jpg", test::FileBytes(9000, 1)},
                          {Pic + "p2.jpg", test::FileBytes(4000, 2)},
                          {"/a/docs/n.txt", test::FileBytes(100, 3)}};
    auto phone = plug("one", phoneState("E398", files));
    for (const bool all : {false, true}) {
        SCOPED_TRACE(all);
        const QString dir = root + (all ? "/all" : "/pics");
        std::vector<std::string> args = {"get", "--to", dir.toStdString()};
        if (all) {
            args.push_back("--files");
        }
        ASSERT_EQ(run(args), 0) << err.str();
        EXPECT_EQ(err.str(), "");
        for (const auto& [name, data] : files) {
            const bool wanted = all || name.rfind(Pic, 0) == 0;
            const QString local =
                dir + "/" + QString::fromStdString(name.substr(name.rfind('/') + 1));
            EXPECT_EQ(readLocal(local), wanted ? test::asBytes(data) : QByteArray("<missing>"));
        }
        EXPECT_NE(out.str().find(all ? "3 downloaded, 0 skipped, 0 failed"
                                     : "2 downloaded, 0 skipped, 0 failed"),
                  std::string::npos)
            << out.str();
    }
    EXPECT_EQ(phone->State().Files.size(), 3u);  // nothing deleted without --delete-after
}

// Photo Manager's rules: an existing file is kept unless --overwrite, an
// excluded picture is left alone, a name without "/" names a file of any
// folder, letter case aside; with --delete-after only a complete picture
// leaves the phone. Into the window's save folder when no --to is given.
TEST_F(CliGet, PhotoManagerRulesAndTheJsonReport) {
    const TFiles files = {{Pic + "keep.jpg", test::FileBytes(3000, 1)},
                          {Pic + "excl.jpg", test::FileBytes(3000, 2)},
                          {Pic + "bad.jpg", test::FileBytes(9000, 3)},
                          {Pic + "new.jpg", test::FileBytes(5000, 4)}};
    auto phone = plug("one", phoneState("E398", files));
    const QString dir = root + "/saved/";
    writeFile(paths.SettingsPath, "[General]\ndir=" + dir.toUtf8() + "\n");
    writeFile(paths.ExcludePath, QByteArray::fromStdString(Pic + "EXCL.JPG\r\n"));
    writeFile(dir + "keep.jpg", "old");
    const QByteArray settings = readLocal(paths.SettingsPath);
    phone->Faults().FailReadAtBlock = 3;  // bad.jpg's third block; the others have fewer

    EXPECT_EQ(run({"get", "--delete-after", "--json", "KEEP.jpg", "excl.jpg", "bad.jpg", "new.jpg",
                   "none.jpg"}),
              1);
    const QJsonObject doc = json();
    EXPECT_EQ(doc["downloaded"].toInt(), 1);
    EXPECT_EQ(doc["skipped"].toInt(), 2);
    EXPECT_EQ(doc["failed"].toInt(), 1);
    EXPECT_EQ(doc["deleted"].toInt(), 1);
    EXPECT_EQ(doc["exit"].toInt(), 1);
    QStringList results;
    for (const QJsonValue f : doc["files"].toArray()) {
        results.append(f["name"].toString() + " " + f["result"].toString() +
                       (f["deleted"].toBool() ? " deleted" : ""));
    }
    EXPECT_EQ(results, QStringList({"/a/mobile/picture/bad.jpg failed",
                                    "/a/mobile/picture/excl.jpg excluded",
                                    "/a/mobile/picture/keep.jpg exists",
                                    "/a/mobile/picture/new.jpg downloaded deleted"}));
    EXPECT_EQ(doc["errors"].toArray().size(), 2);  // none.jpg and bad.jpg, one sentence each
    EXPECT_NE(err.str().find("none.jpg: no such file on the phone"), std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("download of /a/mobile/picture/bad.jpg failed"), std::string::npos);

    EXPECT_EQ(readLocal(dir + "keep.jpg"), "old");
    EXPECT_EQ(readLocal(dir + "new.jpg"), test::asBytes(files.at(Pic + "new.jpg")));
    EXPECT_EQ(filesUnder(dir), QStringList({"keep.jpg", "new.jpg"}));
    for (const char* name : {"keep.jpg", "excl.jpg", "bad.jpg"}) {
        EXPECT_TRUE(phone->State().Files.contains(Pic + name)) << name;
    }
    EXPECT_FALSE(phone->State().Files.contains(Pic + "new.jpg"));

    phone->Faults() = {};
    EXPECT_EQ(run({"get", "--overwrite", "keep.jpg"}), 0) << err.str();
    EXPECT_EQ(readLocal(dir + "keep.jpg"), test::asBytes(files.at(Pic + "keep.jpg")));
    // The window's settings and exclusion list are read, never written.
    EXPECT_EQ(readLocal(paths.SettingsPath), settings);
    EXPECT_EQ(filesUnder(root + "/config"), QStringList({"Brenwick/Snaprill.conf"}));
    EXPECT_EQ(filesUnder(root + "/data"), QStringList({"exclude.txt", "history.txt"}));
}

// --mirror keeps two files of one name apart; a phone's hostile names land
// nowhere, and least of all outside the folder.
TEST_F(CliGet, MirrorKeepsFoldersAndHostileNamesWriteNothing) {
    TVirtualPhoneState state = phoneState("E398", {{"/a/one/x.jpg", test::FileBytes(500, 1)},
                                                   {"/a/two/x.jpg", test::FileBytes(700, 2)}});
    for (const std::string hostile :
         {"/a/../../../escape.jpg", "/a/one/../../up.jpg", "/a/tab\tdir/x.jpg", "/a/./dot.jpg"}) {
        state.Files[hostile] = {test::FileBytes(300, 9), 0, 0};
    }
    plug("one", state);
    const QString dir = root + "/backup/inner";
    EXPECT_EQ(run({"get", "--files", "--mirror", "--to", dir.toStdString()}), 1);
    EXPECT_EQ(readLocal(dir + "/a/one/x.jpg"), test::asBytes(test::FileBytes(500, 1)));
    EXPECT_EQ(readLocal(dir + "/a/two/x.jpg"), test::asBytes(test::FileBytes(700, 2)));
    EXPECT_EQ(filesUnder(root),
              QStringList({"backup/inner/a/one/x.jpg", "backup/inner/a/two/x.jpg"}));
    EXPECT_NE(out.str().find("2 downloaded, 0 skipped, 4 failed"), std::string::npos) << out.str();
    // Named one a line, the control character shown as "?".
    EXPECT_NE(err.str().find("/a/tab?dir/x.jpg: the name cannot be a local file name"),
              std::string::npos)
        << err.str();

    // Without --mirror the two x.jpg are one name: the second is kept out.
    EXPECT_EQ(run({"get", "--files", "--to", (root + "/flat").toStdString(), "x.jpg"}), 0);
    EXPECT_NE(out.str().find("skipped /a/two/x.jpg"), std::string::npos) << out.str();
}

// A folder that cannot be made, or a file that cannot be written, ends the
// command with status 4 and the system's reason.
TEST_F(CliGet, LocalFailuresEndWithStatusFour) {
    plug("one", phoneState("E398", {{Pic + "p.jpg", test::FileBytes(500)}}));
    writeFile(root + "/file", "not a folder");
    EXPECT_EQ(run({"get", "--to", (root + "/file/sub").toStdString()}), 4);
    EXPECT_NE(err.str().find("cannot create the folder " + root.toStdString() +
                             "/file/sub/: Not a directory"),
              std::string::npos)
        << err.str();
    writeFile(root + "/a", "in the way");
    EXPECT_EQ(run({"get", "--mirror", "--to", (root).toStdString()}), 4);
    EXPECT_NE(
        err.str().find("Cannot create the folder " + root.toStdString() + "/a/mobile/picture"),
        std::string::npos)
        << err.str();
}

// The first Ctrl+C ends the download at its next pause; nothing leaves the
// phone after it.
TEST_F(CliGet, AStopSignalEndsTheCommandAndDeletesNothing) {
    auto phone = plug("one", phoneState("E398", {{Pic + "a.jpg", test::FileBytes(9000, 1)},
                                                 {Pic + "b.jpg", test::FileBytes(9000, 2)}}));
    bool raised = false;
    transport.SetExchangeHook([&](auto, const std::string&, uint64_t) {
        if (!raised && phone->OpenFileName() == Pic + "a.jpg") {
            raised = true;
            std::raise(SIGINT);  // once: a second would end the program at once
        }
    });
    EXPECT_EQ(run({"get", "--delete-after", "--to", (root + "/out").toStdString()}), 1);
    transport.SetExchangeHook(nullptr);
    EXPECT_NE(err.str().find("stopped by a signal"), std::string::npos) << err.str();
    EXPECT_EQ(phone->State().Files.size(), 2u);
    EXPECT_TRUE(filesUnder(root + "/out").isEmpty());
}

// --new remembers what came off the phone before, whatever became of the
// copies: a picture moved away is not fetched again; a new one is.
TEST_F(CliGet, NewSkipsPicturesDownloadedBefore) {
    auto phone = plug("one", phoneState("E398", {{Pic + "old.jpg", test::FileBytes(3000, 1)}}));
    const QString dir = root + "/saved/";
    EXPECT_EQ(run({"get", "--to", dir.toStdString()}), 0);
    ASSERT_TRUE(QFile::remove(dir + "old.jpg"));  // moved away by the user
    phone->State().Files[Pic + "fresh.jpg"] = {test::FileBytes(2000, 2), 0, 0};
    EXPECT_EQ(run({"get", "--new", "--json", "--to", dir.toStdString()}), 0);
    const QJsonObject doc = json();
    EXPECT_EQ(doc["downloaded"].toInt(), 1);
    EXPECT_EQ(doc["skipped"].toInt(), 1);
    EXPECT_EQ(filesUnder(dir), QStringList({"fresh.jpg"}));
    // Without --new the local file's presence alone decides, as before.
    EXPECT_EQ(run({"get", "--to", dir.toStdString()}), 0);
    EXPECT_EQ(filesUnder(dir), QStringList({"fresh.jpg", "old.jpg"}));
}

// The importer's three options: pictures into the folders a pattern names,
// a different picture of a taken name kept too, a second copy; each picture
// leaves the phone once both copies are on the disk. A second folder that
// is not there (a disk not mounted) ends the command before anything leaves
// the phone.
TEST_F(CliGet, IntoAlsoToAndKeepBoth) {
    auto phone = plug("one", phoneState("E398", {{Pic + "p1.jpg", test::FileBytes(3000, 1)},
                                                 {Pic + "p2.jpg", test::FileBytes(2000, 2)}}));
    const QString saved = root + "/out/", usb = root + "/usb/";
    writeFile(saved + "E398/p1.jpg", "another p1");
    QDir().mkpath(usb);
    const std::vector<std::string> args = {
        "get", "--into", "%M", "--also-to", usb.toStdString(), "--to", saved.toStdString()};

    std::vector<std::string> gone = args;
    gone[4] = (root + "/gone").toStdString();
    gone.push_back("--delete-after");
    EXPECT_EQ(run(gone), 4);
    EXPECT_NE(err.str().find(root.toStdString() + "/gone/: No such file or directory"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(phone->State().Files.size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(root + "/gone"));

    std::vector<std::string> all = args;
    all.insert(all.end(), {"--keep-both", "--delete-after", "--json"});
    ASSERT_EQ(run(all), 0) << err.str();
    EXPECT_EQ(filesUnder(saved), (QStringList{"E398/p1 (2).jpg", "E398/p1.jpg", "E398/p2.jpg"}));
    EXPECT_EQ(filesUnder(usb), (QStringList{"E398/p1 (2).jpg", "E398/p2.jpg"}));
    EXPECT_EQ(readLocal(usb + "E398/p1 (2).jpg"), test::asBytes(test::FileBytes(3000, 1)));
    EXPECT_EQ(readLocal(saved + "E398/p1.jpg"), "another p1");
    const QJsonArray files = json()["files"].toArray();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].toObject()["second"].toString(), usb + "E398/p1 (2).jpg");
    EXPECT_TRUE(files[0].toObject()["deleted"].toBool());
    EXPECT_TRUE(phone->State().Files.empty());
}
