#include <gtest/gtest.h>

#include "support/P2KTestItem.h"

using test::Bytes;
using test::Reply;
using test::TLogLine;

namespace {
class P2KChannel : public ::testing::Test, public test::TP2KFixtureBase {};
using V = std::vector<uint8_t>;
}  // namespace

TEST_F(P2KChannel, OpenAndClose) {
    Phone.Present.clear();
    EXPECT_FALSE(Item->OpenPhone());
    EXPECT_FALSE(Item->IsOpen());
    Phone.Present.insert("/dev/p2k0");
    EXPECT_TRUE(Item->OpenPhone());
    EXPECT_TRUE(Item->OpenPhone());  // already open: no second open, no line
    EXPECT_EQ(Phone.Opens, 1);
    EXPECT_TRUE(Item->IsOpen());

    Phone.CloseFails = true;
    EXPECT_FALSE(Item->ClosePhone());
    EXPECT_TRUE(Item->IsOpen());  // handle kept when the close fails
    Phone.CloseFails = false;
    EXPECT_TRUE(Item->ClosePhone());
    EXPECT_FALSE(Item->ClosePhone());  // not open
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"Open Phone Failed", dtError},
                                          {"Open Phone", dtInformation},
                                          {"Close Phone Failed", dtError},
                                          {"Close Phone", dtInformation},
                                          {"Close Phone Failed", dtError}}));

    Item->OpenPhone();
    Log.clear();
    Item.reset();  // freeing an open item closes it
    EXPECT_EQ(Phone.Closes, 2);
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"Close Phone", dtInformation}}));
}

