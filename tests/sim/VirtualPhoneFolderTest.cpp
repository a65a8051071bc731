#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "sim/PhoneFolderClaim.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhoneFolder.h"

namespace fs = std::filesystem;

namespace {

class TTempFolder {
  public:
    TTempFolder() {
        std::string pattern = (fs::temp_directory_path() / "snaprill-phones-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TTempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

void writeFile(const fs::path& P, const std::string& Content) {
    fs::create_directories(P.parent_path());
    std::ofstream(P, std::ios::binary) << Content;
}

struct TCountingSink : IDeviceChangeSink {
    void DeviceChanged(TDeviceChange Change, const std::string& Name) override {
        Events.push_back(std::string(Change == TDeviceChange::Arrival ? "add " : "remove ") + Name);
    }
    std::vector<std::string> Events;
};

}  // namespace

TEST(VirtualPhoneFolder, IniSettings) {
    TVirtualPhoneSettings s = ParseVirtualPhoneIni(
        "[Phone]\n; comment\nMODEL = \"Тест 1\"\r\nfirmware=11223344556677\n"
        "FlexForm = Plain\nFreeSpace = -5\nnonsense\nserial = \"SN 0042\"\n");
    EXPECT_EQ(s.Model, "\xD2\xE5\xF1\xF2 1") << "UTF-8 Cyrillic becomes the phone's 8-bit text";
    EXPECT_EQ(s.Firmware, "11223344556677");
    EXPECT_FALSE(s.PackedFlex);
    EXPECT_EQ(s.FreeSpace, -5);
    EXPECT_EQ(s.Serial, "SN 0042");

    TVirtualPhoneSettings defaults;
    TVirtualPhoneSettings bad =
        ParseVirtualPhoneIni("FreeSpace = 99999999999\nFlexForm = round\nModel = 日本\n");
    EXPECT_EQ(bad.FreeSpace, defaults.FreeSpace);
    EXPECT_TRUE(bad.PackedFlex);
    EXPECT_EQ(bad.Model, defaults.Model);
    EXPECT_EQ(bad.Serial, "") << "none unless phone.ini gives one";
    EXPECT_EQ(ParseVirtualPhoneIni("FreeSpace = 12abc").FreeSpace, defaults.FreeSpace);

    // A slow link, in milliseconds per transaction: up to a minute, else none.
    const std::pair<const char*, uint32_t> delays[] = {
        {"Delay = 4", 4},  {"delay=60000", 60000}, {"Delay = 60001", 0},
        {"Delay = -4", 0}, {"Delay = 4ms", 0},     {"", 0},
    };
    for (const auto& [text, ms] : delays) {
        EXPECT_EQ(ParseVirtualPhoneIni(text).DelayMilliseconds, ms) << text;
    }
}

TEST(VirtualPhoneFolder, LoadsDrivesFilesAndSeems) {
    TTempFolder tmp;
    ASSERT_FALSE(tmp.Path().empty());
    fs::path phone = tmp.Path() / "p";
    writeFile(phone / "phone.ini", "Model=Abc\nFirmware=1436587A9CBED0\nFreeSpace=1000\n");
    writeFile(phone / "a" / "mobile" / "picture" / "img01.jpg", "JPEG");
    writeFile(phone / "a" / "фото" / "ёж.jpg", "12");
    writeFile(phone / "a" / "日本.jpg", "x");
    writeFile(phone / "a" / ".hidden", "x");
    writeFile(phone / "a" / ".git" / "config", "x");
    writeFile(phone / "b" / "note.txt", "");

    TVirtualPhoneState s = LoadVirtualPhone(phone);
    ASSERT_EQ(s.Drives.size(), 2u);
    EXPECT_EQ(s.Drives[0].Name, "/a");
    EXPECT_EQ(s.Drives[1].Name, "/b");
    EXPECT_EQ(s.Drives[0].FreeSpace, 1000);
    ASSERT_EQ(s.Files.size(), 3u);
    EXPECT_EQ(s.Files.at("/a/mobile/picture/img01.jpg").Data,
              (std::vector<uint8_t>{'J', 'P', 'E', 'G'}));
    EXPECT_EQ(s.Files.count("/a/\xF4\xEE\xF2\xEE/\xB8\xE6.jpg"), 1u);
    EXPECT_EQ(s.Files.count("/b/note.txt"), 1u);
    EXPECT_EQ(s.Seems.at(TVirtualPhoneState::SeemKey(SeemModel, 1)), ModelSeemBytes("Abc"));
    EXPECT_EQ(s.Seems.at(TVirtualPhoneState::SeemKey(SeemFlex, 1)),
              PackedFlexSeemBytes("1436587A9CBED0"));

    TVirtualPhoneState bare = LoadVirtualPhone(tmp.Path() / "missing");
    ASSERT_EQ(bare.Drives.size(), 1u) << "a phone always has drive /a";
    EXPECT_EQ(bare.Drives[0].Name, "/a");
    EXPECT_TRUE(bare.Files.empty());
}

TEST(VirtualPhoneFolder, RescanPlugsAndUnplugsAsSubfoldersComeAndGo) {
    TTempFolder tmp;
    TVirtualDeviceSource devices;
    TCountingSink sink;
    devices.RegisterNotify(P2KInterfaceGuid, &sink);

    std::vector<std::string> started;
    std::weak_ptr<void> modemAlive;
    auto starter = [&](const std::string& Name, const std::shared_ptr<TVirtualPhone>& Phone,
                       TVirtualDeviceSource& Devices) -> std::shared_ptr<void> {
        started.push_back(Name);
        EXPECT_NE(Phone, nullptr);
        Devices.PlugModem(Name, "/dev/pts/99");
        auto handle = std::make_shared<int>(1);
        modemAlive = handle;
        return handle;
    };
    {
        TVirtualPhoneFolder folder(devices, tmp.Path() / "phones", starter);
        EXPECT_FALSE(folder.Rescan()) << "a missing folder is empty";
        fs::create_directories(tmp.Path() / "phones" / "one" / "a");
        writeFile(tmp.Path() / "phones" / "one" / "phone.ini", "Serial = SN1\n");
        fs::create_directories(tmp.Path() / "phones" / "two.modem");
        EXPECT_TRUE(folder.Rescan());
        EXPECT_FALSE(folder.Rescan()) << "nothing new";
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"one", "two"}));
        EXPECT_EQ(started, std::vector<std::string>{"two"});
        ASSERT_EQ(devices.Enumerate(P2KInterfaceGuid).size(), 1u);
        EXPECT_EQ(devices.Enumerate(P2KInterfaceGuid)[0].DevicePath, "virtual:p2k/one");
        // Where a real device's record carries it.
        EXPECT_EQ(devices.Enumerate(P2KInterfaceGuid)[0].SerialNumber, "SN1");
        EXPECT_EQ(devices.PhoneAt("virtual:p2k/one"), folder.Phone("one"));
        EXPECT_EQ(devices.Enumerate(UsbDeviceInterfaceGuid).size(), 1u);

