#include <gtest/gtest.h>

#include "support/P2KTestItem.h"

using test::Reply;
using test::TLogLine;

namespace {
class P2KInfo : public ::testing::Test, public test::TP2KFixtureBase {};
using V = std::vector<uint8_t>;

// The reply of a seem read: status 0, then the data.
test::TScriptedReply Seem(V Data) {
    Data.insert(Data.begin(), 0x00);
    return Reply(Data);
}
}  // namespace

TEST_F(P2KInfo, ClosedPhoneIsSilent) {
    EXPECT_EQ(Item->GetPhoneModel(), "");
    EXPECT_EQ(Item->GetFlexVersion(), "");
    EXPECT_EQ(Item->GetDrives(), "");
    EXPECT_EQ(Item->GetFreeSpace("/a/"), 0);
    EXPECT_EQ(Item->GetFileCount("/a/|*.*"), 0);
    uint8_t d[4];
    uint16_t len = 0;
    EXPECT_FALSE(Item->ReadSeem(1, 1, 0, 0, d, sizeof d, len));
    EXPECT_TRUE(Phone.Sent.empty());
    EXPECT_TRUE(Log.empty());
}

TEST_F(P2KInfo, ReadSeem) {
    OpenQuietly();
    uint8_t d[300];
    uint16_t len = 0;

    Phone.Replies.push_back(Seem({0xAB, 0xCD}));
    ASSERT_TRUE(Item->ReadSeem(0x0117, 1, 2, 3, d, sizeof d, len));
    EXPECT_EQ(Phone.Sent[0].Cmd(), CmdReadSeem);
    EXPECT_EQ(Phone.Sent[0].Payload(), (V{0x01, 0x17, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03}));
    EXPECT_EQ(len, 2);
    EXPECT_EQ(d[1], 0xCD);

    Phone.Replies.push_back(Seem({}));  // status byte alone: empty seem
    EXPECT_TRUE(Item->ReadSeem(1, 1, 0, 0, d, sizeof d, len));
    EXPECT_EQ(len, 0);

    Phone.Replies.push_back(Reply(V(256, 0)));  // the largest valid reply
    EXPECT_TRUE(Item->ReadSeem(1, 1, 0, 0, d, sizeof d, len));
    EXPECT_EQ(len, 255);

    Log.clear();
    Phone.Replies.push_back(Reply(V(257, 0)));
    EXPECT_FALSE(Item->ReadSeem(1, 1, 0, 0, d, sizeof d, len));
    Phone.Replies.push_back(Reply({0x01, 0x55}));  // non-zero status
    EXPECT_FALSE(Item->ReadSeem(1, 1, 0, 0, d, sizeof d, len));
    Phone.Replies.push_back(Reply({}));
    EXPECT_FALSE(Item->ReadSeem(1, 1, 0, 0, d, sizeof d, len));
    auto dead = Reply({});
    dead.Write = TExchangeResult::Failed;
    Phone.Replies.push_back(dead);
    EXPECT_FALSE(Item->ReadSeem(1, 1, 0, 0, d, sizeof d, len));
    const std::string denied =
        "Read Seem Phone Failed - Error Read Command: no seem or access denided";
    EXPECT_EQ(Texts(), (std::vector<std::string>{denied, denied, denied,
                                                 "Read Seem Phone Failed - Error Read Command"}));

    // A seem longer than the destination is cut to it.
    uint8_t small[4] = {};
    Phone.Replies.push_back(Seem({1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(Item->ReadSeem(1, 1, 0, 0, small, sizeof small, len));
    EXPECT_EQ(len, 4);
    EXPECT_EQ(V(small, small + 4), (V{1, 2, 3, 4}));
}

TEST_F(P2KInfo, PhoneModel) {
    OpenQuietly();
    Phone.Replies.push_back(Seem({'V', 0x00, '3', 0xFF, 'x', 0x00, 0xFF}));
    EXPECT_EQ(Item->GetPhoneModel(), "V3x");
    EXPECT_EQ(Phone.Sent[0].Payload(), (V{0x01, 0x17, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"Read Seem Phone", dtInformation},
                                          {"GetPhone Model", dtInformation}}));

    Phone.Replies.push_back(Seem({}));
    EXPECT_EQ(Item->GetPhoneModel(), "");
    EXPECT_EQ(Log.back().Text, "GetPhone Model");

    // A seem longer than the model's 35-byte destination is cut.
    Phone.Replies.push_back(Seem(V(100, 'M')));
    EXPECT_EQ(Item->GetPhoneModel(), std::string(35, 'M'));

    Log.clear();
    Phone.Replies.push_back(Reply({0x05}));
    EXPECT_EQ(Item->GetPhoneModel(), "");
    EXPECT_EQ(
        Log,
        (std::vector<TLogLine>{
            {"Read Seem Phone Failed - Error Read Command: no seem or access denided", dtError},
            {"Get Phone Model Failed - Error Read Seem Phone", dtError}}));
}

TEST_F(P2KInfo, FlexVersion) {
    OpenQuietly();
    Phone.Replies.push_back(Seem({0x08, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}));
    EXPECT_EQ(Item->GetFlexVersion(), "1436587A9CBED0");
    EXPECT_EQ(Phone.Sent[0].Payload(), (V{0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x09}));
    EXPECT_EQ(Log.back(), (TLogLine{"Get Phone Flex version", dtInformation}));

    Phone.Replies.push_back(Seem({0x07, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}));
    EXPECT_EQ(Item->GetFlexVersion(), "1436587A9CBED0");  // 7 with 9 bytes: packed
    Phone.Replies.push_back(Seem({0x07, 0x12, 0x00, 0x56, 0xFF, 0x9A, 0xBC, 0xDE}));
    EXPECT_EQ(Item->GetFlexVersion(), "0712569ABCDE");  // 7 with 8 bytes: plain
    Phone.Replies.push_back(Seem({0x08, 0x12, 0x34}));
    EXPECT_EQ(Item->GetFlexVersion(), "14300000000000");  // missing bytes read as 0
    Phone.Replies.push_back(Seem({0x41, 0x0A, 0x00, 0xFF}));
    EXPECT_EQ(Item->GetFlexVersion(), "410A");

    Log.clear();
    Phone.Replies.push_back(Reply({0x01}));
    EXPECT_EQ(Item->GetFlexVersion(), "");
    EXPECT_EQ(Log.back(),
              (TLogLine{"Get Phone Flex version Failed - Error Read Seem Phone", dtError}));
    EXPECT_EQ(Log.size(), 2u);
}

TEST_F(P2KInfo, Drives) {
    OpenQuietly();
    Phone.Replies.push_back(Reply({0x00, 0x2F, 0x00, 0x61, 0xFF, 0xFE, 0x00, 0x2F, 0x00, 0x62}));
    EXPECT_EQ(Item->GetDrives(), "/a\r\n/b");
    EXPECT_EQ(Phone.Sent[0].Cmd(), CmdFileSystem);
    EXPECT_EQ(Phone.Sent[0].Payload(), (V{0x00, 0x00, 0x00, 0x0A}));
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"Get Drives Phone", dtInformation}}));

    Phone.Replies.push_back(Reply({0x00, 0x2F, 0x00, 0x61, 0xFF, 0xFE}));
    EXPECT_EQ(Item->GetDrives(), "/a\r\n");
    Phone.Replies.push_back(Reply({0x00, 0x2F, 0x00, 0x61, 0xFF}));  // lone FF at the end
    EXPECT_EQ(Item->GetDrives(), "/a\xFF");
    Phone.Replies.push_back(Reply({0xFF, 0x41, 0xFE, 0xE0}));  // FF not followed by FE
    EXPECT_EQ(Item->GetDrives(),
              "\xFF"
              "A\xE0");
    // A length that lies beyond the data reads zeros, never past the buffer.
    auto liar = Reply({0x00, 0x2F});
    liar.LengthField = 0xFFFF;
    Phone.Replies.push_back(liar);
    EXPECT_EQ(Item->GetDrives(), "/");

    Log.clear();
    auto dead = Reply({});
    dead.Write = TExchangeResult::Failed;
    Phone.Replies.push_back(dead);
    EXPECT_EQ(Item->GetDrives(), "");
    EXPECT_EQ(Log,
              (std::vector<TLogLine>{{"Get Drives Phone Failed - Error Read Command", dtError}}));
}

