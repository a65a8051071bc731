// Previews fetched by the session between commands, on virtual phones
// holding camera pictures with and without embedded thumbnails.
#include <QBuffer>
#include <QDir>

#include "JpegPicture.h"
#include "core/SessionFixture.h"
#include "core/previews/PreviewFetcher.h"
#include "preview/PreviewDecoder.h"
#include "support/PreviewPictures.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class PreviewFetcherTest : public test::SessionTest {
  protected:
    void SetUp() override {
        SessionTest::SetUp();
        host.Previews = true;
    }
    // Pictures p0.jpg .. p<Count-1>.jpg, the even ones with a thumbnail.
    static TFiles pictures(int Count) {
        TFiles out;
        for (int i = 0; i < Count; ++i) {
            out[Pic + "p" + std::to_string(i) + ".jpg"] = test::cameraPicture(i + 1, i % 2 == 0);
        }
        return out;
    }
    // A session whose previews keep their thumbnails in Folder, started on
    // the phones plugged so far.
    TPhoneSession& startPreviews(const QString& Folder) {
        devices.DispatchPending();
        session = std::make_unique<TPhoneSession>(backend, host);
        fetcher = new TPreviewFetcher(*session);  // the session's child
        installThumbnailMaker(*fetcher);
        fetcher->SetCacheFolder(Folder);
        QObject::connect(fetcher, &TPreviewFetcher::previewChanged,
                         [this](int Row) { changed.push_back(Row); });
        session->Start();
        return *session;
    }
    // Turns the event loop until the previews are done; each turn makes at
    // most one phone exchange.
    void runPreviews(int MaxTurns = 5000) {
        TPreviewFetcher& f = *fetcher;
        for (int turn = 0; turn < MaxTurns && f.Working(); ++turn) {
            const uint64_t before = f.Exchanges();
            QCoreApplication::processEvents();
            ASSERT_LE(f.Exchanges() - before, 1u) << "turn " << turn;
        }
        EXPECT_FALSE(f.Working());
    }
    std::vector<TPreviewState> states() const {
        std::vector<TPreviewState> out;
        out.reserve(size_t(fetcher->Count()));
        for (int i = 0; i < fetcher->Count(); ++i) {
            out.push_back(fetcher->State(i));
        }
        return out;
    }
    QString cache() const { return root + "/cache"; }
    TPreviewFetcher* fetcher = nullptr;

    std::vector<int> changed;  // rows whose preview was done or failed, in order
};

TEST_F(PreviewFetcherTest, RowsOnScreenFirstAndEmbeddedThumbnailsFromTheHeadAlone) {
    const TFiles onPhone = pictures(8);
    auto phone = plug("one", phoneState("E398", "0A", onPhone));
    TPhoneSession& s = startPreviews(cache());
    const size_t listed = phone->Received().size();
    fetcher->SetVisibleRows(4, 5);
    runPreviews();

    // The rows on screen, then the rest from below them, wrapping.
    EXPECT_EQ(changed, (std::vector<int>{4, 5, 6, 7, 0, 1, 2, 3}));
    EXPECT_EQ(states(), std::vector<TPreviewState>(8, TPreviewState::Done));
    const auto visits = test::fileVisits(*phone, listed);
    ASSERT_EQ(visits.size(), 8u);
    for (const test::TFileVisit& v : visits) {
        const size_t size = onPhone.at(v.Name).size();
        const bool thumbnail = (v.Name[Pic.size() + 1] - '0') % 2 == 0;
        // A thumbnail comes from the first two blocks; otherwise the whole
        // picture is read, once.
        if (thumbnail) {
            EXPECT_LE(v.Reads, 2) << v.Name;
        } else {
            EXPECT_EQ(v.Reads, int((size + 3999) / 4000)) << v.Name;
        }
        EXPECT_TRUE(v.Closed) << v.Name;
    }
    EXPECT_TRUE(phone->OpenFileName().empty());
    // What the EXIF block said is kept with the thumbnail.
    const auto entry = fetcher->Cache().Get(fetcher->Key(0));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Taken, test::PictureTaken);
    EXPECT_EQ(entry->CameraModel, "E398");
    EXPECT_LE(decodePreview(entry->Image, QSize(ThumbnailEdge, ThumbnailEdge)).width(),
              ThumbnailEdge);

    // The same phone plugged again shows every thumbnail at once, with no
    // file of it opened.
    devices.UnplugPhone("one");
    devices.DispatchPending();
    EXPECT_EQ(fetcher->Count(), 0);
    auto again = plug("one", phoneState("E398", "0A", onPhone));
    devices.DispatchPending();
    ASSERT_EQ(s.Rows().Count(), 8);
    EXPECT_EQ(states(), std::vector<TPreviewState>(8, TPreviewState::Done));
    runPreviews();
    EXPECT_TRUE(test::fileVisits(*again).empty());
    EXPECT_EQ(again->Received().size(), listed);  // the listing's commands alone

    // Another phone's pictures of the same names are its own.
    devices.UnplugPhone("one");
    plug("two", phoneState("V3", "0B", onPhone));
    devices.DispatchPending();
    EXPECT_EQ(states(), std::vector<TPreviewState>(8, TPreviewState::Pending));
}

