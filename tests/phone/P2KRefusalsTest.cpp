// What the phone says no to: a file it will not open or a block it will not
// store (a status byte in the reply), and the look-up that tells whether a
// file stands on the phone at its full size.
#include <gtest/gtest.h>

#include <cstring>

#include "support/P2KTestItem.h"
#include "support/TempDir.h"

namespace {

using V = std::vector<uint8_t>;

// A list entry as the phone sends it: name, attribute bytes, size.
V entry(const std::string& Name, uint32_t Size) {
    V e(268, 0);
    std::memcpy(e.data(), Name.data(), std::min<size_t>(Name.size(), 260));
    e[264] = uint8_t(Size >> 24);
    e[265] = uint8_t(Size >> 16);
    e[266] = uint8_t(Size >> 8);
    e[267] = uint8_t(Size);
    return e;
}

class P2KRefusals : public ::testing::Test, public test::TP2KFixtureBase {
  protected:
    // The reply to each sub-command; an empty reply when none is set.
    std::map<uint8_t, std::vector<test::TScriptedReply>> Replies;
    std::map<uint8_t, size_t> Asked;
    test::TTempDir Dir;

    P2KRefusals() {
        OpenQuietly();
        Phone.Handler = [this](const test::TSentCommand& C) {
            const uint8_t sub = C.Payload()[3];
            const size_t k = Asked[sub]++;
            const auto& r = Replies[sub];
            return k < r.size() ? r[k] : test::TScriptedReply{};
        };
    }
};

}  // namespace

// A status byte of 0, or no data, is a yes; any other status is a no, and
// a no to the open sends no block, a no to a block sends no further block.
TEST_F(P2KRefusals, UploadStopsAtTheOpenOrBlockThePhoneRefuses) {
    const std::string local = Dir.Path("up.bin");
    test::WriteAll(local, V(2500, 7));
    const struct {
        const char* Case;
        uint8_t Sub;
        size_t At;  // which reply of that sub-command (0-based)
        V Status;
        bool Result;
        bool Opened;
        size_t Writes;
        const char* Line;
    } cases[] = {
        {"open yes with status 0", 0, 0, {0}, true, true, 3, nullptr},
        {"open refused", 0, 0, {1}, false, false, 0, "File Open Phone Failed - Phone refused"},
        {"first block refused",
         2,
         0,
         {1},
         false,
         true,
         1,
         "File Write Phone Failed - Phone refused"},
        {"second block refused",
         2,
         1,
         {0x80},
         false,
         true,
         2,
         "File Write Phone Failed - Phone refused"},
        {"block yes with status 0", 2, 1, {0}, true, true, 3, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Replies.clear();
        Asked.clear();
        Log.clear();
        Replies[c.Sub].resize(c.At + 1);
        Replies[c.Sub][c.At] = test::Reply(c.Status);
        EXPECT_EQ(Item->UploadFile(local, "/a/up.bin", 1000, nullptr), c.Result);
        EXPECT_EQ(Item->LastUploadOpened(), c.Opened);
        EXPECT_EQ(Asked[2], c.Writes);
        EXPECT_EQ(Asked[4], c.Opened ? 1u : 0u) << "closes";
        const auto texts = Texts();
        EXPECT_EQ(c.Line != nullptr,
                  std::find(texts.begin(), texts.end(), c.Line ? c.Line : "") != texts.end());
    }
}

// The look-up searches the file's own folder for its name: one count, then
// batches until it shows.
TEST_F(P2KRefusals, LookUpFindsTheExactNameAndItsSize) {
    const std::string name = "/a/mobile/picture/up.jpg";
    const auto batch = [](const std::vector<V>& Entries) {
        V data(4, 0);
        for (const V& e : Entries) {
            data.insert(data.end(), e.begin(), e.end());
        }
        return test::Reply(data);
    };
    test::TScriptedReply dead;
    dead.Write = TExchangeResult::Failed;
    const struct {
        const char* Case;
        test::TScriptedReply Count;
        std::vector<test::TScriptedReply> Batches;
        TFileLookup Found;
        int32_t Size;
        size_t ListRequests;
    } cases[] = {
        {"listed", test::Reply({0, 1}), {batch({entry(name, 2500)})}, TFileLookup::Listed, 2500, 1},
        {"listed in other letters",
         test::Reply({0, 1}),
         {batch({entry("/A/Mobile/Picture/UP.JPG", 12)})},
         TFileLookup::Listed,
         12,
         1},
        {"short", test::Reply({0, 1}), {batch({entry(name, 1000)})}, TFileLookup::Listed, 1000, 1},
        {"none", test::Reply({0, 0}), {}, TFileLookup::Missing, 0, 0},
        {"only its namesakes below",
         test::Reply({0, 1}),
         {batch({entry("/a/mobile/picture/old/up.jpg", 5)})},
         TFileLookup::Missing,
         0,
         1},
        {"behind three namesakes",
         test::Reply({0, 4}),
         {batch({entry("/a/mobile/picture/1/up.jpg", 1), entry("/a/mobile/picture/2/up.jpg", 2),
                 entry("/a/mobile/picture/3/up.jpg", 3)}),
          batch({entry(name, 77)})},
         TFileLookup::Listed,
         77,
         2},
        {"count fails", dead, {}, TFileLookup::Failed, 0, 0},
        {"count garbled", test::Reply({0, 1, 2}), {}, TFileLookup::Failed, 0, 0},
        {"batch fails", test::Reply({0, 1}), {dead}, TFileLookup::Failed, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Replies.clear();
        Asked.clear();
        Phone.Sent.clear();
        Replies[7] = {c.Count};
        Replies[8] = c.Batches;
        int32_t size = -1;
        EXPECT_EQ(Item->LookUpFile(name, size), c.Found);
        EXPECT_EQ(size, c.Size);
        EXPECT_EQ(Asked[8], c.ListRequests);
        ASSERT_FALSE(Phone.Sent.empty());
        // The search is the folder and the exact name, as the listing spells them.
        const V count = Phone.Sent[0].Payload();
        EXPECT_EQ(count.size(), 4 + 2 * (name.size() + 1) + 2);
    }
}

// Whether the phone is still attached is the channel's answer, with no
// exchange; an item not open has no phone to ask.
TEST_F(P2KRefusals, PresenceIsAskedOfTheChannelWithoutAnExchange) {
    EXPECT_TRUE(Item->IsPresent());
    Phone.Attached = false;
    EXPECT_FALSE(Item->IsPresent());
    EXPECT_TRUE(Phone.Sent.empty());
    Phone.Attached = true;
    Item->ClosePhone();
    EXPECT_FALSE(Item->IsPresent());
}
