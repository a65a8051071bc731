#include <gtest/gtest.h>

#include "sim/RawHost.h"
#include "sim/VirtualPhone.h"

using namespace rawhost;

namespace {

constexpr uint16_t CmdReadSeem = 0x0020;
const Bytes ModelSeemRequest{0x01, 0x17, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};

TVirtualPhone phoneWithModel(const Bytes& Seem) {
    TVirtualPhoneState state;
    state.SetSeem(SeemModel, 1, Seem);
    return TVirtualPhone(state);
}

}  // namespace

TEST(VirtualPhoneWire, CommandWriteStallsOnAnyBadSetupOrHeaderField) {
    TVirtualPhone phone;
    Bytes good = commandData(7, CmdReadSeem, ModelSeemRequest);
    Bytes goodSetup = setup(0x41, 0x02, 0, 8, uint16_t(good.size()));
    EXPECT_TRUE(phone.ControlOut(goodSetup.data(), good.data(), good.size()));

    struct TCase {
        const char* What;
        Bytes Setup;
        Bytes Data;
    };
    Bytes badCount = good;
    badCount[5] = 9;  // header N disagrees with wLength - 8
    Bytes badZero = good;
    badZero[7] = 1;  // header bytes 6-7 must be zero
    std::vector<TCase> cases = {
        {"device-to-host type", setup(0xC1, 0x02, 0, 8, uint16_t(good.size())), good},
        {"standard request type", setup(0x01, 0x02, 0, 8, uint16_t(good.size())), good},
        {"request code 3", setup(0x41, 0x03, 0, 8, uint16_t(good.size())), good},
        {"non-zero value", setup(0x41, 0x02, 1, 8, uint16_t(good.size())), good},
        {"interface 0", setup(0x41, 0x02, 0, 0, uint16_t(good.size())), good},
        {"wLength one short", setup(0x41, 0x02, 0, 8, uint16_t(good.size() - 1)), good},
        {"header count", goodSetup, badCount},
        {"header tail", goodSetup, badZero},
        {"no header", setup(0x41, 0x02, 0, 8, 4), Bytes{0, 1, 0, 0x20}},
    };
    for (const TCase& c : cases) {
        TVirtualPhone fresh;
        EXPECT_FALSE(fresh.ControlOut(c.Setup.data(), c.Data.data(), c.Data.size())) << c.What;
        auto st = status(fresh);
        ASSERT_TRUE(st) << c.What;
        EXPECT_EQ((*st)[5], 0) << c.What << ": a refused write leaves no reply";
    }
    Bytes emptySeem = commandData(1, CmdReadSeem, {});
    EXPECT_TRUE(phone.ControlOut(setup(0x41, 0x02, 0, 8, 8).data(), emptySeem.data(), 8))
        << "an empty payload is a valid packet";
}

TEST(VirtualPhoneWire, StatusAndFetchLayout) {
    TVirtualPhone phone = phoneWithModel({'A', 'B', 'C'});
    auto idle = status(phone);
    ASSERT_TRUE(idle);
    EXPECT_EQ(*idle, Bytes(8, 0)) << "nothing waiting: count 0, size 0";
    EXPECT_FALSE(fetch(phone, 1, 22)) << "a fetch with nothing waiting stalls";

    ASSERT_TRUE(command(phone, 0x1234, CmdReadSeem, ModelSeemRequest));
    auto st = status(phone);
    ASSERT_TRUE(st);
    const size_t dataLength = 4;  // status byte + ABC
    EXPECT_EQ((*st)[5], 1);
    EXPECT_EQ(((*st)[6] << 8) | (*st)[7], int(dataLength + 12));
    uint16_t length = fetchLength(1, uint16_t(dataLength + 12));
    EXPECT_EQ(length, 18 + dataLength);

    EXPECT_FALSE(fetch(phone, 2, length)) << "wValue must be the reported count";
    EXPECT_FALSE(fetch(phone, 1, uint16_t(length + 1))) << "wLength must be exact";
    EXPECT_FALSE(fetch(phone, 1, uint16_t(length - 1)));
    auto r = fetch(phone, 1, length);
    ASSERT_TRUE(r);
    Bytes expected{
        0x00, 0x01, 0x00, uint8_t(14 + dataLength), 0x12, 0x34, 0x00, 0x20, 0,   0,  0, 0,
        0,    0,    0x00, uint8_t(dataLength),      0,    0,    0x00, 'A',  'B', 'C'};
    EXPECT_EQ(*r, expected);
    EXPECT_EQ(phone.Transactions(), 1u);
    EXPECT_EQ((*status(phone))[5], 0) << "the reply is gone once fetched";
    EXPECT_FALSE(fetch(phone, 1, length)) << "and cannot be fetched twice";

    ASSERT_EQ(phone.Received().size(), 1u);
    EXPECT_EQ(phone.Received()[0].PacketId, 0x1234);
    EXPECT_EQ(phone.Received()[0].Payload, ModelSeemRequest);
}

