// The download history: its file format, a damaged file, and "only new
// pictures" across a restart with a copy moved away.
#include <QDir>
#include <QFile>

#include "core/SessionFixture.h"
#include "core/files/DownloadHistory.h"
#include "support/VirtualRig.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

void writeText(const QString& Path, const QByteArray& Data) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile f(Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Data);
}

}  // namespace

TEST(DownloadHistory, EveryByteOfANameComesBack) {
    struct Case {
        TPhoneIdentity Phone;
        std::string Name;
        int32_t Size;
        const char* Line;
    };
    const Case cases[] = {
        {{"E398", "R373_G_0E.30.49R", ""},
         "/a/mobile/picture/p.jpg",
         2500,
         "E398\tR373_G_0E.30.49R\t\t2500\t/a/mobile/picture/p.jpg"},
        {{"V3 Razr", "0A", "SN 1%"},
         "/a/tab\there\r\n.jpg",
         0,
         "V3%20Razr\t0A\tSN%201%25\t0\t/a/tab%09here%0D%0A.jpg"},
        {{"\xcc\xee\xf2", "\x7f", "#"},
         std::string("/a/\0\xff.jpg", 9),
         INT32_MAX,
         "%CC%EE%F2\t%7F\t#\t2147483647\t/a/%00%FF.jpg"},
    };
    for (const Case& c : cases) {
        const QByteArray line = historyLine(c.Phone, c.Name, c.Size);
        EXPECT_EQ(line, QByteArray(c.Line));
        TPhoneIdentity phone;
        std::string name;
        int32_t size = -1;
        ASSERT_TRUE(parseHistoryLine(line, phone, name, size)) << c.Line;
        EXPECT_EQ(phone, c.Phone);
        EXPECT_EQ(name, c.Name);
        EXPECT_EQ(size, c.Size);
    }
}

TEST(DownloadHistory, ADamagedFileKeepsItsGoodLines) {
    test::coreApp();
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/data/history.txt";
    const TPhoneIdentity phone{"E398", "0A", ""};
    writeText(path,
              "# a comment\n"
              "E398\t0A\t\t10\t/a/good1.jpg\n"
              "E398\t0A\t\t10\n"                       // four fields
              "E398\t0A\t\t10\t/a/bad%G1.jpg\n"        // no hex
              "E398\t0A\t\t10\t/a/bad%4.jpg\n"         // cut escape
              "E398\t0A\t\t-1\t/a/negative.jpg\n"      // no size
              "E398\t0A\t\t2147483648\t/a/huge.jpg\n"  // past 32 bits
              "E398\t0A\t\t 10\t/a/blank.jpg\n"        // a blank is escaped
              "E398\t0A\t\t10\t\n"                     // no name
              "E398\t0A\t\t10\t/a/good2.jpg\r\n" +     // CR LF
                  QByteArray(5000, 'x') +
                  "\n" +  // too long to be ours
                  "E398\t0A\t\t10\t/a/good3.jpg\n"
                  "E398\t0A\t\t10\t/a/cut");  // a write cut short
    TDownloadHistory h;
    EXPECT_EQ(h.Load(path), QString());
    EXPECT_EQ(h.Count(), 4);  // good1, good2, good3 and the cut line, which reads
    for (const char* good : {"/a/good1.jpg", "/A/GOOD2.JPG", "/a/good3.jpg"}) {
        EXPECT_TRUE(h.Contains(phone, good, 10)) << good;
    }
    EXPECT_FALSE(h.Contains(phone, "/a/good1.jpg", 11));
    EXPECT_FALSE(h.Contains({"E398", "0A", "SN1"}, "/a/good1.jpg", 10));
    // A phone that said nothing of itself is not remembered.
    EXPECT_EQ(h.Record({}, "/a/anon.jpg", 10), QString());
    EXPECT_FALSE(h.Contains({}, "/a/anon.jpg", 10));

    // A new line goes on a line of its own, after the cut one.
    EXPECT_EQ(h.Record(phone, "/a/new.jpg", 7), QString());
    EXPECT_EQ(h.Record(phone, "/a/NEW.jpg", 7), QString());  // known: not written twice
    TDownloadHistory again;
    again.Load(path);
    EXPECT_EQ(again.Count(), 5);
    EXPECT_TRUE(again.Contains(phone, "/a/new.jpg", 7));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith("/a/cut\nE398\t0A\t\t7\t/a/new.jpg\n"));

    // A file that cannot be read or written says so; none at all is empty.
    EXPECT_EQ(again.Load(tmp.path() + "/none.txt"), QString());
    EXPECT_EQ(again.Count(), 0);
    EXPECT_NE(again.Load(tmp.path() + "/data"), QString());  // a folder
    EXPECT_NE(again.Record(phone, "/a/x.jpg", 1), QString());
    EXPECT_TRUE(again.Contains(phone, "/a/x.jpg", 1));  // for this run all the same
}

class OnlyNew : public test::SessionTest {
  protected:
    void open() {
        start();
        ASSERT_EQ(session->History().Load(historyPath), QString());
        session->Refresh();  // the rows marked from the history just loaded
    }
    QString historyPath;
    std::vector<bool> marks() const {
        std::vector<bool> out;
        out.reserve(static_cast<size_t>(session->Rows().Count()));
        for (int i = 0; i < session->Rows().Count(); ++i) {
            out.push_back(session->FileList()
                              .index(i, 1)
                              .data(TFileListModel::DownloadedBeforeRole)
                              .toBool());
        }
        return out;
    }
};

