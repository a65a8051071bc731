// The client against the virtual phone: byte-exact transfers and hostile
// replies, end to end through the component, the transport and the wire.

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "support/VirtualRig.h"

using test::FileBytes;
using V = std::vector<uint8_t>;

TEST(P2KVirtualPhone, InformationAndListing) {
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    s.SetSeem(SeemModel, 1, ModelSeemBytes("V3x Razr"));
    s.SetSeem(SeemFlex, 1, PackedFlexSeemBytes("1436587A9CBED0"));
    s.Files["/a/mobile/picture/img01.jpg"] = {FileBytes(1234), 0x01, 0x02};
    s.Files["/a/mobile/picture/\xE0\xB8.jpg"] = {FileBytes(7), 0x00, 0x00};
    s.Files["/a/mobile/picture/note.txt"] = {FileBytes(5), 0x00, 0x00};
    s.Files["/a/other.jpg"] = {FileBytes(9), 0x00, 0x00};
    test::TVirtualRig rig(s);
    ASSERT_TRUE(rig.Item);
    ASSERT_TRUE(rig.Item->IsOpen());
    auto& item = *rig.Item;

    EXPECT_EQ(item.GetPhoneModel(), "V3x Razr");
    EXPECT_EQ(item.GetFlexVersion(), "1436587A9CBED0");
    EXPECT_EQ(item.GetDrives(), "/a\r\n/b");
    EXPECT_EQ(item.GetFreeSpace("/a/"), 4 * 1024 * 1024);

    const int32_t count = item.GetFileCount("/a/mobile/picture/|*.jpg");
    ASSERT_EQ(count, 2);
    std::vector<TP2KFile> files;
    EXPECT_TRUE(item.GetFileList(count, nullptr, [&](const TP2KFile& F) {
        files.push_back(F);
        return true;
    }));
    ASSERT_EQ(files.size(), 2u);
    std::sort(files.begin(), files.end(),
              [](const TP2KFile& A, const TP2KFile& B) { return A.Name < B.Name; });
    EXPECT_EQ(files[0].Name, "/a/mobile/picture/img01.jpg");
    EXPECT_EQ(files[0].Size, 1234);
    EXPECT_EQ(files[0].Attributes, TP2KFileAttrs::Of({atBit0, atBit1}));
    EXPECT_EQ(files[1].Name, "/a/mobile/picture/\xE0\xB8.jpg");
}

TEST(P2KVirtualPhone, DownloadAndUploadByteExact) {
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    const size_t sizes[] = {1, 2, 999, 1000, 1001, 4000, 4001, 8000, 12345};
    for (size_t n : sizes) {
        s.Files["/a/f" + std::to_string(n)] = {FileBytes(n, unsigned(n)), 0, 0};
    }
    test::TVirtualRig rig(s);
    test::TTempDir dir;

    for (size_t n : sizes) {
        for (int32_t block : {1000, 4000}) {
            const std::string local =
                dir.Path("f" + std::to_string(n) + "-" + std::to_string(block));
            EXPECT_TRUE(rig.Item->DownloadFile("/a/f" + std::to_string(n), local, block,
                                               static_cast<int32_t>(n), nullptr))
                << n << " bytes in blocks of " << block;
            EXPECT_EQ(test::ReadAll(local), FileBytes(n, unsigned(n))) << n << "/" << block;
        }
    }
    // Unknown size: complete only when the phone ends the file with an empty
    // block; one ending on a one-byte block is incomplete and leaves nothing.
    test::TTempDir unknown;
    for (size_t n : {4000, 8000, 12345}) {
        const std::string local = unknown.Path("u" + std::to_string(n));
        EXPECT_TRUE(rig.Item->DownloadFile("/a/f" + std::to_string(n), local, 4000, 0, nullptr));
        EXPECT_EQ(test::ReadAll(local), FileBytes(n, unsigned(n))) << n;
    }
    EXPECT_FALSE(rig.Item->DownloadFile("/a/f4001", unknown.Path("u4001"), 4000, 0, nullptr));
    auto names = unknown.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"u12345", "u4000", "u8000"}));

    const V data = FileBytes(2500, 99);
    test::WriteAll(dir.Path("up"), data);
    EXPECT_TRUE(rig.Item->UploadFile(dir.Path("up"), "/a/up.bin", 1000, nullptr));
    EXPECT_EQ(rig.Phone->State().Files["/a/up.bin"].Data, data);
    EXPECT_TRUE(rig.Item->DeleteFile("/a/up.bin"));
    EXPECT_EQ(rig.Phone->State().Files.count("/a/up.bin"), 0u);
}

