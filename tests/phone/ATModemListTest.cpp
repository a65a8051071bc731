// The AT modem list and component over a scripted device source; the modems
// are pseudo-terminals opened through the termios port.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ATTestSupport.h"
#include "ComponentBanner.h"
#include "linux/TermiosSerialPort.h"
#include "sim/VirtualModem.h"

namespace {

using Texts = std::vector<std::string>;

struct ListRig {
    TScriptedDeviceSource Source;
    TNoP2KTransport P2K;
    TTermiosSerialPorts Serial;
    TFakeClock Clock;
    TPhoneBackend Backend{Source, P2K, Serial, Clock};
    TVirtualModem ModemA, ModemB, ModemC;

    void plugModem(uint32_t DevInst, const TVirtualModem& Modem,
                   const std::string& Desc = "Motorola USB Modem") {
        Source.Add(UsbDeviceInterfaceGuid, DevInst, Modem.SlavePath(), Desc);
    }
};

}  // namespace

TEST(ATModemList, RescanFollowsTheBus) {
    ListRig rig;
    TMotoATModemList list(rig.Backend);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Items(0), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);
    EXPECT_EQ(list.Hold(0), nullptr);

    // Only modems of the USB device class whose description holds the filter,
    // in any letter case, are listed.
    rig.plugModem(10, rig.ModemA, "Acme MOTOROLA usb MODEM #2");
    rig.Source.Add(UsbDeviceInterfaceGuid, 11, "/dev/sdb", "USB Mass Storage Device");
    rig.Source.Add(P2KInterfaceGuid, 12, "virtual:p2k/x", "Motorola USB Modem");
    rig.plugModem(13, rig.ModemB);
    list.Rescan();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0)->ModemInfo().DevInst, 10u);
    EXPECT_EQ(list.Items(1)->ModemInfo().DevicePath, rig.ModemB.SlavePath());
    EXPECT_EQ(list.Items(2), nullptr);
    EXPECT_EQ(list.FindDevise(13), list.Items(1));
    EXPECT_EQ(list.FindDevise(11), nullptr);

    // Survivors keep place, open port and time-out; gone ones are closed and
    // dropped; new ones are appended, closed and with no time-out.
    TATLog log;
    for (int i = 0; i < 2; ++i) {
        list.Items(i)->SetOnDebugEvent(log.Handler());
    }
    ASSERT_TRUE(list.Items(0)->OpenPhone());
    ASSERT_TRUE(list.Items(1)->OpenPhone());
    list.Items(1)->SetTimeOut(300);
    TMotoATModemItem* survivor = list.Items(1);
    rig.Source.Remove(10);
    rig.plugModem(14, rig.ModemC);
    log.Clear();
    list.Rescan();
    EXPECT_EQ(log.Texts(), Texts{"Phone Close"});
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0), survivor);
    EXPECT_TRUE(survivor->IsOpen());
    EXPECT_EQ(survivor->TimeOut(), 300);
    EXPECT_EQ(list.Items(1)->ModemInfo().DevInst, 14u);
    EXPECT_FALSE(list.Items(1)->IsOpen());
    EXPECT_EQ(list.Items(1)->TimeOut(), 0);
    EXPECT_FALSE(list.Items(1)->OnDebugEvent());  // a rescan hands out no handler

    // A modem already listed is never added twice.
    TUSBDevise again;
    again.DevInst = 14;
    EXPECT_EQ(list.AddDevise(again), nullptr);
    TUSBDevise fresh;
    fresh.DevInst = 99;
    fresh.DeviceDesc = "not filtered here";
    TMotoATModemItem* added = list.AddDevise(fresh);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(list.Items(2), added);
    EXPECT_EQ(added->ModemInfo().DeviceDesc, "not filtered here");

    // Everything gone at once: the list empties and open ports are closed.
    rig.Source.Present.clear();
    log.Clear();
    list.Rescan();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(log.Texts(), Texts{"Phone Close"});
}

TEST(ATModemList, HeldItemOutlivesItsRemoval) {
    ListRig rig;
    rig.plugModem(20, rig.ModemA);
    TATLog log;
    auto list = std::make_unique<TMotoATModemList>(rig.Backend);
    ASSERT_EQ(list->Count(), 1);
    list->Items(0)->SetOnDebugEvent(log.Handler());
    ASSERT_TRUE(list->Items(0)->OpenPhone());

    // An operation holds the item while a nested rescan drops the modem.
    auto held = list->Hold(0);
    rig.Source.Present.clear();
    log.Clear();
    list->Rescan();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_TRUE(log.Lines.empty());
    EXPECT_TRUE(held->SendCommand("AT"));  // still usable, nothing freed
    held.reset();
    EXPECT_EQ(log.Texts(), (Texts{"Phone Write Data", "Phone Send Command", "Phone Close"}));

    // Freeing the list closes the open ports of its items.
    rig.plugModem(21, rig.ModemB);
    list->Rescan();
    list->Items(0)->SetOnDebugEvent(log.Handler());
    ASSERT_TRUE(list->Items(0)->OpenPhone());
    log.Clear();
    list.reset();
    EXPECT_EQ(log.Texts(), Texts{"Phone Close"});
}

