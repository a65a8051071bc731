#include <gtest/gtest.h>

#include "sim/RawHost.h"
#include "sim/VirtualPhone.h"

using namespace rawhost;

namespace {

constexpr uint16_t CmdReadSeem = 0x0020;
constexpr uint32_t SubOpen = 0, SubRead = 1, SubWrite = 2, SubClose = 4, SubSearch = 7, SubNext = 8,
                   SubDrives = 0x0A, SubFree = 0x0B;

Bytes seemRequest(uint16_t Seem, uint16_t Record, uint16_t Offset, uint16_t Count) {
    return {uint8_t(Seem >> 8),   uint8_t(Seem),   uint8_t(Record >> 8), uint8_t(Record),
            uint8_t(Offset >> 8), uint8_t(Offset), uint8_t(Count >> 8),  uint8_t(Count)};
}

Bytes fileBytes(size_t N) {
    Bytes b(N);
    for (size_t i = 0; i < N; ++i) {
        b[i] = uint8_t(i * 7 + 3);
    }
    return b;
}

TVirtualPhoneState storeWith(std::initializer_list<std::pair<std::string, size_t>> Files) {
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    for (const auto& [path, size] : Files) {
        s.Files[path].Data = fileBytes(size);
    }
    return s;
}

std::optional<Bytes> openFile(TVirtualPhone& Phone, const std::string& Name, uint32_t Attr) {
    return fs(Phone, SubOpen, cat(be32(Attr), text(Name)));
}

std::optional<Bytes> readFile(TVirtualPhone& Phone, uint32_t Wanted) {
    return fs(Phone, SubRead, be32(Wanted));
}

std::optional<Bytes> writeFile(TVirtualPhone& Phone, const Bytes& Data) {
    return fs(Phone, SubWrite, cat(be32(uint32_t(Data.size())), Data));
}

// Sub-command 7 with the pattern as the program encodes it, then 0000.
std::optional<Bytes> search(TVirtualPhone& Phone, const std::string& Pattern) {
    return fs(Phone, SubSearch, cat(units(Pattern), {0, 0}));
}

}  // namespace

TEST(VirtualPhoneCommands, Seems) {
    TVirtualPhoneState s;
    s.SetSeem(SeemModel, 1, ModelSeemBytes("E3"));
    s.SetSeem(SeemFlex, 1, PackedFlexSeemBytes("1436587A9CBED0"));
    s.SetSeem(0x0100, 1, Bytes(300, 0x41));
    TVirtualPhone phone(s);

    auto model = transact(phone, CmdReadSeem, seemRequest(SeemModel, 1, 0, 0));
    ASSERT_TRUE(model);
    EXPECT_EQ((*model)[0], 0) << "status first";
    Bytes seem(model->begin() + 1, model->end());
    EXPECT_EQ(seem, ModelSeemBytes("E3"));
    EXPECT_NE(std::count(seem.begin(), seem.end(), 0), 0) << "padding 0 bytes mixed in";
    EXPECT_NE(std::count(seem.begin(), seem.end(), 0xFF), 0) << "padding 255 bytes mixed in";

    auto flex = transact(phone, CmdReadSeem, seemRequest(SeemFlex, 1, 0, 9));
    ASSERT_TRUE(flex);
    EXPECT_EQ(*flex, (Bytes{0, 0x08, 0x10, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0x00}))
        << "packed: high nibble of byte i and low nibble of byte i + 1 pair up";
    EXPECT_EQ(PlainFlexSeemBytes("R3AB"), (Bytes{0x03, 0xAB}));

    auto part = transact(phone, CmdReadSeem, seemRequest(0x0100, 1, 290, 20));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->size(), 11u) << "count cut at the end of the record";
    auto longSeem = transact(phone, CmdReadSeem, seemRequest(0x0100, 1, 0, 0));
    ASSERT_TRUE(longSeem);
    EXPECT_EQ(longSeem->size(), 301u);

    for (const Bytes& bad : {seemRequest(0x0117, 2, 0, 0), seemRequest(0x0100, 1, 301, 0),
                             Bytes{0x01, 0x17, 0x00, 0x01}}) {
        auto r = transact(phone, CmdReadSeem, bad);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->size(), 1u);
        EXPECT_NE((*r)[0], 0);
    }
}