// Whatever a file named like a picture holds, its row gets a preview or a
// placeholder; nothing is kept of a file not read whole.
TEST_F(PreviewFetcherTest, DamagedAndStrangeFilesGetPlaceholders) {
    const std::vector<uint8_t> good = test::cameraPicture(3, false);
    std::vector<uint8_t> badThumb = test::cameraPicture(4, true);
    // The embedded thumbnail's picture data overwritten: it does not
    // decode, and the whole picture is read instead.
    const QByteArray asBytes(reinterpret_cast<const char*>(badThumb.data()),
                             qsizetype(badThumb.size()));
    const qsizetype thumbAt = asBytes.indexOf("\xFF\xD8", 4);
    ASSERT_GT(thumbAt, 0);
    std::fill(badThumb.begin() + thumbAt + 2, badThumb.begin() + thumbAt + 600, 0x55);

    struct Case {
        const char* Name;
        std::vector<uint8_t> Data;
        TPreviewState Want;
    };
    const Case cases[] = {
        {"a-good.jpg", good, TPreviewState::Done},
        {"b-bad-thumbnail.jpg", badThumb, TPreviewState::Done},
        {"c-cut.jpg",
         std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)),
         TPreviewState::Failed},
        {"d-text.jpg", std::vector<uint8_t>(9000, 'x'), TPreviewState::Failed},
        {"e-empty.jpg", {}, TPreviewState::Failed},
        {"f-tiny.jpg", {0xFF, 0xD8, 0xFF}, TPreviewState::Failed},
        {"g-headers-only.jpg", std::vector<uint8_t>(good.begin(), good.begin() + 700),
         TPreviewState::Failed},
    };
    TFiles onPhone;
    for (const Case& c : cases) {
        onPhone[Pic + c.Name] = c.Data;
    }
    auto phone = plug("one", phoneState("E398", "0A", onPhone));
    TPhoneSession& s = startPreviews(cache());
    runPreviews();
    ASSERT_EQ(s.Rows().Count(), int(std::size(cases)));
    for (int i = 0; i < s.Rows().Count(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(fetcher->State(i), c.Want) << c.Name;
        EXPECT_EQ(fetcher->Cache().Contains(fetcher->Key(i)), c.Want == TPreviewState::Done)
            << c.Name;
    }
    // The text file was given up after its first block.
    for (const test::TFileVisit& v : test::fileVisits(*phone)) {
        EXPECT_TRUE(v.Closed) << v.Name;
        if (v.Name == Pic + "d-text.jpg") {
            EXPECT_EQ(v.Reads, 1);
        }
    }
    EXPECT_TRUE(phone->OpenFileName().empty());

    // File Manager: pictures of every kind by their names, nothing read of
    // other files (a front end shows their type).
    const QImage image = drawLandscape(64, 48, 2, {});
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    phone->State().Files["/a/pic.PNG"] = {{png.begin(), png.end()}, 0, 0};
    phone->State().Files["/a/notes.txt"] = {std::vector<uint8_t>(300, 'n'), 0, 0};
    s.SetMode(mmFileManager, true);
    runPreviews();
    int pngRow = -1, textRow = -1;
    for (int i = 0; i < s.Rows().Count(); ++i) {
        pngRow = s.Rows().At(i).Name == "/a/pic.PNG" ? i : pngRow;
        textRow = s.Rows().At(i).Name == "/a/notes.txt" ? i : textRow;
    }
    ASSERT_GE(pngRow, 0);
    ASSERT_GE(textRow, 0);
    EXPECT_EQ(fetcher->State(pngRow), TPreviewState::Done);
    EXPECT_EQ(fetcher->State(textRow), TPreviewState::None);
    for (const test::TFileVisit& v : test::fileVisits(*phone)) {
        EXPECT_NE(v.Name, "/a/notes.txt");
    }
}

