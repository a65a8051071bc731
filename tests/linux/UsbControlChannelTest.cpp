#include <gtest/gtest.h>
#include <libusb.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "linux/LibusbP2KTransport.h"
#include "linux/UsbControlChannel.h"

namespace {

// Records every transfer and answers with a scripted result and data.
struct TFakePipe : IUsbControlPipe {
    struct TCall {
        TSetupFields Setup;
        std::vector<uint8_t> Data;
        unsigned Timeout;
    };
    std::vector<TCall>* Calls;
    int Result = 0;  // < 0: error; otherwise bytes moved (capped at the length asked)
    std::vector<uint8_t> Reply;
    bool UseReplySize = false;  // report Reply.size() even when above the length asked
    int* Closes;

    TFakePipe(std::vector<TCall>* C, int* Cl) : Calls(C), Closes(Cl) {}
    int Transfer(const TSetupFields& S, uint8_t* Data, uint16_t Length, unsigned T) override {
        Calls->push_back({S, std::vector<uint8_t>(Data, Data + Length), T});
        if (Result < 0) {
            return Result;
        }
        size_t N = std::min<size_t>(Reply.size(), Length);
        if (S.RequestType & 0x80) {
            std::copy(Reply.begin(), Reply.begin() + std::ptrdiff_t(N), Data);
        }
        if (UseReplySize) {
            return static_cast<int>(Reply.size());
        }
        return (S.RequestType & 0x80) ? static_cast<int>(N) : (Result ? Result : Length);
    }
    bool Close() override {
        ++*Closes;
        return true;
    }
    bool Present() const override { return Attached; }
    bool Attached = true;
};

struct ChannelFixture : ::testing::Test {
    std::vector<TFakePipe::TCall> Calls;
    int Closes = 0;
    TFakePipe* Pipe = nullptr;
    std::unique_ptr<TUsbControlChannel> Channel;
    void SetUp() override {
        auto P = std::make_unique<TFakePipe>(&Calls, &Closes);
        Pipe = P.get();
        Channel = std::make_unique<TUsbControlChannel>(std::move(P));
    }
};

}  // namespace

TEST(UsbControlChannelUnits, SetupDecodingAndErrorMapping) {
    const uint8_t Fetch[9] = {0xC1, 0x01, 0x01, 0x00, 0x08, 0x00, 0x16, 0x10, 0x00};
    TSetupFields S = DecodeSetup(Fetch);
    EXPECT_EQ(S.RequestType, 0xC1);
    EXPECT_EQ(S.Request, 0x01);
    EXPECT_EQ(S.Value, 0x0001);
    EXPECT_EQ(S.Index, 0x0008);
    EXPECT_EQ(S.Length, 0x1016);

    EXPECT_EQ(MapLibusbResult(0), TExchangeResult::Ok);
    EXPECT_EQ(MapLibusbResult(4096), TExchangeResult::Ok);
    EXPECT_EQ(MapLibusbResult(LIBUSB_ERROR_TIMEOUT), TExchangeResult::TimedOut);
    for (int E :
         {LIBUSB_ERROR_PIPE, LIBUSB_ERROR_NO_DEVICE, LIBUSB_ERROR_IO, LIBUSB_ERROR_INVALID_PARAM,
          LIBUSB_ERROR_OVERFLOW, LIBUSB_ERROR_BUSY, LIBUSB_ERROR_ACCESS, LIBUSB_ERROR_OTHER}) {
        EXPECT_EQ(MapLibusbResult(E), TExchangeResult::Failed) << E;
    }
}

// Only an interface another program claimed (usbfs, not a kernel driver)
// keeps the phone from being opened.
TEST(UsbControlChannelUnits, ClaimOutcomes) {
    using C = TClaimOutcome;
    const struct {
        int Claim, KernelDriver;
        C Outcome;
    } Cases[] = {
        {0, 0, C::Claimed},
        {LIBUSB_ERROR_BUSY, 0, C::HeldElsewhere},
        {LIBUSB_ERROR_BUSY, 1, C::Unclaimed},
        {LIBUSB_ERROR_BUSY, LIBUSB_ERROR_NO_DEVICE, C::Unclaimed},
        {LIBUSB_ERROR_NOT_SUPPORTED, 0, C::Unclaimed},
        {LIBUSB_ERROR_NOT_FOUND, 0, C::Unclaimed},
    };
    for (const auto& c : Cases) {
        EXPECT_EQ(ClassifyClaim(c.Claim, c.KernelDriver), c.Outcome)
            << c.Claim << " " << c.KernelDriver;
    }
}