TEST_F(P2KChannel, PacketLayout) {
    OpenQuietly();
    uint8_t reply[8];
    uint16_t len = 99;
    ASSERT_TRUE(Item->SendCommand(0x0020, nullptr, 0, reply, sizeof reply, len));
    ASSERT_EQ(Phone.Sent.size(), 1u);
    // Setup little-endian (length 8), header big-endian (id 1, command, length 0).
    EXPECT_EQ(Phone.Sent[0].Packet, (V{0x41, 0x02, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00, 0x00, 0x01,
                                       0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(len, 0);

    Phone.Replies.push_back(Reply({1, 2, 3, 4, 5}));
    Phone.Replies.back().Ready = 2;
    const uint8_t payload[3] = {0xAA, 0xBB, 0xCC};
    ASSERT_TRUE(Item->SendCommand(0x004A, payload, 3, reply, sizeof reply, len));
    EXPECT_EQ(Phone.Sent[1].Packet,
              (V{0x41, 0x02, 0x00, 0x00, 0x08, 0x00, 0x0B, 0x00, 0x00, 0x02, 0x00,
                 0x4A, 0x00, 0x03, 0x00, 0x00, 0xAA, 0xBB, 0xCC, 0x00, 0x00}));
    EXPECT_EQ(len, 5);
    EXPECT_EQ(V(reply, reply + 5), (V{1, 2, 3, 4, 5}));
    EXPECT_EQ(Item->PacketId(), 2);

    // Status poll, then the fetch of 2 * ready + size + 4 bytes (size 13 here).
    ASSERT_EQ(Phone.ReadSetups.size(), 4u);
    EXPECT_EQ(Phone.ReadSetups[2], (V{0xC1, 0x00, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00, 0x00}));
    EXPECT_EQ(Phone.ReadSetups[3], (V{0xC1, 0x01, 0x02, 0x00, 0x08, 0x00, 21, 0x00, 0x00}));
}

TEST_F(P2KChannel, PayloadLimits) {
    OpenQuietly();
    std::vector<uint8_t> big(P2KMaxPayload + 1, 0x55);
    uint16_t len = 0;
    EXPECT_FALSE(
        Item->SendCommand(0x004A, big.data(), static_cast<uint16_t>(big.size()), nullptr, 0, len));
    EXPECT_TRUE(Phone.Sent.empty());  // refused without touching the phone
    EXPECT_EQ(Item->PacketId(), 0);

    EXPECT_TRUE(Item->SendCommand(0x004A, big.data(), static_cast<uint16_t>(P2KMaxPayload), nullptr,
                                  0, len));
    ASSERT_EQ(Phone.Sent.size(), 1u);
    EXPECT_EQ(Phone.Sent[0].Packet.size(), P2KMaxPayload + 18);
    EXPECT_EQ(Phone.Sent[0].Packet[6], (P2KMaxPayload + 8) & 0xFF);
    EXPECT_EQ(Phone.Sent[0].Packet[7], (P2KMaxPayload + 8) >> 8);
    EXPECT_EQ(Phone.Sent[0].Payload(), std::vector<uint8_t>(P2KMaxPayload, 0x55));
}

TEST_F(P2KChannel, PacketIdCountsAcrossOpensAndWraps) {
    uint16_t len = 0;
    EXPECT_FALSE(Item->SendCommand(0x20, nullptr, 0, nullptr, 0, len));  // closed: write fails
    EXPECT_EQ(Item->PacketId(), 1);
    OpenQuietly();
    for (int i = 0; i < 65535; ++i) {
        Item->SendCommand(0x20, nullptr, 0, nullptr, 0, len);
    }
    EXPECT_EQ(Item->PacketId(), 0);  // 65536th transaction: the counter wraps
    Item->ClosePhone();
    Item->OpenPhone();
    Item->SendCommand(0x20, nullptr, 0, nullptr, 0, len);  // 65537th transaction
    EXPECT_EQ(Item->PacketId(), 1);
    EXPECT_EQ(Phone.Sent[Phone.Sent.size() - 3].PacketId(), 0xFFFF);
    EXPECT_EQ(Phone.Sent[Phone.Sent.size() - 2].PacketId(), 0x0000);
    EXPECT_EQ(Phone.Sent.back().PacketId(), 0x0001);
}

TEST_F(P2KChannel, PollGivesUpAfterDeadline) {
    OpenQuietly();
    uint16_t len = 7;
    for (uint8_t ready : {0, 3}) {
        Phone.ReadSetups.clear();
        Phone.DefaultReply.Ready = ready;
        const uint32_t start = Clock.Now();
        EXPECT_FALSE(Item->SendCommand(0x20, nullptr, 0, nullptr, 0, len));
        EXPECT_GT(Clock.Now() - start, 2000u);
        EXPECT_LT(Clock.Now() - start, 2010u);
        EXPECT_GT(Phone.ReadSetups.size(), 1000u);
        for (const auto& s : Phone.ReadSetups) {
            EXPECT_EQ(s[1], 0x00);  // never fetched
        }
    }
    // A failing status read is no reply either; the poll goes on to the end.
    Phone.DefaultReply.Ready = 1;
    Phone.DefaultReply.Status = TExchangeResult::TimedOut;
    Phone.ReadSetups.clear();
    EXPECT_FALSE(Item->SendCommand(0x20, nullptr, 0, nullptr, 0, len));
    EXPECT_GT(Phone.ReadSetups.size(), 1000u);

    // The tick count wrapping inside the window neither ends nor prolongs it.
    Phone.DefaultReply.Status = TExchangeResult::Ok;
    Phone.DefaultReply.Ready = 0;
    Phone.ReadSetups.clear();
    Clock.SetNow(0xFFFFFF00u);
    EXPECT_FALSE(Item->SendCommand(0x20, nullptr, 0, nullptr, 0, len));
    EXPECT_GT(Phone.ReadSetups.size(), 1000u);
    EXPECT_LT(Phone.ReadSetups.size(), 2100u);
}

TEST_F(P2KChannel, WriteOutcomes) {
    OpenQuietly();
    uint8_t reply[4] = {};
    uint16_t len = 0;
    auto r = Reply({9});
    r.Write = TExchangeResult::Failed;
    Phone.Replies.push_back(r);
    EXPECT_FALSE(Item->SendCommand(0x20, nullptr, 0, reply, sizeof reply, len));
    EXPECT_TRUE(Phone.ReadSetups.empty());

    r.Write = TExchangeResult::TimedOut;  // counts as sent
    Phone.Replies.push_back(r);
    EXPECT_TRUE(Item->SendCommand(0x20, nullptr, 0, reply, sizeof reply, len));
    EXPECT_EQ(len, 1);
    EXPECT_EQ(reply[0], 9);
}

TEST_F(P2KChannel, ReplyLengthsStayInBounds) {
    OpenQuietly();
    uint16_t len = 0;

    // Length 0: success, nothing copied.
    std::vector<uint8_t> reply(16, 0xAA);
    Phone.Replies.push_back(Reply({}));
    EXPECT_TRUE(Item->SendCommand(0x20, nullptr, 0, reply.data(), reply.size(), len));
    EXPECT_EQ(len, 0);
    EXPECT_EQ(reply, std::vector<uint8_t>(16, 0xAA));

    // A length field that claims more than came: cut to the caller's buffer.
    auto liar = Reply({1, 2, 3});
    liar.LengthField = 0xFFFF;
    Phone.Replies.push_back(liar);
    EXPECT_TRUE(Item->SendCommand(0x20, nullptr, 0, reply.data(), reply.size(), len));
    EXPECT_EQ(len, 16);
    EXPECT_EQ(reply[2], 3);
    EXPECT_EQ(reply[3], 0);

    // ... and to what the response buffer carries.
    std::vector<uint8_t> large(5000, 0xAA);
    Phone.Replies.push_back(liar);
    EXPECT_TRUE(Item->SendCommand(0x20, nullptr, 0, large.data(), large.size(), len));
    EXPECT_EQ(len, P2KMaxReplyData);
    EXPECT_EQ(large[P2KMaxReplyData - 1], 0);
    EXPECT_EQ(large[P2KMaxReplyData], 0xAA);

    // No buffer at all.
    Phone.Replies.push_back(liar);
    EXPECT_TRUE(Item->SendCommand(0x20, nullptr, 0, nullptr, 0, len));
    EXPECT_EQ(len, 0);

    // A failed or timed-out fetch fails the transaction instead of passing
    // an empty buffer off as the phone's answer.
    for (auto result : {TExchangeResult::Failed, TExchangeResult::TimedOut}) {
        auto lost = Reply({1, 2});
        lost.Fetch = result;
        Phone.Replies.push_back(lost);
        EXPECT_FALSE(Item->SendCommand(0x20, nullptr, 0, reply.data(), reply.size(), len));
        EXPECT_EQ(len, 0);
    }
}