        fs::remove_all(tmp.Path() / "phones" / "two.modem");
        EXPECT_TRUE(folder.Rescan());
        EXPECT_TRUE(modemAlive.expired()) << "the modem stops with its folder";
        EXPECT_TRUE(devices.Enumerate(UsbDeviceInterfaceGuid).empty());
        fs::remove_all(tmp.Path() / "phones" / "one");
        EXPECT_TRUE(folder.Rescan());
        EXPECT_TRUE(devices.Enumerate(P2KInterfaceGuid).empty());

        fs::create_directories(tmp.Path() / "phones" / "three");
        folder.Rescan();
        devices.DispatchPending();
        EXPECT_EQ(sink.Events.size(), 3u) << "arrival, removal, arrival";
    }
    EXPECT_TRUE(devices.Enumerate(P2KInterfaceGuid).empty()) << "gone with the folder object";

    // Without a modem starter a modem phone simply stays away.
    fs::create_directories(tmp.Path() / "phones" / "four.modem");
    TVirtualPhoneFolder plain(devices, tmp.Path() / "phones");
    plain.Rescan();
    EXPECT_EQ(plain.Names(), std::vector<std::string>{"three"});
}

TEST(VirtualPhoneFolder, EnvironmentNamesTheFolder) {
    unsetenv(TVirtualPhoneFolder::EnvironmentVariable);
    EXPECT_FALSE(TVirtualPhoneFolder::FromEnvironment());
    setenv(TVirtualPhoneFolder::EnvironmentVariable, "", 1);
    EXPECT_FALSE(TVirtualPhoneFolder::FromEnvironment());
    setenv(TVirtualPhoneFolder::EnvironmentVariable, "/tmp/phones", 1);
    EXPECT_EQ(TVirtualPhoneFolder::FromEnvironment(), fs::path("/tmp/phones"));
    unsetenv(TVirtualPhoneFolder::EnvironmentVariable);
}