TEST_F(ChannelFixture, CommandWriteSendsTheAnnouncedDataStage) {
    // An empty-payload command: 18 bytes, setup length 8; the two trailing
    // zero bytes are not part of the data stage.
    const uint8_t Packet[18] = {0x41, 0x02, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00, 0x00,
                                0x01, 0x00, 0x4A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Channel->ControlWrite(Packet, sizeof Packet), TExchangeResult::Ok);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].Setup.RequestType, 0x41);
    EXPECT_EQ(Calls[0].Setup.Request, 0x02);
    EXPECT_EQ(Calls[0].Setup.Index, 8);
    EXPECT_EQ(Calls[0].Timeout, P2KExchangeTimeoutMs);
    EXPECT_EQ(Calls[0].Data, std::vector<uint8_t>(Packet + 8, Packet + 16));

    // Refused without reaching the device: shorter than a setup, a data
    // stage longer than the bytes given, a device-to-host request.
    EXPECT_EQ(Channel->ControlWrite(Packet, 7), TExchangeResult::Failed);
    EXPECT_EQ(Channel->ControlWrite(Packet, 15), TExchangeResult::Failed);
    EXPECT_EQ(Channel->ControlWrite(nullptr, 18), TExchangeResult::Failed);
    uint8_t In[18];
    std::copy(Packet, Packet + 18, In);
    In[0] = 0xC1;
    EXPECT_EQ(Channel->ControlWrite(In, sizeof In), TExchangeResult::Failed);
    EXPECT_EQ(Calls.size(), 1u);

    // The device took part of it, timed out, stalled.
    Pipe->Result = 3;
    EXPECT_EQ(Channel->ControlWrite(Packet, sizeof Packet), TExchangeResult::Failed);
    Pipe->Result = LIBUSB_ERROR_TIMEOUT;
    EXPECT_EQ(Channel->ControlWrite(Packet, sizeof Packet), TExchangeResult::TimedOut);
    Pipe->Result = LIBUSB_ERROR_PIPE;
    EXPECT_EQ(Channel->ControlWrite(Packet, sizeof Packet), TExchangeResult::Failed);
}

TEST_F(ChannelFixture, TransferLimitOfUsbfs) {
    // 4096 data bytes pass in both directions; 4097 fail before the device.
    std::vector<uint8_t> Big(8 + 4097, 0xAB);
    Big[0] = 0x41;
    Big[1] = 0x02;
    Big[6] = 0x00;
    Big[7] = 0x10;  // 4096
    EXPECT_EQ(Channel->ControlWrite(Big.data(), Big.size()), TExchangeResult::Ok);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].Data.size(), 4096u);
    Big[6] = 0x01;  // 4097
    EXPECT_EQ(Channel->ControlWrite(Big.data(), Big.size()), TExchangeResult::Failed);
    EXPECT_EQ(Calls.size(), 1u);

    std::vector<uint8_t> Out(4101, 0);
    Pipe->Reply.assign(4096, 0x5A);
    uint8_t Fetch[9] = {0xC1, 0x01, 0x01, 0x00, 0x08, 0x00, 0x00, 0x10, 0x00};
    EXPECT_EQ(Channel->ControlRead(Fetch, Out.data(), Out.size()), TExchangeResult::Ok);
    EXPECT_EQ(Out[4095], 0x5A);
    EXPECT_EQ(Out[4096], 0x00);
    Fetch[6] = 0x01;  // 4097: a reply of 4079 data bytes cannot come through
    std::fill(Out.begin(), Out.end(), 0);
    EXPECT_EQ(Channel->ControlRead(Fetch, Out.data(), Out.size()), TExchangeResult::Failed);
    EXPECT_EQ(Out[0], 0x00);
    EXPECT_EQ(Calls.size(), 2u);
    Fetch[6] = 0xFF;
    Fetch[7] = 0xFF;  // a lying size: 65535
    EXPECT_EQ(Channel->ControlRead(Fetch, Out.data(), Out.size()), TExchangeResult::Failed);
}

