// What a download tells at its end: a Log line counting what became of its
// rows, just before the list's count, and (with "Download all photos on
// connect" in Photo Manager mode) a box that claims success only when no
// row failed or had a name that cannot be a local file.
#include "core/SessionFixture.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class DownloadSummary : public test::SessionTest {};

TEST_F(DownloadSummary, CountsEveryRowAndFailsOnlyForFailures) {
    struct TCase {
        const char* What;
        std::map<std::string, size_t> Files;   // picture name -> size
        std::vector<std::string> LocalBefore;  // already in the save folder
        std::vector<std::string> Excluded;
        bool DownloadAll;
        QString Summary;
        std::vector<std::string> Shown;
    };
    // Small blocks are 1000 bytes, and every picture's second read fails:
    // pictures over 1000 bytes fail, the others arrive.
    const std::string bad = "ctl\x01.jpg";  // no local file may bear it
    const TCase cases[] = {
        {"every picture arrives",
         {{"a.jpg", 500}, {"b.jpg", 900}},
         {},
         {},
         true,
         "Downloaded: 2, skipped: 0, failed: 0",
         {"idDlComplete"}},
        {"existing and excluded pictures are no failure",
         {{"a.jpg", 500}, {"b.jpg", 900}, {"c.jpg", 100}},
         {"b.jpg"},
         {"c.jpg"},
         true,
         "Downloaded: 1, skipped: 2, failed: 0",
         {"idDlComplete"}},
        {"failed and unsafe pictures",
         {{"a.jpg", 500},
          {"big.jpg", 2500},
          {"huge.jpg", 3000},
          {bad, 500},
          {"old.jpg", 50},
          {"no.jpg", 50}},
         {"old.jpg"},
         {"no.jpg"},
         true,
         "Downloaded: 1, skipped: 2, failed: 3",
         {"error: 3 of 6 pictures could not be downloaded. The Log names them."}},
        {"a manual download shows no box",
         {{"a.jpg", 500}, {"big.jpg", 2500}},
         {},
         {},
         false,
         "Downloaded: 1, skipped: 0, failed: 1",
         {}},
    };
    int n = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        log.clear();
        host.Shown.clear();
        host.Folder = root + "/Pictures" + QString::number(++n) + "/";
        TFiles pictures;
        for (const auto& [name, size] : c.Files) {
            pictures[Pic + name] = test::FileBytes(size);
        }
        for (const std::string& name : c.LocalBefore) {
            QDir().mkpath(host.Folder);
            QFile f(host.Folder + QString::fromStdString(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        auto phone = plug("one", phoneState("A", "0A", pictures));
        phone->Faults().FailReadAtBlock = 2;
        phone->Faults().BlockFailuresStall = false;
        host.DownloadAll = false;
        TPhoneSession& s = start();
        for (const std::string& name : c.Excluded) {
            s.Exclude().Append(Pic + name);
        }
        host.DownloadAll = c.DownloadAll;
        if (c.DownloadAll) {
            s.Refresh();  // listed again, and every row downloaded
        } else {
            s.FileList().SelectAll();
            s.Download();
        }

        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2], c.Summary);
        EXPECT_EQ(log.back(), QString("%1 files").arg(c.Files.size()));
        EXPECT_EQ(host.Shown, c.Shown);
    }
}

// With "Delete downloaded photos from phone" on, the line counts the
// pictures taken off the phone too; off, it reads as it always did.
TEST_F(DownloadSummary, CountsDeletionsWhenDeleteIsOn) {
    // The second picture's second read fails: it stays on the phone.
    for (const bool deleteAfter : {true, false}) {
        SCOPED_TRACE(deleteAfter);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        log.clear();
        host.Folder = root + (deleteAfter ? "/On/" : "/Off/");
        auto phone = plug("one", phoneState("A", "0A",
                                            {{Pic + "a.jpg", test::FileBytes(500)},
                                             {Pic + "b.jpg", test::FileBytes(2500)},
                                             {Pic + "c.jpg", test::FileBytes(700)}}));
        phone->Faults().FailReadAtBlock = 2;
        phone->Faults().BlockFailuresStall = false;
        host.DeleteAfter = deleteAfter;
        TPhoneSession& s = start();
        s.FileList().SelectAll();
        s.Download();
        const QStringList sums = QStringList(log.begin(), log.end()).filter("Downloaded:");
        EXPECT_EQ(sums,
                  QStringList{deleteAfter ? "Downloaded: 2, skipped: 0, failed: 1, deleted from "
                                            "the phone: 2"
                                          : "Downloaded: 2, skipped: 0, failed: 1"});
        EXPECT_EQ(phone->State().Files.size(), deleteAfter ? 1u : 3u);
    }
}