TEST(ATMode, DeviceChangesRescanThenReapplyThenNotify) {
    ListRig rig;
    rig.plugModem(30, rig.ModemA);
    auto mode = std::make_unique<TMotoATMode>(rig.Backend);
    ASSERT_EQ(rig.Source.Sinks.size(), 1u);
    EXPECT_EQ(rig.Source.Sinks[0].first, UsbDeviceInterfaceGuid);
    ASSERT_EQ(mode->DeviseList().Count(), 1);

    const std::string banner = mode->About();
    EXPECT_EQ(banner, ComponentBanner());
    mode->SetAbout("something else");
    EXPECT_EQ(mode->About(), banner);

    TATLog log;
    mode->SetOnDebug(log.Handler());
    EXPECT_TRUE(mode->DeviseList().Items(0)->OnDebugEvent());

    // On arrival the new modem is listed and has the handler before OnArrival.
    int arrivals = 0, removals = 0;
    int countAtArrival = -1;
    bool handlerAtArrival = false;
    mode->OnArrival = [&](void* Sender) {
        EXPECT_EQ(Sender, mode.get());
        ++arrivals;
        countAtArrival = mode->DeviseList().Count();
        handlerAtArrival = static_cast<bool>(mode->DeviseList().Items(1)->OnDebugEvent());
    };
    mode->OnRemove = [&](void* Sender) {
        EXPECT_EQ(Sender, mode.get());
        ++removals;
    };
    rig.plugModem(31, rig.ModemB);
    rig.Source.Broadcast(TDeviceChange::Arrival);
    EXPECT_EQ(arrivals, 1);
    EXPECT_EQ(countAtArrival, 2);
    EXPECT_TRUE(handlerAtArrival);

    // Any USB device that arrives causes a rescan and an event, list unchanged.
    rig.Source.Add(UsbDeviceInterfaceGuid, 32, "/dev/hidraw0", "USB Input Device");
    rig.Source.Broadcast(TDeviceChange::Arrival);
    EXPECT_EQ(arrivals, 2);
    EXPECT_EQ(mode->DeviseList().Count(), 2);

    // Other events and other device types: no rescan and no event.
    const int enumerations = rig.Source.Enumerations;
    TDevBroadcastHeader iface, volume, port;
    volume.DeviceType = DBT_DEVTYP_VOLUME;
    port.DeviceType = DBT_DEVTYP_PORT;
    mode->DeviceChangeMessage(DBT_DEVNODES_CHANGED, &iface);
    mode->DeviceChangeMessage(DBT_DEVICEQUERYREMOVE, &iface);
    mode->DeviceChangeMessage(DBT_DEVICEARRIVAL, &volume);
    mode->DeviceChangeMessage(DBT_DEVICEREMOVECOMPLETE, &port);
    EXPECT_EQ(rig.Source.Enumerations, enumerations);
    EXPECT_EQ(arrivals, 2);
    EXPECT_EQ(removals, 0);

    // An item the program's own Rescan adds has no handler until the next change.
    rig.plugModem(33, rig.ModemC);
    mode->DeviseList().Rescan();
    ASSERT_EQ(mode->DeviseList().Count(), 3);
    EXPECT_FALSE(mode->DeviseList().Items(2)->OnDebugEvent());

    // Two modems gone before one broadcast: both dropped, open ports closed,
    // one OnRemove.
    ASSERT_TRUE(mode->DeviseList().Items(0)->OpenPhone());
    rig.Source.Remove(30);
    rig.Source.Remove(31);
    log.Clear();
    rig.Source.Broadcast(TDeviceChange::Removal);
    EXPECT_EQ(removals, 1);
    ASSERT_EQ(mode->DeviseList().Count(), 1);
    EXPECT_EQ(mode->DeviseList().Items(0)->ModemInfo().DevInst, 33u);
    EXPECT_TRUE(mode->DeviseList().Items(0)->OnDebugEvent());
    EXPECT_EQ(log.Texts(), Texts{"Phone Close"});

    // An unassigned handler clears every item's.
    mode->SetOnDebug(nullptr);
    EXPECT_FALSE(mode->DeviseList().Items(0)->OnDebugEvent());

    // A throwing handler never escapes; the list is already up to date.
    mode->OnRemove = [](void*) { throw std::runtime_error("handler failed"); };
    rig.Source.Present.clear();
    EXPECT_NO_THROW(rig.Source.Broadcast(TDeviceChange::Removal));
    EXPECT_EQ(mode->DeviseList().Count(), 0);

    mode.reset();
    EXPECT_TRUE(rig.Source.Sinks.empty());
}

TEST(ATMode, RefusedRegistrationStillLists) {
    ListRig rig;
    rig.Source.RefuseNotify = true;
    rig.plugModem(40, rig.ModemA);
    TMotoATMode mode(rig.Backend);
    EXPECT_EQ(mode.DeviseList().Count(), 1);
    rig.plugModem(41, rig.ModemB);
    mode.DeviseList().Rescan();
    EXPECT_EQ(mode.DeviseList().Count(), 2);
}