TEST_F(OnlyNew, APictureMovedAwayIsNotFetchedAgainAfterARestart) {
    historyPath = root + "/data/history.txt";
    const TFiles two = {{Pic + "a.jpg", test::FileBytes(1500, 1)},
                        {Pic + "b.jpg", test::FileBytes(1500, 2)}};
    auto phone = plug("one", phoneState("E398", "0A", two));
    open();
    EXPECT_EQ(marks(), (std::vector<bool>{false, false}));
    selectAll();
    session->Download();
    EXPECT_EQ(marks(), (std::vector<bool>{true, true}));

    // The program ends; a.jpg is moved away; a new picture comes.
    session.reset();
    ASSERT_TRUE(QFile::rename(host.Folder + "a.jpg", root + "/a.jpg"));
    phone->State().Files[Pic + "c.jpg"] = {test::FileBytes(1500, 3), 0, 0};
    log.clear();
    open();
    EXPECT_EQ(marks(), (std::vector<bool>{true, true, false}));

    // Off, as by default: a.jpg comes back as it always did.
    selectAll();
    session->Download();
    EXPECT_TRUE(QFile::exists(host.Folder + "a.jpg"));
    ASSERT_TRUE(QFile::remove(host.Folder + "a.jpg"));
    ASSERT_TRUE(QFile::remove(host.Folder + "c.jpg"));

    // On: only what this phone never gave is fetched; c.jpg now listed at
    // another size is another picture.
    phone->State().Files[Pic + "c.jpg"] = {test::FileBytes(1600, 3), 0, 0};
    phone->State().Files[Pic + "d.jpg"] = {test::FileBytes(1500, 4), 0, 0};
    host.SkipDownloaded = true;
    session->Refresh();
    EXPECT_EQ(marks(), (std::vector<bool>{true, true, false, false}));
    log.clear();
    selectAll();
    session->Download();
    EXPECT_FALSE(QFile::exists(host.Folder + "a.jpg"));
    EXPECT_TRUE(QFile::exists(host.Folder + "c.jpg"));
    EXPECT_TRUE(QFile::exists(host.Folder + "d.jpg"));
    const QStringList lines(log.begin(), log.end());
    EXPECT_TRUE(lines.contains("/a/mobile/picture/a.jpg was downloaded before, skipping"));
    EXPECT_TRUE(lines.contains("The file " + host.Folder + "b.jpg exists, skipping"));
    EXPECT_EQ(lines.filter("was downloaded before").size(), 1);

    // Another phone is new.
    session.reset();
    devices.UnplugPhone("one");
    plug("two", phoneState("E398", "0B", two));
    devices.DispatchPending();
    QFile::remove(host.Folder + "b.jpg");
    open();
    EXPECT_EQ(marks(), (std::vector<bool>{false, false}));
    selectAll();
    session->Download();
    EXPECT_TRUE(QFile::exists(host.Folder + "a.jpg"));
}

TEST_F(OnlyNew, AHistoryThatCannotBeWrittenSaysSoOnce) {
    historyPath = root + "/data";  // a folder: read as nothing, never written
    QDir().mkpath(historyPath);
    plug("one", phoneState("E398", "0A",
                           {{Pic + "a.jpg", test::FileBytes(100, 1)},
                            {Pic + "b.jpg", test::FileBytes(100, 2)}}));
    start();
    EXPECT_NE(session->History().Load(historyPath), QString());
    selectAll();
    session->Download();
    EXPECT_TRUE(QFile::exists(host.Folder + "a.jpg") && QFile::exists(host.Folder + "b.jpg"));
    const QStringList lines(log.begin(), log.end());
    EXPECT_EQ(lines.filter("Cannot write the download history " + historyPath).size(), 1);
}

// Two phones of one model and firmware are told apart by their USB serial
// number: a picture one of them gave is no reason to skip the other's
// picture at the same path and size. Phones with the same serial are one.
TEST_F(OnlyNew, PhonesOfOneModelAndFirmwareAreToldApartByTheirSerial) {
    struct TCase {
        const char* Second;  // the second phone's serial
        bool Fetched;        // whether its picture is downloaded
    };
    for (const TCase& t : {TCase{"SN0002", true}, TCase{"SN0001", false}}) {
        SCOPED_TRACE(t.Second);
        session.reset();
        QDir(root + "/data").removeRecursively();
        QDir(host.Folder).removeRecursively();
        historyPath = root + "/data/history.txt";
        host.SkipDownloaded = true;
        TVirtualPhoneState first =
            phoneState("E398", "0A", {{Pic + "a.jpg", test::FileBytes(1500, 1)}});
        first.UsbSerial = "SN0001";
        plug("one", first);
        open();
        selectAll();
        session->Download();
        ASSERT_TRUE(QFile::remove(host.Folder + "a.jpg"));

        session.reset();
        devices.UnplugPhone("one");
        TVirtualPhoneState second =
            phoneState("E398", "0A", {{Pic + "a.jpg", test::FileBytes(1500, 2)}});
        second.UsbSerial = t.Second;
        plug("two", second);
        open();
        EXPECT_EQ(marks(), std::vector<bool>{!t.Fetched});
        selectAll();
        session->Download();
        devices.UnplugPhone("two");
        devices.DispatchPending();

        EXPECT_EQ(readLocal(host.Folder + "a.jpg"),
                  t.Fetched ? bytes(test::FileBytes(1500, 2)) : QByteArray("<missing>"));
        // The first phone's line, with its serial; the second's only when fetched.
        QFile f(historyPath);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        const QByteArray tail = "\t1500\t" + QByteArray::fromStdString(Pic) + "a.jpg";
        auto count = [&](const QByteArray& Serial) {
            return std::count_if(lines.begin(), lines.end(), [&](const QByteArray& L) {
                return L.endsWith("\t" + Serial + tail);
            });
        };
        EXPECT_EQ(count("SN0001"), 1);
        EXPECT_EQ(count("SN0002"), t.Fetched ? 1 : 0);
    }
}