TEST(VirtualPhoneCommands, DrivesAndFreeSpace) {
    TVirtualPhoneState s;
    s.Drives = {{"/a", 1000}, {"/b", int32_t(0x80000000u)}, {"/\xE4", 7}};  // "/д"
    TVirtualPhone phone(s);
    auto drives = fs(phone, SubDrives);
    ASSERT_TRUE(drives);
    EXPECT_EQ(*drives, (Bytes{0x00, 0x2F, 0x00, 0x61, 0xFF, 0xFE, 0x00, 0x2F, 0x00, 0x62, 0xFF,
                              0xFE, 0x00, 0x2F, 0x04, 0x34}))
        << "FF FE between names, none after; the phone's own Cyrillic is 04xx";
    EXPECT_EQ(*fs(phone, SubDrives, {0}), Bytes{1}) << "sub 10 takes no arguments";

    // The program's exact 14-byte request for "/a/".
    auto free = transact(
        phone, 0x004A,
        {0x00, 0x00, 0x00, 0x0B, 0x00, 0x07, 0x00, 0x2F, 0x00, 0x61, 0x00, 0x2F, 0x00, 0x00});
    ASSERT_TRUE(free);
    EXPECT_EQ(*free, (Bytes{0x00, 0x00, 0x03, 0xE8}));
    EXPECT_EQ(*fs(phone, SubFree, cat({0x00, 0x07}, units("/b/"))), (Bytes{0x80, 0, 0, 0}))
        << "a request cut without its terminator still names the drive";
    EXPECT_EQ(*fs(phone, SubFree, cat(cat({0x00, 0x07}, units("/\xE4/")), {0, 0})),
              (Bytes{0, 0, 0, 7}))
        << "Cyrillic arrives as 00C0..00FF";
    EXPECT_EQ(*fs(phone, SubFree, cat(cat({0x00, 0x07}, units("/z/")), {0, 0})), Bytes{})
        << "an unknown drive tells nothing";
    EXPECT_EQ(*fs(phone, SubFree, cat(cat({0x00, 0x08}, units("/a/")), {0, 0})), Bytes{1});
}

TEST(VirtualPhoneCommands, SearchDecodesSeparatorAndCyrillic) {
    // Names in code page 1251: "фото" = F4 EE F2 EE, "ёж" = B8 E6.
    TVirtualPhone phone(storeWith({{"/a/mobile/picture/img01.jpg", 10},
                                   {"/a/mobile/picture/IMG02.JPG", 10},
                                   {"/a/mobile/picture/old/img03.jpg", 10},
                                   {"/a/mobile/picture/note.txt", 10},
                                   {"/a/\xF4\xEE\xF2\xEE/\xB8\xE6.jpg", 10},
                                   {"/b/x.jpg", 10}}));
    auto count = search(phone, "/a/mobile/picture/|*.jpg");
    ASSERT_TRUE(count);
    EXPECT_EQ(*count, (Bytes{0, 3})) << "exactly 2 bytes; case-blind; below the folder too";
    EXPECT_EQ(*search(phone, "/a/|*.*"), (Bytes{0, 5}));
    EXPECT_EQ(*search(phone, "/a/\xF4\xEE\xF2\xEE/|\xB8*"), (Bytes{0, 1}))
        << "letters as 00C0..00FF and Yo as 0451";
    // The phone's own block 0410..044F names the same letters.
    Bytes own = {0x00, 0x2F, 0x00, 0x61, 0x00, 0x2F, 0x04, 0x44, 0x04, 0x3E, 0x04,
                 0x42, 0x04, 0x3E, 0x00, 0x2F, 0xFF, 0xFE, 0x00, 0x2A, 0x00, 0x00};
    EXPECT_EQ(*fs(phone, SubSearch, own), (Bytes{0, 1}));
    EXPECT_EQ(*search(phone, "/a/mobile/picture/|img0?.jpg"), (Bytes{0, 3}));
    EXPECT_EQ(*search(phone, "/c/|*.*"), (Bytes{0, 0}));

    for (const Bytes& bad : {cat(units("/a/*.jpg"), {0, 0}),                   // no separator
                             cat(units("/a/|*|*"), {0, 0}),                    // two separators
                             units("/a/|*.jpg"),                               // no terminator
                             Bytes{0x00, 0x2F, 0xFF, 0xFE, 0x00, 0x2A, 0x00},  // odd length
                             cat(units("/a/|*"), {0x30, 0x00, 0, 0}),  // unit outside the text
                             Bytes{0x00, 0x00}}) {                     // the empty path
        auto r = fs(phone, SubSearch, bad);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->size(), 1u) << "a malformed pattern answers a status, not a count";
    }
    EXPECT_EQ(*fs(phone, SubNext, {3}), Bytes{1}) << "the failed search left nothing to list";
}

