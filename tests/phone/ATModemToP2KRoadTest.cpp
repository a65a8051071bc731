// The whole road of a phone plugged in while in modem mode: listed by the AT
// component, switched with "AT+Mode=8", then found by the P2K component and
// answering a command. Real termios port on a pseudo-terminal, virtual
// device source and phone, no window.
#include <poll.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "ATTestSupport.h"
#include "MotoP2KMode.h"
#include "linux/TermiosSerialPort.h"
#include "sim/VirtualModem.h"
#include "sim/VirtualP2KTransport.h"

namespace {

using Texts = std::vector<std::string>;

// Delivers device events as a GUI loop would, a few milliseconds at a time,
// until Done() or the bound runs out. Returns Done().
template <typename Pred>
bool pumpEventsUntil(IDeviceSource& Source, Pred Done, int BoundMs = 5000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(BoundMs);
    while (!Done() && std::chrono::steady_clock::now() < until) {
        pollfd p{Source.EventFd(), POLLIN, 0};
        if (::poll(&p, 1, 5) > 0) {
            Source.DispatchPending();
        }
    }
    return Done();
}

}  // namespace

TEST(ATModemToP2KRoad, ModemPhoneSwitchesAndAnswersInP2KMode) {
    TVirtualDeviceSource devices;
    TVirtualP2KTransport p2kTransport(devices);
    TTermiosSerialPorts serial;
    TFakeClock clock;
    TPhoneBackend backend{devices, p2kTransport, serial, clock};

    TMotoATMode atMode(backend);
    TMotoP2KMode p2kMode(backend);
    ASSERT_EQ(atMode.DeviseList().Count(), 0);
    ASSERT_EQ(p2kMode.DeviseList().Count(), 0);

    TATLog atLog;
    atMode.SetOnDebug(atLog.Handler());
    // As the main window does: on a modem arrival, switch every listed modem.
    int atArrivals = 0, atRemovals = 0, p2kArrivals = 0;
    atMode.OnArrival = [&](void*) {
        ++atArrivals;
        for (int i = 0; i < atMode.DeviseList().Count(); ++i) {
            auto item = atMode.DeviseList().Hold(i);
            if (item->OpenPhone()) {
                item->SwitchMode(amMode8);
            }
        }
    };
    atMode.OnRemove = [&](void*) { ++atRemovals; };
    p2kMode.OnArrival = [&](void*) { ++p2kArrivals; };

    auto phone = std::make_shared<TVirtualPhone>(DefaultVirtualPhoneState());
    TVirtualModemPhone rig(devices, "road", phone, std::chrono::milliseconds(20));
    ASSERT_TRUE(rig.IsValid());

    // 1. The modem arrives and is listed; the arrival handler switches it.
    ASSERT_TRUE(pumpEventsUntil(devices, [&] { return atArrivals > 0; }));
    EXPECT_EQ(atMode.DeviseList().Count(), 1);
    EXPECT_EQ(atLog.Texts(),
              (Texts{"Open Phone", "Phone Write Data", "Phone Send Command", "Phone Switch"}));

    // 2. The phone leaves modem mode and re-attaches as a P2K device.
    ASSERT_TRUE(pumpEventsUntil(devices, [&] { return p2kArrivals > 0; }));
    EXPECT_EQ(rig.Modem().Lines(), Texts{"AT+Mode=8"});
    EXPECT_TRUE(rig.InP2KMode());
    EXPECT_EQ(atRemovals, 1);
    EXPECT_EQ(atMode.DeviseList().Count(), 0);
    // The modem's port, left open after the switch, was closed with its item.
    EXPECT_EQ(atLog.Texts().back(), "Phone Close");

    // 3. The P2K component lists it, and it answers.
    ASSERT_EQ(p2kMode.DeviseList().Count(), 1);
    auto p2kItem = p2kMode.DeviseList().Hold(0);
    EXPECT_EQ(p2kItem->ModemInfo().DevicePath, TVirtualDeviceSource::PhonePath("road"));
    ASSERT_TRUE(p2kItem->OpenPhone());
    const uint8_t drives[4] = {0x00, 0x00, 0x00, 0x0A};  // file-system sub-command: drive list
    std::vector<uint8_t> reply(P2KMaxReplyData);
    uint16_t replyLen = 0;
    ASSERT_TRUE(p2kItem->SendCommand(CmdFileSystem, drives, sizeof drives, reply.data(),
                                     reply.size(), replyLen));
    EXPECT_GT(replyLen, 0);
    ASSERT_FALSE(phone->Received().empty());
    EXPECT_EQ(phone->Received().back().Command, CmdFileSystem);
    EXPECT_EQ(p2kItem->GetPhoneModel(), "Virtual P2K");
}