TEST(VirtualPhoneWire, BadReadSetupsStallAndCapacityBoundsEveryCopy) {
    TVirtualPhone phone;
    uint8_t out[16];
    for (const Bytes& s :
         {setup(0x41, 0x00, 0, 8, 8), setup(0xC1, 0x00, 1, 8, 8), setup(0xC1, 0x00, 0, 9, 8),
          setup(0xC1, 0x00, 0, 8, 9), setup(0xC1, 0x05, 0, 8, 8)}) {
        EXPECT_EQ(phone.ControlIn(s.data(), out, sizeof out), -1);
    }
    // A status read into 3 bytes gets 3; a fetch into 10 gets 10.
    ASSERT_TRUE(command(phone, 1, CmdReadSeem, ModelSeemRequest));
    Bytes small(3, 0xAA);
    Bytes st = setup(0xC1, 0x00, 0, 8, 8);
    EXPECT_EQ(phone.ControlIn(st.data(), small.data(), small.size()), 3);
    auto full = status(phone);
    uint16_t size = uint16_t(((*full)[6] << 8) | (*full)[7]);
    auto r = fetch(phone, 1, fetchLength(1, size), 10);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 10u);
}

TEST(VirtualPhoneWire, UnknownCommandAnswersAnErrorStatus) {
    TVirtualPhone phone;
    auto r = transact(phone, 0x0099, {});
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, Bytes{1});
    auto sub = fs(phone, 0x63);
    ASSERT_TRUE(sub);
    EXPECT_EQ(*sub, Bytes{1});
}

TEST(VirtualPhoneWire, ReadyCountFaults) {
    for (uint8_t count : {0, 3}) {
        TVirtualPhone phone;
        phone.Faults().ReadyCount = count;
        ASSERT_TRUE(command(phone, 1, CmdReadSeem, ModelSeemRequest));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ((*status(phone))[5], count);
        }
        EXPECT_EQ(phone.Transactions(), 0u);
    }
    // Count 2 is ready, and the size follows it so that the fetch still fits.
    TVirtualPhone phone = phoneWithModel({'A'});
    phone.Faults().ReadyCount = 2;
    auto r = transactRaw(phone, CmdReadSeem, ModelSeemRequest);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 20u);
    EXPECT_EQ((*r)[19], 'A');
}

TEST(VirtualPhoneWire, LengthFaults) {
    TVirtualPhone empty = phoneWithModel({'A', 'B'});
    empty.Faults().EmptyReplies = true;
    auto r = transactRaw(empty, CmdReadSeem, ModelSeemRequest);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 18u);
    EXPECT_EQ((*r)[15], 0);

    TVirtualPhone lying = phoneWithModel({'A', 'B'});
    lying.Faults().ClaimedLength = 0xFFFF;
    r = transactRaw(lying, CmdReadSeem, ModelSeemRequest);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 21u) << "the response holds only the real data";
    EXPECT_EQ((*r)[14], 0xFF);
    EXPECT_EQ((*r)[15], 0xFF);

    TVirtualPhone truncated = phoneWithModel({'A', 'B'});
    truncated.Faults().TruncateResponseTo = 10;
    r = transactRaw(truncated, CmdReadSeem, ModelSeemRequest);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 10u) << "the response ends before its length field";

    TVirtualPhone oversized = phoneWithModel({'A'});
    oversized.Faults().PadRepliesTo = 5000;
    r = transactRaw(oversized, CmdReadSeem, ModelSeemRequest);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 5018u);
    EXPECT_EQ(((*r)[14] << 8) | (*r)[15], 5000);
}