// With the option off nothing is read; a dialog or a command holds the
// fetch back; a download feeds the cache from its local copies, with no
// preview read of its own, and never while it runs.
TEST_F(PreviewFetcherTest, ReadsOnlyWhenOnAndIdleAndLearnsFromDownloads) {
    auto phone = plug("one", phoneState("E398", "0A", pictures(4)));
    host.Previews = false;
    TPhoneSession& s = startPreviews(cache());
    const size_t listed = phone->Received().size();
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(phone->Received().size(), listed);
    EXPECT_EQ(fetcher->Exchanges(), 0u);

    // Turned off in the middle of a picture: its file is closed at the next
    // turn, and nothing more is read.
    host.Previews = true;
    fetcher->SetVisibleRows(1, 1);  // no thumbnail: read whole
    fetcher->Resume();
    while (fetcher->Exchanges() < 4) {
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(fetcher->FileOpen());
    host.Previews = false;
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(fetcher->FileOpen());
    EXPECT_TRUE(phone->OpenFileName().empty());
    EXPECT_EQ(fetcher->Exchanges(), 5u);  // open, three reads, close

    host.Previews = true;
    const uint64_t beforeModal = fetcher->Exchanges();
    s.BeginModal();
    fetcher->Resume();
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(fetcher->Exchanges(), beforeModal);
    s.EndModal();

    // The download runs before the event loop turns: previews wait for it.
    uint64_t duringCommand = 0;
    host.OnPump = [&](int) { duringCommand += fetcher->Exchanges() - beforeModal; };
    selectAll();
    s.Download();
    host.OnPump = nullptr;
    EXPECT_EQ(duringCommand, 0u);
    const size_t downloaded = phone->Received().size();
    runPreviews();
    EXPECT_EQ(states(), std::vector<TPreviewState>(4, TPreviewState::Done));
    EXPECT_EQ(phone->Received().size(), downloaded);
    EXPECT_EQ(fetcher->Exchanges(), beforeModal);
}

// A phone unplugged in the middle of a preview's read: the fetch ends, the
// rows go, and the phone plugged again is fetched anew.
TEST_F(PreviewFetcherTest, UnplugDuringAFetchEndsItCleanly) {
    const TFiles onPhone = pictures(3);
    plug("one", phoneState("E398", "0A", onPhone));
    TPhoneSession& s = startPreviews(cache());
    fetcher->SetVisibleRows(1, 1);  // p1.jpg: no thumbnail, read whole
    int reads = 0;
    transport.SetExchangeHook([&](TVirtualP2KTransport::TExchange Kind, const std::string&,
                                  uint64_t) {
        if (Kind == TVirtualP2KTransport::TExchange::Write && fetcher->FileOpen() && ++reads == 5) {
            devices.UnplugPhone("one");
        }
    });
    for (int i = 0; i < 200 && s.Rows().Count() > 0; ++i) {
        QCoreApplication::processEvents();
        devices.DispatchPending();
    }
    transport.SetExchangeHook(nullptr);
    EXPECT_EQ(s.Rows().Count(), 0);
    EXPECT_EQ(fetcher->Count(), 0);
    EXPECT_FALSE(fetcher->FileOpen());
    EXPECT_FALSE(s.Busy());
    EXPECT_EQ(fetcher->Cache().Count(), 0);  // nothing half-read was kept

    auto again = plug("one", phoneState("E398", "0A", onPhone));
    devices.DispatchPending();
    runPreviews();
    EXPECT_EQ(states(), std::vector<TPreviewState>(3, TPreviewState::Done));
    EXPECT_TRUE(again->OpenFileName().empty());
}
