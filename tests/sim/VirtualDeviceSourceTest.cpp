#include <gtest/gtest.h>
#include <poll.h>

#include <thread>

#include "sim/RawHost.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualP2KTransport.h"

using namespace rawhost;

namespace {

struct TRecordedEvent {
    TDeviceChange Change;
    std::string Name;
};

class TRecordingSink : public IDeviceChangeSink {
  public:
    void DeviceChanged(TDeviceChange Change, const std::string& Name) override {
        Events.push_back({Change, Name});
        if (OnEvent) {
            OnEvent();
        }
    }
    std::vector<TRecordedEvent> Events;
    std::function<void()> OnEvent;
};

bool readable(int Fd) {
    pollfd p{Fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

// The command packet as the program's driver buffer holds it: setup, header,
// payload, two trailing zero bytes.
Bytes packet(uint16_t Command, const Bytes& Payload) {
    Bytes d = commandData(1, Command, Payload);
    Bytes p = cat(setup(0x41, 0x02, 0, 8, uint16_t(d.size())), d);
    p.push_back(0);
    p.push_back(0);
    return p;
}

// One transaction through a channel; false when an exchange failed.
bool channelTransaction(IP2KChannel& Channel, Bytes& Response) {
    Bytes p = packet(0x0020, {0x01, 0x17, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00});
    if (Channel.ControlWrite(p.data(), p.size()) != TExchangeResult::Ok) {
        return false;
    }
    Bytes poll = cat(setup(0xC1, 0x00, 0, 8, 8), {0});
    Bytes out(4101, 0);
    if (Channel.ControlRead(poll.data(), out.data(), out.size()) != TExchangeResult::Ok) {
        return false;
    }
    uint8_t count = out[5];
    uint16_t size = uint16_t((out[6] << 8) | out[7]);
    Bytes fetchSetup = cat(setup(0xC1, 0x01, count, 8, fetchLength(count, size)), {0});
    if (Channel.ControlRead(fetchSetup.data(), out.data(), out.size()) != TExchangeResult::Ok) {
        return false;
    }
    Response = out;
    return true;
}

}  // namespace

TEST(VirtualDeviceSource, EnumeratesRecordsPerClass) {
    TVirtualDeviceSource source;
    EXPECT_TRUE(source.Enumerate(P2KInterfaceGuid).empty());
    EXPECT_EQ(source.PlugPhone("one", std::make_shared<TVirtualPhone>()), "virtual:p2k/one");
    EXPECT_EQ(source.PlugPhone("one", std::make_shared<TVirtualPhone>()), "")
        << "a name is plugged once";
    EXPECT_EQ(source.PlugPhone("null", nullptr), "");
    source.PlugPhone("two", std::make_shared<TVirtualPhone>());
    EXPECT_TRUE(source.PlugModem("m", "/dev/pts/77"));
    EXPECT_FALSE(source.PlugModem("m", "/dev/pts/78"));

    auto phones = source.Enumerate(P2KInterfaceGuid);
    ASSERT_EQ(phones.size(), 2u);
    EXPECT_EQ(phones[0].DevicePath, "virtual:p2k/one") << "plug order";
    EXPECT_EQ(phones[1].DevicePath, "virtual:p2k/two");
    EXPECT_NE(phones[0].DevInst, 0u);
    EXPECT_NE(phones[0].DevInst, phones[1].DevInst);
    const TDeviceProperties& p = phones[0].Properties;
    EXPECT_EQ(p.Description, "Test Command Interface (virtual phone)");
    // Never poses as a real phone: no vendor id, a virtual bus and maker.
    EXPECT_EQ(p.VendorId + p.ProductId, "");
    EXPECT_EQ(p.Bus, "virtual");
    EXPECT_NE(p.Manufacturer.find("virtual"), std::string::npos);
    EXPECT_EQ(p.BusNum, "0");

    auto modems = source.Enumerate(UsbDeviceInterfaceGuid);
    ASSERT_EQ(modems.size(), 1u);
    EXPECT_EQ(modems[0].DevicePath, "/dev/pts/77");
    EXPECT_EQ(modems[0].Properties.Description, "Motorola USB Modem (virtual)");
    EXPECT_EQ(modems[0].Properties.Subsystem, "tty");
    EXPECT_TRUE(source.Enumerate("{00000000-0000-0000-0000-000000000000}").empty());

    // The same name gets the same identity when it comes back.
    uint32_t inst = phones[0].DevInst;
    EXPECT_TRUE(source.UnplugPhone("one"));
    EXPECT_FALSE(source.UnplugPhone("one"));
    source.PlugPhone("one", std::make_shared<TVirtualPhone>());
    phones = source.Enumerate(P2KInterfaceGuid);
    ASSERT_EQ(phones.size(), 2u);
    EXPECT_EQ(phones[1].DevInst, inst);
}

TEST(VirtualDeviceSource, EventsWaitForDispatchAndReachTheirClass) {
    TVirtualDeviceSource source;
    TRecordingSink p2k, usb;
    ASSERT_GE(source.EventFd(), 0);
    EXPECT_TRUE(source.RegisterNotify(P2KInterfaceGuid, &p2k));
    EXPECT_TRUE(source.RegisterNotify(UsbDeviceInterfaceGuid, &usb));
    EXPECT_FALSE(source.RegisterNotify(P2KInterfaceGuid, nullptr));
    EXPECT_FALSE(readable(source.EventFd()));

    source.PlugPhone("p", std::make_shared<TVirtualPhone>());
    source.PlugModem("m", "/dev/pts/5");
    source.UnplugPhone("p");
    EXPECT_TRUE(p2k.Events.empty()) << "nothing is delivered before dispatch";
    EXPECT_TRUE(readable(source.EventFd()));
    source.DispatchPending();
    EXPECT_FALSE(readable(source.EventFd()));

    ASSERT_EQ(p2k.Events.size(), 2u);
    EXPECT_EQ(p2k.Events[0].Change, TDeviceChange::Arrival);
    EXPECT_EQ(p2k.Events[0].Name, "virtual:p2k/p");
    EXPECT_EQ(p2k.Events[1].Change, TDeviceChange::Removal);
    ASSERT_EQ(usb.Events.size(), 1u);
    EXPECT_EQ(usb.Events[0].Change, TDeviceChange::Arrival);
    EXPECT_EQ(usb.Events[0].Name, "/dev/pts/5");

    // A sink unregistered by an earlier handler of the same dispatch is not called.
    TRecordingSink second;
    source.RegisterNotify(P2KInterfaceGuid, &second);
    p2k.OnEvent = [&] { source.UnregisterNotify(&second); };
    source.PlugPhone("q", std::make_shared<TVirtualPhone>());
    source.DispatchPending();
    EXPECT_EQ(p2k.Events.size(), 3u);
    EXPECT_TRUE(second.Events.empty());
    source.UnregisterNotify(&p2k);
    source.UnplugPhone("q");
    source.DispatchPending();
    EXPECT_EQ(p2k.Events.size(), 3u);
}

TEST(VirtualDeviceSource, PlugFromAnotherThreadDispatchesOnTheCaller) {
    TVirtualDeviceSource source;
    TRecordingSink sink;
    source.RegisterNotify(P2KInterfaceGuid, &sink);
    std::thread::id dispatcher = std::this_thread::get_id();
    bool sameThread = true;
    sink.OnEvent = [&] { sameThread = sameThread && std::this_thread::get_id() == dispatcher; };
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) {
            source.PlugPhone("t" + std::to_string(i), std::make_shared<TVirtualPhone>());
        }
    });
    // Dispatch while the other thread plugs; stop once all arrived or the
    // descriptor stays quiet (an event that never shows would end it there).
    while (sink.Events.size() < 200) {
        pollfd p{source.EventFd(), POLLIN, 0};
        if (poll(&p, 1, 2000) != 1) {
            break;
        }
        source.DispatchPending();
    }
    other.join();
    source.DispatchPending();
    EXPECT_EQ(sink.Events.size(), 200u);
    EXPECT_TRUE(sameThread);
    EXPECT_EQ(source.Enumerate(P2KInterfaceGuid).size(), 200u);
}

