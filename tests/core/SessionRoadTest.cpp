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