TEST(P2KVirtualPhone, HostileRepliesAndBrokenTransfers) {
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    s.Files["/a/x.jpg"] = {FileBytes(10000), 0, 0};
    s.Files["/a/y.jpg"] = {FileBytes(10), 0x7F, 0x7F};
    test::TVirtualRig rig(s);
    test::TTempDir dir;
    auto& f = rig.Phone->Faults();
    auto& item = *rig.Item;

    // Garbage list entries.
    f.ListNamesWithoutNul = true;
    f.ListSizesTopBit = true;
    f.ListExtraBytes = 100;
    ASSERT_EQ(item.GetFileCount("/a/|*.jpg"), 2);
    std::vector<TP2KFile> files;
    item.GetFileList(2, nullptr, [&](const TP2KFile& F) {
        files.push_back(F);
        return true;
    });
    ASSERT_EQ(files.size(), 2u);
    for (const auto& file : files) {
        EXPECT_EQ(file.Name.size(), 260u);
        EXPECT_LT(file.Size, 0);
    }
    f = TVirtualPhoneFaults{};

    // The phone shrinks the file while it is read: incomplete, no file left.
    f.ShrinkAfterReads = 1;
    f.ShrinkTo = 5000;
    EXPECT_FALSE(item.DownloadFile("/a/x.jpg", dir.Path("x"), 4000, 10000, nullptr));
    EXPECT_TRUE(dir.Names().empty());
    f = TVirtualPhoneFaults{};

    // A read that fails at block 2, stalling or answering no data.
    for (bool stall : {true, false}) {
        f.FailReadAtBlock = 2;
        f.BlockFailuresStall = stall;
        EXPECT_FALSE(item.DownloadFile("/a/x.jpg", dir.Path("x"), 4000, 10000, nullptr));
        EXPECT_TRUE(dir.Names().empty());
    }
    f = TVirtualPhoneFaults{};

    // A write that fails at block 2.
    test::WriteAll(dir.Path("up"), FileBytes(3000));
    f.FailWriteAtBlock = 2;
    EXPECT_FALSE(item.UploadFile(dir.Path("up"), "/a/up.bin", 1000, nullptr));
    f = TVirtualPhoneFaults{};

    // Replies whose length field lies, or that are larger than asked for.
    f.ClaimedLength = 0xFFFF;
    EXPECT_EQ(item.GetFileCount("/a/|*.jpg"), 0);
    V buf(100);
    item.FileOpen("/a/x.jpg", TP2KFileAttrs::Of({atAny}));
    EXPECT_LE(item.FileRead(buf.data(), 100), 100);
    f.ClaimedLength.reset();
    f.PadRepliesTo = 5000;
    EXPECT_EQ(item.FileRead(buf.data(), 100), 100);
    EXPECT_EQ(item.GetFileCount("/a/|*.jpg"), 0);
    f = TVirtualPhoneFaults{};
    item.FileClose();

    // The phone leaves the bus: each command fails after one poll window.
    f.DisappearAfter = rig.Phone->Transactions();
    EXPECT_EQ(item.GetPhoneModel(), "");
    EXPECT_FALSE(item.DownloadFile("/a/x.jpg", dir.Path("x"), 4000, 10000, nullptr));
    EXPECT_TRUE(dir.Names() == std::vector<std::string>{"up"});
}

TEST(P2KVirtualPhone, UnpluggedDuringDownload) {
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    s.Files["/a/x.jpg"] = {FileBytes(10000), 0, 0};
    test::TVirtualRig rig(s);
    test::TTempDir dir;
    std::vector<std::string> log;
    rig.Mode->SetOnDebug(
        [&](TMotoP2KModemItem*, const std::string& T, TDebugType, bool) { log.push_back(T); });
    TMotoP2KModemItem* raw = rig.Item.get();
    rig.Item.reset();
    int removals = 0;
    rig.Mode->OnRemove = [&](void*) { ++removals; };

    int blocks = 0;
    auto progress = [&](int32_t, int32_t) {
        if (++blocks == 1) {
            rig.Devices.UnplugPhone("one");
            rig.Devices.DispatchPending();  // the nested event loop
            EXPECT_EQ(rig.Mode->DeviseList().Count(), 0);
        }
        return true;
    };
    EXPECT_FALSE(raw->DownloadFile("/a/x.jpg", dir.Path("x"), 4000, 10000, progress));
    EXPECT_EQ(removals, 1);
    EXPECT_TRUE(dir.Names().empty());
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "File Download Phone");
    EXPECT_EQ(log.back(), "Close Phone");
    EXPECT_EQ(rig.Transport.OpenChannels(), 0);
}
