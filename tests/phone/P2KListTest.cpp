#include <gtest/gtest.h>

#include <stdexcept>

#include "ComponentBanner.h"
#include "MotoP2KMode.h"
#include "backend/Clock.h"
#include "support/FakeDeviceSource.h"
#include "support/RecordingFiles.h"
#include "support/ScriptedChannel.h"
#include "support/TempDir.h"

using test::P2KInterface;

namespace {

class P2KList : public ::testing::Test {
  protected:
    test::TFakeDeviceSource Devices;
    test::TScriptedPhone Phone;
    test::TNoSerialPorts Serial;
    TFakeClock Clock;
    test::TRecordingFiles Files;
    TPhoneBackend Backend{Devices, Phone, Serial, Clock, Files};
    std::vector<std::string> Log;

    void Plug(const std::vector<uint32_t>& Ids) {
        auto& list = Devices.Present[P2KInterfaceGuid];
        list.clear();
        for (uint32_t id : Ids) {
            list.push_back(P2KInterface(id, "/dev/p2k" + std::to_string(id)));
            Phone.Present.insert("/dev/p2k" + std::to_string(id));
        }
    }
    TP2KDebugEvent Logger() {
        return [this](TMotoP2KModemItem* I, const std::string& T, TDebugType, bool) {
            Log.push_back(std::to_string(I->ModemInfo().DevInst) + " " + T);
        };
    }
    static std::vector<uint32_t> Ids(TMotoP2KModemList& L) {
        std::vector<uint32_t> out;
        out.reserve(static_cast<size_t>(L.Count()));
        for (int i = 0; i < L.Count(); ++i) {
            out.push_back(L.Items(i)->ModemInfo().DevInst);
        }
        return out;
    }
};

}  // namespace

TEST_F(P2KList, ArrivalAndRemoval) {
    TMotoP2KMode mode(Backend);
    EXPECT_EQ(mode.DeviseList().Count(), 0);
    int arrivals = 0, removals = 0;
    mode.OnArrival = [&](void* s) {
        EXPECT_EQ(s, &mode);
        EXPECT_EQ(mode.DeviseList().Count(), 2);  // the list is up to date first
        ++arrivals;
    };
    mode.OnRemove = [&](void*) { ++removals; };
    mode.SetOnDebug(Logger());

    Plug({10, 20});
    Devices.Fire(TDeviceChange::Arrival);
    EXPECT_EQ(arrivals, 1);
    ASSERT_EQ(Ids(mode.DeviseList()), (std::vector<uint32_t>{10, 20}));
    // Items added by the rescan got the handler.
    auto* first = mode.DeviseList().Items(0);
    auto* second = mode.DeviseList().Items(1);
    first->OpenPhone();
    second->OpenPhone();
    uint16_t len = 0;
    second->SendCommand(0x20, nullptr, 0, nullptr, 0, len);

    Plug({20});
    Devices.Fire(TDeviceChange::Removal);
    EXPECT_EQ(removals, 1);
    ASSERT_EQ(mode.DeviseList().Count(), 1);
    EXPECT_EQ(mode.DeviseList().Items(0), second);  // same item, same place
    EXPECT_TRUE(second->IsOpen());
    EXPECT_EQ(second->PacketId(), 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"10 Open Phone", "20 Open Phone", "10 Close Phone"}));
}

TEST_F(P2KList, RescanRemovesEveryGoneItemAndNeverAddsTwice) {
    Plug({1, 2, 3, 4});
    TMotoP2KModemList list(Backend);
    ASSERT_EQ(Ids(list), (std::vector<uint32_t>{1, 2, 3, 4}));
    auto* two = list.Items(1);

    Plug({4, 2, 5});  // 1 and 3 gone, order changed, 5 new
    list.Rescan();
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{2, 4, 5}));
    EXPECT_EQ(list.Items(0), two);
    EXPECT_FALSE(list.Items(2)->IsOpen());
    list.Rescan();
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{2, 4, 5}));

    EXPECT_EQ(list.FindDevise(4), list.Items(1));
    EXPECT_EQ(list.FindDevise(1), nullptr);
    TUSBDevise dup;
    dup.DevInst = 5;
    EXPECT_EQ(list.AddDevise(dup), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);
    EXPECT_EQ(list.Items(3), nullptr);
    EXPECT_EQ(list.Hold(3), nullptr);
    EXPECT_EQ(list.Hold(0).get(), two);

    Plug({});
    list.Rescan();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(P2KList, OtherEventsCauseNoRescan) {
    Plug({1});
    TMotoP2KMode mode(Backend);
    int events = 0;
    mode.OnArrival = [&](void*) { ++events; };
    mode.OnRemove = [&](void*) { ++events; };
    const int before = Devices.Enumerations;
    Plug({1, 2});
    TDevBroadcastHeader iface, volume, port;
    volume.DeviceType = DBT_DEVTYP_VOLUME;
    port.DeviceType = DBT_DEVTYP_PORT;
    mode.DeviceChangeMessage(DBT_DEVICEARRIVAL, &volume);
    mode.DeviceChangeMessage(DBT_DEVICEREMOVECOMPLETE, &port);
    mode.DeviceChangeMessage(DBT_DEVNODES_CHANGED, &iface);
    mode.DeviceChangeMessage(DBT_DEVICEQUERYREMOVE, &iface);
    EXPECT_EQ(Devices.Enumerations, before);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(mode.DeviseList().Count(), 1);
}