TEST(VirtualPhoneCommands, ListEntriesThreePerBatch) {
    TVirtualPhoneState s = storeWith(
        {{"/a/p/1.jpg", 1}, {"/a/p/2.jpg", 0x01020304}, {"/a/p/3.jpg", 3}, {"/a/p/4.jpg", 4}});
    s.Files["/a/p/2.jpg"].Data.resize(70000);
    s.Files["/a/p/3.jpg"].AttrA = 0x01;
    s.Files["/a/p/3.jpg"].AttrB = 0x02;
    TVirtualPhone phone(s);
    EXPECT_EQ(*fs(phone, SubNext, {3}), Bytes{1}) << "no search open yet";
    ASSERT_EQ(*search(phone, "/a/p/|*.jpg"), (Bytes{0, 4}));

    auto first = fs(phone, SubNext, {3});
    ASSERT_TRUE(first);
    ASSERT_EQ(first->size(), 4u + 3 * 268);
    const uint8_t* e1 = first->data() + 4 + 268;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e1)), "/a/p/2.jpg");
    EXPECT_TRUE(std::all_of(e1 + 10, e1 + 260, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(readBe32(*first, 4 + 268 + 264), 70000u);
    const uint8_t* e2 = first->data() + 4 + size_t{2} * 268;
    EXPECT_EQ(e2[260], 0x01);
    EXPECT_EQ(e2[261], 0x02);

    auto second = fs(phone, SubNext, {3});
    ASSERT_EQ(second->size(), 4u + 268);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(second->data() + 4)), "/a/p/4.jpg");
    EXPECT_EQ(fs(phone, SubNext, {3})->size(), 4u) << "an exhausted search lists no entry";

    ASSERT_EQ(*search(phone, "/a/p/|*.jpg"), (Bytes{0, 4}));
    EXPECT_EQ(fs(phone, SubNext, {9})->size(), 4u + 3 * 268) << "never more than three";
    EXPECT_EQ(fs(phone, SubNext, {0})->size(), 4u);
    EXPECT_EQ(*fs(phone, SubNext, {3, 0}), Bytes{1}) << "the request is exactly one byte";
}

