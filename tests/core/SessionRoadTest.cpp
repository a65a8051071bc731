// The session on its own, as a front end drives it: a phone plugged, its
// pictures listed and downloaded, with no window.
#include "core/SessionFixture.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class SessionRoad : public test::SessionTest {};

TEST_F(SessionRoad, DownloadAllOnConnectBringsEveryPictureAndDeletesIt) {
    TFiles pictures;
    for (int i = 0; i < 3; ++i) {
        pictures[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(2500, unsigned(i + 1));
    }
    auto phone = plug("one", phoneState("E398", "0A", pictures));
    host.DownloadAll = true;
    host.DeleteAfter = true;
    TPhoneSession& s = start();

    ASSERT_EQ(s.PhoneEntries().size(), 1);
    EXPECT_TRUE(s.PhoneEntries()[0].startsWith("E398 [0A")) << s.PhoneEntries()[0].toStdString();
    for (const auto& [name, data] : pictures) {
        EXPECT_EQ(readLocal(host.Folder + QString::fromStdString(name.substr(Pic.size()))),
                  bytes(data));
        EXPECT_FALSE(phone->State().Files.contains(name)) << name;
    }
    EXPECT_TRUE(rowNames().empty());  // listed again after the deletes
    EXPECT_EQ(host.Shown, std::vector<std::string>{"idDlComplete"});
    EXPECT_EQ(log.front(), "1 P2K devices found");
    EXPECT_EQ(log.back(), "0 files");
    EXPECT_FALSE(s.Busy());
}

// A front end may have listings stop once the counted entries arrived (each
// answer carries three) and downloads read in blocks of its own; by default
// the session asks once per counted file and reads as the window does.
TEST_F(SessionRoad, ListingStopAndBlockSizeAreTheFrontEndsChoice) {
    const auto requests = [](const TVirtualPhone& Phone, uint8_t Sub, uint32_t* Size = nullptr) {
        int n = 0;
        for (const auto& r : Phone.Received()) {
            if (r.Command == 0x004A && r.Payload.size() >= 4 && r.Payload[3] == Sub) {
                ++n;
                if (Size && r.Payload.size() >= 8) {
                    *Size = uint32_t(r.Payload[4]) << 24 | r.Payload[5] << 16 | r.Payload[6] << 8 |
                            r.Payload[7];
                }
            }
        }
        return n;
    };
    for (const int count : {0, 1, 3, 4, 7}) {
        for (const bool stop : {false, true}) {
            SCOPED_TRACE(testing::Message() << count << " files, stop " << stop);
            session.reset();
            devices.UnplugPhone("one");
            devices.DispatchPending();
            TFiles pictures;
            for (int i = 0; i < count; ++i) {
                pictures[Pic + "p" + std::to_string(i) + ".jpg"] =
                    test::FileBytes(5000, unsigned(i));
            }
            auto phone = plug("one", phoneState("E398", "0A", pictures));
            devices.DispatchPending();
            session = std::make_unique<TPhoneSession>(backend, host);
            session->SetListStopsAtCount(stop);
            session->SetDownloadSettings({stop ? 4000 : 0, false});
            session->Start();
            EXPECT_EQ(int(rowNames().size()), count);
            EXPECT_EQ(requests(*phone, 8), stop ? (count + 2) / 3 : count);
            if (count == 0) {
                continue;
            }
            QDir(host.Folder).removeRecursively();
            selectAll();
            session->Download();
            uint32_t size = 0;
            EXPECT_EQ(requests(*phone, 1, &size), count * (stop ? 2 : 5));
            EXPECT_EQ(size, stop ? 4000u : 1000u);
        }
    }
}

// A phone another program holds is not opened: the Log says so, and its
// entry is that of a phone that does not answer.
TEST_F(SessionRoad, APhoneHeldByAnotherProgramIsLeftAlone) {
    auto phone = plug("one", phoneState("E398", "0A", {{Pic + "p.jpg", test::FileBytes(10)}}));
    transport.SetHeldElsewhere(TVirtualDeviceSource::PhonePath("one"), true);
    TPhoneSession& s = start();
    EXPECT_EQ(s.PhoneEntries(), QStringList{" []"});
    EXPECT_TRUE(rowNames().empty());
    EXPECT_NE(std::find(log.begin(), log.end(), "Phone 1 is in use by another program"), log.end());
    EXPECT_TRUE(phone->Received().empty());
    EXPECT_TRUE(transport.HeldElsewhere(TVirtualDeviceSource::PhonePath("one")));
}
