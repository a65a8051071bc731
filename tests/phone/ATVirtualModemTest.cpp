// The virtual modem as a strict far end: what counts as a line, which lines
// switch the phone, and the rig that re-attaches it in P2K mode.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "sim/VirtualModem.h"

namespace {

using Texts = std::vector<std::string>;
constexpr int WaitMs = 5000;  // bound on waits for the reader thread

// Writes through a raw slave descriptor, output processing off.
struct RawHost {
    int Fd;
    explicit RawHost(const std::string& Path) : Fd(::open(Path.c_str(), O_RDWR | O_NOCTTY)) {
        termios t{};
        ::tcgetattr(Fd, &t);
        t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        ::tcsetattr(Fd, TCSANOW, &t);
    }
    ~RawHost() { ::close(Fd); }
    void Send(const std::string& Text) const {
        ASSERT_EQ(::write(Fd, Text.data(), Text.size()), static_cast<ssize_t>(Text.size()));
    }
};

}  // namespace

TEST(ATVirtualModem, OnlyAModeEightLineSwitches) {
    TVirtualModem modem;
    ASSERT_TRUE(modem.IsValid());
    std::atomic<int> switches{0};
    modem.SetOnSwitchToP2K([&] { ++switches; });
    RawHost host(modem.SlavePath());
    ASSERT_GE(host.Fd, 0);

    // A line arrives in pieces; bare CR or LF do not end it; a stray CR (what a
    // host with output processing on sends) spoils "AT+Mode=8".
    host.Send("AT+Mo");
    host.Send("de=22\r\n");
    host.Send("AT+Mode=24\r\nAT+Mode=8\r\r\n");
    host.Send("AT+Mode=8\n");
    host.Send("\r\n");
    ASSERT_TRUE(modem.WaitForLines(4, WaitMs));
    EXPECT_EQ(modem.Lines(), (Texts{"AT+Mode=22", "AT+Mode=24", "AT+Mode=8\r", "AT+Mode=8\n"}));
    EXPECT_EQ(switches, 0);
    EXPECT_FALSE(modem.HungUp());

    // The real thing: the handler runs once, the modem hangs up, and what
    // follows in the same write never counts.
    host.Send("at+mode=8\r\nAT+Mode=8\r\n");
    ASSERT_TRUE(modem.WaitForLines(5, WaitMs));
    modem.Hangup();  // joins the reader: the switch has run to its end
    EXPECT_EQ(switches, 1);
    EXPECT_TRUE(modem.HungUp());
    EXPECT_EQ(modem.Lines().size(), 5u);
}

TEST(ATVirtualModem, RigPlugsModemThenPhone) {
    TVirtualDeviceSource devices;
    auto phone = std::make_shared<TVirtualPhone>();
    {
        TVirtualModemPhone rig(devices, "rig", phone, std::chrono::milliseconds(1));
        ASSERT_TRUE(rig.IsValid());
        auto modems = devices.Enumerate(UsbDeviceInterfaceGuid);
        ASSERT_EQ(modems.size(), 1u);
        EXPECT_EQ(modems[0].DevicePath, rig.Modem().SlavePath());
        EXPECT_TRUE(devices.Enumerate(P2KInterfaceGuid).empty());

        RawHost host(rig.Modem().SlavePath());
        host.Send("AT+Mode=8\r\n");
        ASSERT_TRUE(rig.Modem().WaitForLines(1, WaitMs));
        rig.Modem().Hangup();
        EXPECT_TRUE(rig.InP2KMode());
        EXPECT_TRUE(devices.Enumerate(UsbDeviceInterfaceGuid).empty());
        EXPECT_EQ(devices.PhoneAt(TVirtualDeviceSource::PhonePath("rig")), phone);
    }
    // Gone with the rig.
    EXPECT_TRUE(devices.Enumerate(P2KInterfaceGuid).empty());
    // The folder's starter: the handle keeps the modem plugged.
    auto handle = StartVirtualModemPhone("rig2", phone, devices);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(devices.Enumerate(UsbDeviceInterfaceGuid).size(), 1u);
    handle.reset();
    EXPECT_TRUE(devices.Enumerate(UsbDeviceInterfaceGuid).empty());
    EXPECT_EQ(StartVirtualModemPhone("none", nullptr, devices), nullptr);
}