TEST(VirtualPhoneCommands, GarbageListFaults) {
    TVirtualPhone phone(storeWith({{"/a/p/1.jpg", 5}}));
    phone.Faults().ListNamesWithoutNul = true;
    phone.Faults().ListSizesTopBit = true;
    phone.Faults().ListExtraBytes = 7;
    ASSERT_EQ(*search(phone, "/a/p/|*.jpg"), (Bytes{0, 1}));
    auto r = fs(phone, SubNext, {3});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 4u + 268 + 7) << "length not 4 + 268 n";
    EXPECT_TRUE(
        std::none_of(r->begin() + 4, r->begin() + 4 + 260, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(readBe32(*r, 4 + 264), 0x80000005u);
}

TEST(VirtualPhoneCommands, ReadAnExistingFile) {
    TVirtualPhone phone(storeWith({{"/a/x.jpg", 5000}}));
    // The program's open for reading: attribute word 0xFF, the name's 8-bit bytes.
    auto open = transact(phone, 0x004A,
                         {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x61, 0x2F, 0x78,
                          0x2E, 0x6A, 0x70, 0x67});
    ASSERT_TRUE(open);
    EXPECT_EQ(*open, Bytes{});
    EXPECT_EQ(phone.OpenFileName(), "/a/x.jpg");
    EXPECT_EQ(*writeFile(phone, {1}), Bytes{1}) << "a file opened for reading is not written";
    Bytes all = fileBytes(5000);
    auto block = transact(phone, 0x004A, {0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xA0});
    ASSERT_TRUE(block);
    EXPECT_EQ(*block, Bytes(all.begin(), all.begin() + 4000));
    EXPECT_EQ(*readFile(phone, 0), Bytes{});
    auto rest = readFile(phone, 4000);
    EXPECT_EQ(*rest, Bytes(all.begin() + 4000, all.end())) << "up to the wanted count";
    EXPECT_EQ(*readFile(phone, 4000), Bytes{}) << "end of file";
    EXPECT_EQ(*fs(phone, SubClose), Bytes{});
    EXPECT_EQ(*fs(phone, SubClose), Bytes{1}) << "nothing open";
    EXPECT_EQ(*readFile(phone, 10), Bytes{}) << "reads need an open file";

    EXPECT_EQ(*openFile(phone, "/a/missing.jpg", 0xFF), Bytes{1});
    EXPECT_EQ(*openFile(phone, "/a/x.jpg", 0x08), Bytes{1}) << "unknown attribute word";
    EXPECT_EQ(*openFile(phone, "", 0xFF), Bytes{1});
    EXPECT_EQ(*openFile(phone, "/a/", 0), Bytes{1}) << "a folder is no file";
    EXPECT_EQ(*openFile(phone, "/q/y.jpg", 0), Bytes{1}) << "no such drive";
    EXPECT_EQ(*openFile(phone, std::string("/a/x.jpg\0z", 10), 0xFF), Bytes{1});
    EXPECT_EQ(phone.OpenFileName(), "");
}

TEST(VirtualPhoneCommands, WriteTruncateAndDelete) {
    TVirtualPhone phone(storeWith({{"/a/old.jpg", 3000}}));
    int32_t free0 = phone.State().Drives[0].FreeSpace;

    EXPECT_EQ(*openFile(phone, "/a/new.jpg", 0), Bytes{});
    Bytes data = fileBytes(2500);
    EXPECT_EQ(*writeFile(phone, Bytes(data.begin(), data.begin() + 1000)), Bytes{});
    EXPECT_EQ(*writeFile(phone, Bytes(data.begin() + 1000, data.begin() + 2000)), Bytes{});
    EXPECT_EQ(*writeFile(phone, Bytes(data.begin() + 2000, data.end())), Bytes{});
    EXPECT_EQ(*fs(phone, SubWrite, cat(be32(5), {1, 2})), Bytes{1}) << "count must match";
    EXPECT_EQ(*fs(phone, SubClose), Bytes{});
    EXPECT_EQ(phone.State().Files["/a/new.jpg"].Data, data);
    EXPECT_EQ(phone.State().Drives[0].FreeSpace, free0 - 2500);

    // Opening with attribute word 0 truncates what stands there.
    EXPECT_EQ(*openFile(phone, "/a/old.jpg", 0x03), Bytes{});
    EXPECT_EQ(*fs(phone, SubClose), Bytes{});
    EXPECT_TRUE(phone.State().Files["/a/old.jpg"].Data.empty());
    EXPECT_EQ(phone.State().Files["/a/old.jpg"].AttrA, 0x03);
    EXPECT_EQ(phone.State().Drives[0].FreeSpace, free0 - 2500 + 3000);

    // The program's delete of "/a/x.jpg": empty reply, then a status when missing.
    phone.State().Files["/a/x.jpg"].Data = fileBytes(10);
    Bytes del{0x00, 0x00, 0x00, 0x05, 0x2F, 0x61, 0x2F, 0x78, 0x2E, 0x6A, 0x70, 0x67};
    EXPECT_EQ(*transact(phone, 0x004A, del), Bytes{});
    EXPECT_EQ(phone.State().Files.count("/a/x.jpg"), 0u);
    auto again = transact(phone, 0x004A, del);
    ASSERT_EQ(again->size(), 1u);
    EXPECT_NE((*again)[0], 0);

    // A full drive refuses the write and keeps the file as it was.
    phone.State().Drives[1].FreeSpace = 100;
    EXPECT_EQ(*openFile(phone, "/b/big.bin", 0), Bytes{});
    EXPECT_EQ(*writeFile(phone, fileBytes(101)), Bytes{1});
    EXPECT_EQ(*writeFile(phone, fileBytes(100)), Bytes{});
    EXPECT_EQ(phone.State().Drives[1].FreeSpace, 0);
}

TEST(VirtualPhoneCommands, FileFaults) {
    // A file that shrinks after the first read: the second read comes up short.
    TVirtualPhone shrink(storeWith({{"/a/s.jpg", 3000}}));
    shrink.Faults().ShrinkAfterReads = 1;
    shrink.Faults().ShrinkTo = 1500;
    openFile(shrink, "/a/s.jpg", 0xFF);
    EXPECT_EQ(readFile(shrink, 1000)->size(), 1000u);
    EXPECT_EQ(readFile(shrink, 1000)->size(), 500u);
    EXPECT_EQ(readFile(shrink, 1000)->size(), 0u);

    // A read failing at block 2: the exchange fails, or the reply is empty.
    for (bool stall : {true, false}) {
        TVirtualPhone phone(storeWith({{"/a/r.jpg", 3000}}));
        phone.Faults().FailReadAtBlock = 2;
        phone.Faults().BlockFailuresStall = stall;
        openFile(phone, "/a/r.jpg", 0xFF);
        EXPECT_EQ(readFile(phone, 1000)->size(), 1000u);
        auto failed = readFile(phone, 1000);
        if (stall) {
            EXPECT_FALSE(failed);
        } else {
            ASSERT_TRUE(failed);
            EXPECT_TRUE(failed->empty());
        }
        EXPECT_EQ(readFile(phone, 1000)->size(), 1000u) << "only block 2 fails";
    }

    // A write failing at block 2 stores nothing of that block.
    for (bool stall : {true, false}) {
        TVirtualPhone phone;
        phone.Faults().FailWriteAtBlock = 2;
        phone.Faults().BlockFailuresStall = stall;
        openFile(phone, "/a/w.jpg", 0);
        EXPECT_EQ(*writeFile(phone, fileBytes(10)), Bytes{});
        auto failed = writeFile(phone, fileBytes(10));
        if (stall) {
            EXPECT_FALSE(failed);
        } else {
            EXPECT_EQ(*failed, Bytes{1});
        }
        EXPECT_EQ(phone.State().Files["/a/w.jpg"].Data.size(), 10u);
    }
}

// A file is made only in a folder the phone has: a drive's root, a folder
// it was given (its picture folder always), or one above a file.
TEST(VirtualPhoneCommands, WritesOnlyIntoFoldersThatExist) {
    TVirtualPhoneState s = storeWith({{"/a/docs/deep/x.txt", 10}});
    s.Folders.insert("/a/Empty");
    TVirtualPhone phone(s);
    const struct {
        const char* Path;
        bool Made;
    } cases[] = {
        {"/a/root.jpg", true},
        {"/a/mobile/picture/p.jpg", true},
        {"/b/mobile/picture/p.jpg", true},
        {"/a/empty/e.jpg", true},
        {"/a/docs/d.txt", true},
        {"/A/DOCS/DEEP/y.txt", true},
        {"/a/nosuchfolder/n.jpg", false},
        {"/a/doc/n.jpg", false},
        {"/a/docs/deep/x.txt/n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(*openFile(phone, c.Path, 0), c.Made ? Bytes{} : Bytes{1});
        EXPECT_EQ(phone.State().Files.count(c.Path), c.Made ? 1u : 0u);
        fs(phone, SubClose);
    }
    // An existing file is opened for writing wherever it lies.
    phone.State().Files["/q/lone.bin"] = {};
    phone.State().Drives.push_back({"/q", 100});
    EXPECT_EQ(*openFile(phone, "/q/lone.bin", 0), Bytes{});
}

// A drive that fills up while a file is written: the blocks after the
// given count are refused, as on a phone whose own data took the space.
TEST(VirtualPhoneCommands, ADriveFillsUpMidFile) {
    TVirtualPhone phone;
    phone.Faults().DriveFullAfterWrites = 2;
    openFile(phone, "/a/mobile/picture/w.jpg", 0);
    EXPECT_EQ(*writeFile(phone, fileBytes(10)), Bytes{});
    EXPECT_EQ(*writeFile(phone, fileBytes(10)), Bytes{});
    EXPECT_EQ(*writeFile(phone, fileBytes(10)), Bytes{1});
    EXPECT_EQ(phone.State().Drives[0].FreeSpace, 0);
    EXPECT_EQ(phone.State().Files["/a/mobile/picture/w.jpg"].Data.size(), 20u);
}