TEST_F(P2KInfo, FreeSpace) {
    OpenQuietly();
    Phone.Replies.push_back(Reply({0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(Item->GetFreeSpace("/a/"), 65536);
    EXPECT_EQ(Phone.Sent[0].Payload(), (V{0x00, 0x00, 0x00, 0x0B, 0x00, 0x07, 0x00, 0x2F, 0x00,
                                          0x61, 0x00, 0x2F, 0x00, 0x00}));
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"Get Free Spase Phone", dtInformation}}));

    Phone.Replies.push_back(Reply({0x80, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Item->GetFreeSpace("/a/"), INT32_MIN);
    Phone.Replies.push_back(Reply({0x00, 0x00}));  // short reply: the rest reads as 0
    EXPECT_EQ(Item->GetFreeSpace("/a"), 0);
    EXPECT_EQ(Phone.Sent[2].Payload(), (V{0x00, 0x00, 0x00, 0x0B, 0x00, 0x07, 0x00, 0x2F, 0x00,
                                          0x61, 0x00, 0x00, 0x00, 0x00}));
    Phone.Replies.push_back(Reply({0x00, 0x00, 0x10, 0x00, 0x77}));
    EXPECT_EQ(Item->GetFreeSpace("/abc/"), 4096);
    EXPECT_EQ(Phone.Sent[3].Payload(), (V{0x00, 0x00, 0x00, 0x0B, 0x00, 0x07, 0x00, 0x2F, 0x00,
                                          0x61, 0x00, 0x62, 0x00, 0x63}));

    const size_t sent = Phone.Sent.size();
    EXPECT_EQ(Item->GetFreeSpace(""), 0);
    EXPECT_EQ(Item->GetFreeSpace(std::string(1, '\0')), 0);
    EXPECT_EQ(Phone.Sent.size(), sent);

    Log.clear();
    Phone.DefaultReply.Ready = 0;
    EXPECT_EQ(Item->GetFreeSpace("/a/"), 0);
    EXPECT_EQ(
        Log,
        (std::vector<TLogLine>{{"Get Free Spase Phone Failed - Error Read Command", dtError}}));
}

TEST_F(P2KInfo, FileCount) {
    OpenQuietly();
    Phone.Replies.push_back(Reply({0x01, 0x02}));
    EXPECT_EQ(Item->GetFileCount("/a/mobile/picture/|*.jpg"), 258);
    V expected{0x00, 0x00, 0x00, 0x07};
    for (char c : std::string("/a/mobile/picture/")) {
        expected.insert(expected.end(), {0, uint8_t(c)});
    }
    expected.insert(expected.end(), {0xFF, 0xFE});
    for (char c : std::string("*.jpg")) {
        expected.insert(expected.end(), {0, uint8_t(c)});
    }
    expected.insert(expected.end(), {0x00, 0x00});
    EXPECT_EQ(Phone.Sent[0].Payload(), expected);
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"Get File Count Phone", dtInformation}}));

    Phone.Replies.push_back(Reply({0xFF, 0xFF}));
    EXPECT_EQ(Item->GetFileCount(""), 65535);
    EXPECT_EQ(Phone.Sent[1].Payload(), (V{0x00, 0x00, 0x00, 0x07, 0x00, 0x00}));
    Phone.Replies.push_back(Reply({0x00, 0xE0, 0x00}));
    Phone.Sent.clear();
    EXPECT_EQ(Item->GetFileCount("/\xB8|\xC0"), 0);
    EXPECT_EQ(Phone.Sent[0].Payload(), (V{0x00, 0x00, 0x00, 0x07, 0x00, 0x2F, 0x04, 0x51, 0xFF,
                                          0xFE, 0x00, 0xC0, 0x00, 0x00}));
    Phone.Replies.push_back(Reply({0x05}));
    EXPECT_EQ(Item->GetFileCount("/a"), 0);
    EXPECT_EQ(Log.back(), (TLogLine{"Get File Count Phone Failed - Error Recv Data", dtError}));

    Phone.DefaultReply.Write = TExchangeResult::Failed;
    EXPECT_EQ(Item->GetFileCount("/a"), 0);
    EXPECT_EQ(Log.back(), (TLogLine{"Get File Count Phone Failed - Error Read Command", dtError}));
}