TEST_F(P2KList, HandlersAboutAndRegistration) {
    Plug({1});
    {
        TMotoP2KMode mode(Backend);
        ASSERT_EQ(Devices.Sinks.size(), 1u);
        EXPECT_EQ(Devices.Sinks[0].first, P2KInterfaceGuid);

        mode.OnArrival = [](void*) { throw std::runtime_error("handler"); };
        Plug({1, 2});
        EXPECT_NO_THROW(Devices.Fire(TDeviceChange::Arrival));
        EXPECT_EQ(mode.DeviseList().Count(), 2);

        // An item added by a rescan the application runs has no handler until
        // the handler is applied again.
        mode.SetOnDebug(Logger());
        EXPECT_TRUE(mode.DeviseList().Items(1)->OnDebugEvent());
        Plug({1, 2, 3});
        mode.DeviseList().Rescan();
        EXPECT_FALSE(mode.DeviseList().Items(2)->OnDebugEvent());
        mode.SetOnDebug(nullptr);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FALSE(mode.DeviseList().Items(i)->OnDebugEvent());
        }

        const std::string banner = mode.About();
        EXPECT_EQ(banner, ComponentBanner());
        EXPECT_NE(banner.find('\xE0'), std::string::npos);  // Russian text in code page 1251
        mode.SetAbout("changed");
        EXPECT_EQ(mode.About(), banner);
    }
    EXPECT_TRUE(Devices.Sinks.empty());  // unregistered with the component's end
}

// A phone unplugged during a download: the progress callback runs the event
// loop, which rescans and drops the item from the list. The item must survive
// until the download returns, then close its handle.
TEST_F(P2KList, ItemInUseOutlivesRescan) {
    test::TTempDir dir;
    Plug({1, 2});
    TMotoP2KMode mode(Backend);
    mode.SetOnDebug(Logger());
    int removals = 0;
    mode.OnRemove = [&](void*) { ++removals; };
    std::shared_ptr<TMotoP2KModemItem> item = mode.DeviseList().Hold(0);
    TMotoP2KModemItem* raw = item.get();
    item.reset();  // only the list and the running operation hold it now
    ASSERT_TRUE(raw->OpenPhone());

    Phone.Handler = [](const test::TSentCommand& c) {
        auto p = c.Payload();
        if (p[3] == 0x01) {
            return test::Reply(std::vector<uint8_t>(p[6] << 8 | p[7], 0x42));
        }
        return test::Reply({});
    };
    int calls = 0;
    auto progress = [&](int32_t Done, int32_t) {
        if (++calls == 1) {
            Plug({2});
            Devices.Fire(TDeviceChange::Removal);
            EXPECT_EQ(mode.DeviseList().Count(), 1);
            EXPECT_EQ(mode.DeviseList().FindDevise(1), nullptr);
            EXPECT_TRUE(raw->IsOpen());  // not freed under the running operation
        }
        return Done < 3000;
    };
    Log.clear();
    EXPECT_FALSE(raw->DownloadFile("/a/x.jpg", dir.Path("x.jpg"), 1000, 0, progress));
    ASSERT_FALSE(Files.Log.empty());  // the local steps went through the backend's files
    EXPECT_EQ(Files.Log.back(), "unlink " + Files.Created);
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(calls, 3);
    // The last lines: the download's own, then the handle closed as the item
    // is finally freed.
    ASSERT_GE(Log.size(), 2u);
    EXPECT_EQ(Log[Log.size() - 2], "1 File Download Phone");
    EXPECT_EQ(Log.back(), "1 Close Phone");
    EXPECT_EQ(mode.DeviseList().Count(), 1);
}

// A phone held past its component (a mount's hold outlives the session that
// made the component) closes without calling the gone owner's handler.
TEST_F(P2KList, ItemHeldPastTheComponentClosesSilently) {
    Plug({1});
    std::shared_ptr<TMotoP2KModemItem> item;
    {
        TMotoP2KMode mode(Backend);
        mode.SetOnDebug(Logger());
        item = mode.DeviseList().Hold(0);
        ASSERT_TRUE(item->OpenPhone());
    }
    Log.clear();
    EXPECT_FALSE(item->OnDebugEvent());
    item.reset();
    EXPECT_TRUE(Log.empty());
}