TEST_F(ChannelFixture, ReadNeverWritesPastTheCallersBuffer) {
    const uint8_t Poll[9] = {0xC1, 0x00, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00, 0x00};
    uint8_t Out[8] = {};
    Pipe->Reply = {0, 0, 0, 0, 0, 1, 0x00, 0x0C};
    EXPECT_EQ(Channel->ControlRead(Poll, Out, sizeof Out), TExchangeResult::Ok);
    EXPECT_EQ(Out[5], 1);
    EXPECT_EQ(Out[7], 0x0C);

    // The setup asks for more than the caller holds: guard bytes stay intact.
    std::vector<uint8_t> Guarded(16, 0xEE);
    const uint8_t Fetch[9] = {0xC1, 0x01, 0x01, 0x00, 0x08, 0x00, 0x40, 0x00, 0x00};
    Pipe->Reply.assign(64, 0x11);
    EXPECT_EQ(Channel->ControlRead(Fetch, Guarded.data(), 8), TExchangeResult::Ok);
    EXPECT_EQ(Guarded[7], 0x11);
    EXPECT_EQ(Guarded[8], 0xEE);

    // A pipe claiming more than it was asked for still copies only what was asked.
    Pipe->UseReplySize = true;
    Pipe->Reply.assign(100, 0x22);
    std::vector<uint8_t> Big(4101, 0);
    EXPECT_EQ(Channel->ControlRead(Fetch, Big.data(), Big.size()), TExchangeResult::Ok);
    EXPECT_EQ(Big[63], 0x22);
    EXPECT_EQ(Big[64], 0x00);
    Pipe->UseReplySize = false;

    // A short reply fills only its bytes; errors leave the buffer alone.
    std::fill(Big.begin(), Big.end(), 0);
    Pipe->Reply.assign(3, 0x33);
    EXPECT_EQ(Channel->ControlRead(Fetch, Big.data(), Big.size()), TExchangeResult::Ok);
    EXPECT_EQ(Big[2], 0x33);
    EXPECT_EQ(Big[3], 0x00);
    Pipe->Result = LIBUSB_ERROR_NO_DEVICE;
    EXPECT_EQ(Channel->ControlRead(Fetch, Big.data(), Big.size()), TExchangeResult::Failed);
    EXPECT_EQ(Big[3], 0x00);

    // A host-to-device setup is no read.
    const uint8_t Out2[9] = {0x41, 0x02, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Channel->ControlRead(Out2, Big.data(), Big.size()), TExchangeResult::Failed);
}

TEST_F(ChannelFixture, CloseOnceThenEverythingFails) {
    EXPECT_TRUE(Channel->Close());
    EXPECT_EQ(Closes, 1);
    EXPECT_FALSE(Channel->Close());
    const uint8_t Poll[9] = {0xC1, 0x00, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00, 0x00};
    uint8_t Out[8];
    EXPECT_EQ(Channel->ControlRead(Poll, Out, sizeof Out), TExchangeResult::Failed);
    Channel.reset();
    EXPECT_EQ(Closes, 1);
}

TEST(LibusbTransport, BusAddressFromSysfsAndMissingDevices) {
    namespace fs = std::filesystem;
    fs::path Root = fs::temp_directory_path() / ("snaprill-sysfs-" + std::to_string(::getpid()));
    fs::create_directories(Root / "1-4" / "1-4:1.8");
    auto write = [&](const fs::path& P, const char* Text) { std::ofstream(P) << Text; };
    write(Root / "1-4" / "busnum", "3\n");
    write(Root / "1-4" / "devnum", "17\n");
    uint8_t Bus = 0, Address = 0;
    EXPECT_TRUE(ReadUsbBusAddress((Root / "1-4" / "1-4:1.8").string(), Bus, Address));
    EXPECT_EQ(Bus, 3);
    EXPECT_EQ(Address, 17);
    EXPECT_TRUE(ReadUsbBusAddress((Root / "1-4" / "1-4:1.8").string() + "/", Bus, Address));

    write(Root / "1-4" / "devnum", "17x\n");
    EXPECT_FALSE(ReadUsbBusAddress((Root / "1-4" / "1-4:1.8").string(), Bus, Address));
    write(Root / "1-4" / "devnum", "300\n");
    EXPECT_FALSE(ReadUsbBusAddress((Root / "1-4" / "1-4:1.8").string(), Bus, Address));
    EXPECT_FALSE(ReadUsbBusAddress((Root / "gone" / "1-9:1.8").string(), Bus, Address));
    EXPECT_FALSE(ReadUsbBusAddress("", Bus, Address));
    EXPECT_FALSE(ReadUsbBusAddress("/", Bus, Address));
    fs::remove_all(Root);

    // A gone phone cannot be opened, whether or not libusb started here.
    TLibusbP2KTransport Transport;
    EXPECT_EQ(Transport.Open("/sys/devices/nowhere/1-1/1-1:1.8"), nullptr);
    EXPECT_EQ(Transport.Open(""), nullptr);
}