TEST(VirtualPhoneWire, FailingExchangesAndDisappearance) {
    TVirtualPhone writes;
    writes.Faults().FailWrites = true;
    EXPECT_FALSE(command(writes, 1, CmdReadSeem, ModelSeemRequest));

    TVirtualPhone reads;
    reads.Faults().FailReads = true;
    EXPECT_TRUE(command(reads, 1, CmdReadSeem, ModelSeemRequest));
    EXPECT_FALSE(status(reads));
    EXPECT_FALSE(fetch(reads, 1, 22));

    TVirtualPhone gone;
    gone.Faults().DisappearAfter = 2;
    EXPECT_TRUE(transact(gone, CmdReadSeem, ModelSeemRequest));
    // The second transaction is answered in full, then the phone is gone.
    ASSERT_TRUE(command(gone, 2, CmdReadSeem, ModelSeemRequest));
    EXPECT_FALSE(gone.Gone());
    auto st = status(gone);
    ASSERT_TRUE(st);
    uint16_t size = uint16_t(((*st)[6] << 8) | (*st)[7]);
    EXPECT_TRUE(fetch(gone, 1, fetchLength(1, size)));
    EXPECT_TRUE(gone.Gone());
    EXPECT_FALSE(command(gone, 3, CmdReadSeem, ModelSeemRequest));
    EXPECT_FALSE(status(gone));
}

TEST(VirtualPhoneWire, NewCommandReplacesAnUnfetchedReply) {
    TVirtualPhone phone = phoneWithModel({'A'});
    ASSERT_TRUE(command(phone, 1, CmdReadSeem, ModelSeemRequest));
    auto r = transactRaw(phone, CmdReadSeem, {0x09, 0x09, 0, 1, 0, 0, 0, 0}, 2);
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[5], 2) << "the answer is to the second packet";
    EXPECT_EQ((*r)[18], 1) << "an unknown seem answers a non-zero status";
    EXPECT_EQ(phone.Transactions(), 1u);
}

TEST(VirtualPhoneWire, RandomTransfersNeverCrashAndAlwaysGetAnAnswer) {
    // Random setups and data stages, half of them made to look like command
    // writes: every transfer is accepted or stalled, never read or written
    // out of bounds (the sanitizer build checks the latter).
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    s.Files["/a/x.jpg"].Data.assign(5000, 1);
    TVirtualPhone phone(s);
    phone.KeepReceived(false);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return uint8_t(seed >> 16);
    };
    for (int i = 0; i < 20000; ++i) {
        size_t length = next() % 64;
        Bytes data(length);
        for (uint8_t& b : data) {
            b = next() % 4 == 0 ? 0 : next();
        }
        if (i % 2 == 0 && length >= 12) {
            data[2] = 0x00;
            data[3] = next() % 2 == 0 ? 0x4A : 0x20;
            data[4] = uint8_t((length - 8) >> 8);
            data[5] = uint8_t(length - 8);
            data[6] = data[7] = 0;
            data[8] = data[9] = data[10] = 0;
            data[11] = next() % 12;
            Bytes st = setup(0x41, 0x02, 0, 8, uint16_t(length));
            phone.ControlOut(st.data(), data.data(), data.size());
        } else {
            Bytes st(8);
            for (uint8_t& b : st) {
                b = next();
            }
            phone.ControlOut(st.data(), data.data(), data.size());
        }
        auto status = rawhost::status(phone);
        ASSERT_TRUE(status);
        if ((*status)[5] == 1) {
            uint16_t size = uint16_t(((*status)[6] << 8) | (*status)[7]);
            size_t capacity = next();
            auto r = fetch(phone, 1, fetchLength(1, size), capacity);
            ASSERT_TRUE(r);
            EXPECT_LE(r->size(), capacity);
        }
    }
}