TEST(VirtualP2KTransport, ChannelCarriesTheDriverBuffers) {
    TVirtualDeviceSource source;
    TVirtualP2KTransport transport(source);
    EXPECT_EQ(transport.Open("virtual:p2k/none"), nullptr);
    auto phone = std::make_shared<TVirtualPhone>();
    std::string path = source.PlugPhone("p", phone);
    auto channel = transport.Open(path);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(transport.OpenChannels(), 1);

    Bytes response;
    ASSERT_TRUE(channelTransaction(*channel, response));
    EXPECT_EQ(response[18], 0) << "the model seem's status";
    EXPECT_EQ(phone->Transactions(), 1u);

    // A buffer shorter than its setup's length is refused before the phone sees it.
    Bytes p = packet(0x0020, {0x01, 0x17, 0, 1, 0, 0, 0, 0});
    EXPECT_EQ(channel->ControlWrite(p.data(), p.size() - 3), TExchangeResult::Failed);
    EXPECT_EQ(channel->ControlWrite(p.data(), 7), TExchangeResult::Failed);
    EXPECT_EQ(phone->Received().size(), 1u);

    EXPECT_TRUE(channel->Close());
    EXPECT_FALSE(channel->Close());
    EXPECT_EQ(transport.OpenChannels(), 0);
    EXPECT_EQ(channel->ControlWrite(p.data(), p.size()), TExchangeResult::Failed);
}

TEST(VirtualP2KTransport, UnpluggedPhoneFailsEveryExchangeEvenWhenItReturns) {
    TVirtualDeviceSource source;
    TVirtualP2KTransport transport(source);
    auto phone = std::make_shared<TVirtualPhone>();
    std::string path = source.PlugPhone("p", phone);
    auto channel = transport.Open(path);

    // Unplugged in the middle of a transaction: the status poll fails.
    transport.SetExchangeHook(
        [&](TVirtualP2KTransport::TExchange Kind, const std::string& Path, uint64_t) {
            if (Kind == TVirtualP2KTransport::TExchange::Read && Path == path) {
                source.UnplugPhone("p");
            }
        });
    Bytes response;
    EXPECT_FALSE(channelTransaction(*channel, response));
    EXPECT_EQ(phone->Received().size(), 1u) << "the write got through before the unplug";
    transport.SetExchangeHook(nullptr);
    EXPECT_EQ(transport.Open(path), nullptr);

    source.PlugPhone("p", phone);
    EXPECT_FALSE(channelTransaction(*channel, response)) << "an old channel stays dead";
    auto fresh = transport.Open(path);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(channelTransaction(*fresh, response));
    EXPECT_GE(transport.Exchanges(), 5u);
}