// Two programs on one folder of phones, each with its own copy of a phone:
// while one has the phone open, the other cannot open it and is told that
// another holds it; once closed, the other can. The lock file is no file of
// the phone's.
TEST(VirtualPhoneFolder, AnOpenPhoneIsClaimedAgainstOtherPrograms) {
    TTempFolder tmp;
    writeFile(tmp.Path() / "cam" / "a" / "p.jpg", "12345");
    struct TProgram {
        TVirtualDeviceSource Devices;
        TVirtualP2KTransport Transport{Devices};
        std::unique_ptr<TVirtualPhoneFolder> Folder;
        explicit TProgram(const fs::path& Path)
            : Folder(std::make_unique<TVirtualPhoneFolder>(Devices, Path)) {
            Folder->Rescan();
            Transport.SetClaimer([this](const std::string& DevicePath, bool& Held) {
                return ClaimPhoneFolder(*Folder->FolderOf(DevicePath), Held);
            });
        }
    };
    TProgram window(tmp.Path()), cli(tmp.Path());
    const std::string path = TVirtualDeviceSource::PhonePath("cam");
    ASSERT_TRUE(window.Folder->FolderOf(path));
    EXPECT_FALSE(window.Folder->FolderOf(TVirtualDeviceSource::PhonePath("none")));

    std::unique_ptr<IP2KChannel> held = window.Transport.Open(path);
    ASSERT_NE(held, nullptr);
    EXPECT_TRUE(PhoneFolderClaimed(tmp.Path() / "cam"));
    EXPECT_EQ(cli.Transport.Open(path), nullptr);
    EXPECT_TRUE(cli.Transport.HeldElsewhere(path));
    EXPECT_FALSE(window.Transport.HeldElsewhere(path));

    EXPECT_TRUE(held->Close());
    EXPECT_FALSE(PhoneFolderClaimed(tmp.Path() / "cam"));
    std::unique_ptr<IP2KChannel> now = cli.Transport.Open(path);
    EXPECT_NE(now, nullptr);
    EXPECT_FALSE(cli.Transport.HeldElsewhere(path));
    now.reset();  // dropped without a close: the claim goes too
    EXPECT_FALSE(PhoneFolderClaimed(tmp.Path() / "cam"));

    // The phone read again sees the same files: the lock file is hidden.
    EXPECT_EQ(LoadVirtualPhone(tmp.Path() / "cam").Files.size(), 1u);
}

// An empty folder of a phone's folder is a folder of the phone, and every
// drive has its picture folder.
TEST(VirtualPhoneFolder, EmptyFoldersAndThePictureFolderExist) {
    TTempFolder tmp;
    const fs::path phone = tmp.Path() / "p";
    fs::create_directories(phone / "a" / "empty" / "inner");
    fs::create_directories(phone / "b");
    const TVirtualPhoneState s = LoadVirtualPhone(phone);
    for (const char* f : {"/a/empty", "/a/empty/inner", "/a/mobile/picture", "/b/mobile/picture"}) {
        EXPECT_TRUE(s.Folders.contains(f)) << f;
    }
    EXPECT_TRUE(s.Files.empty());
}
