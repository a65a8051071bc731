#include <gtest/gtest.h>

#include "USBCtrls.h"
#include "linux/UdevRecord.h"
#include "support/FakeDeviceSource.h"

namespace {

TUdevAttributes phoneInterface() {
    TUdevAttributes A;
    A.SysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.8";
    A.UsbDevNode = "/dev/bus/usb/001/007";
    A.KernelName = "1-4:1.8";
    A.VendorId = "22b8";
    A.ProductId = "4901";
    A.Revision = "0001";
    A.Manufacturer = "Motorola Inc.";
    A.Product = "Motorola Phone (V3)";
    A.InterfaceNumber = "08";
    A.InterfaceClass = "ff";
    A.InterfaceSubClass = "00";
    A.InterfaceProtocol = "00";
    A.BusNum = "1";
    A.DevNum = "7";
    A.PortPath = "4";
    return A;
}

TUdevAttributes modemPort() {
    TUdevAttributes A = phoneInterface();
    A.SysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/tty/ttyACM0";
    A.DevNode = "/dev/ttyACM0";
    A.KernelName = "ttyACM0";
    A.ProductId = "4902";
    A.InterfaceNumber = "00";
    A.InterfaceClass = "02";
    A.InterfaceSubClass = "02";
    A.InterfaceProtocol = "01";
    A.Driver = "cdc_acm";
    return A;
}

// The bytes of a literal, embedded zeros included, without the compiler's final zero.
template <size_t N>
std::string bytes(const char (&S)[N]) {
    return std::string(S, N - 1);
}

}  // namespace

TEST(UdevRecord, PhoneInterfaceRecordCarriesWhatUdevKnows) {
    TDeviseInterface R = BuildDeviseInterface(phoneInterface(), TUdevDeviceKind::P2KInterface);
    EXPECT_EQ(R.DevicePath, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.8");
    EXPECT_NE(R.DevInst, 0u);
    const TDeviceProperties& P = R.Properties;
    EXPECT_EQ(P.Description, "Motorola USB Test Command Interface");
    EXPECT_EQ(P.Bus, "usb");
    EXPECT_EQ(P.VendorId + ":" + P.ProductId + " rev " + P.Revision, "22b8:4901 rev 0001");
    EXPECT_EQ(P.InterfaceNumber + " " + P.InterfaceClass + "/" + P.InterfaceSubClass + "/" +
                  P.InterfaceProtocol,
              "08 ff/00/00");
    EXPECT_EQ(P.Manufacturer, "Motorola Inc.");
    EXPECT_EQ(P.Subsystem, "usb");
    EXPECT_EQ(P.KernelName, "1-4:1.8");
    EXPECT_EQ(P.UsbDevNode, "/dev/bus/usb/001/007");
    EXPECT_EQ(P.BusNum + "/" + P.DevNum + " port " + P.PortPath, "1/7 port 4");
    EXPECT_EQ(P.Driver, "");        // nothing is bound to the interface
    EXPECT_EQ(R.SerialNumber, "");  // the device has none

    // The record a program sees of it: udev's path wins over the kernel name
    // once udevd has run; a hub port path gives the last port as the address.
    test::TFakeDeviceSource Source;
    TUdevAttributes A = phoneInterface();
    Source.Present[P2KInterfaceGuid] = {BuildDeviseInterface(A, TUdevDeviceKind::P2KInterface)};
    A.IdPath = "pci-0000:00:14.0-usb-0:4.2:1.8";
    A.PortPath = "4.2";
    A.Driver = "usbfs";
    A.Serial = "SN0042";
    Source.Present[P2KInterfaceGuid].push_back(
        BuildDeviseInterface(A, TUdevDeviceKind::P2KInterface));
    TUSBDevises D;
    GetUSBDevises(Source, P2KInterfaceGuid, "", D);
    ASSERT_EQ(D.size(), 2u);
    EXPECT_EQ(D[0].DeviceDesc, "Motorola USB Test Command Interface");
    EXPECT_EQ(D[0].HardwareID, "USB\\VID_22B8&PID_4901");
    EXPECT_EQ(D[0].CompatibleIDs, "USB\\Class_FF&SubClass_00&Prot_00");
    EXPECT_EQ(D[0].Mfg, "Motorola Inc.");
    EXPECT_EQ(D[0].BusNumber, 1u);
    EXPECT_EQ(D[0].Address, "\x04");
    EXPECT_EQ(D[0].LocationInformation, "1-4:1.8");
    EXPECT_EQ(D[0].PhysicalDeviceObjectName, "/dev/bus/usb/001/007");
    EXPECT_EQ(D[0].EnumeratorName, "USB");
    EXPECT_EQ(D[0].Driver + D[0].Service + D[0].Class + D[0].FriendlyName, "");
    EXPECT_EQ(D[1].SerialNumber, "SN0042");
    EXPECT_EQ(D[1].LocationInformation, "pci-0000:00:14.0-usb-0:4.2:1.8");
    EXPECT_EQ(D[1].Address, "\x02");
    EXPECT_EQ(D[1].Driver, "usbfs");

    // Numbers that do not parse are left out rather than guessed.
    A.BusNum = "x1";
    A.PortPath = "";
    Source.Present[P2KInterfaceGuid] = {BuildDeviseInterface(A, TUdevDeviceKind::P2KInterface)};
    GetUSBDevises(Source, P2KInterfaceGuid, "", D);
    ASSERT_EQ(D.size(), 1u);
    EXPECT_EQ(D[0].BusNumber, 0u);
    EXPECT_EQ(D[0].Address, "");
}

TEST(UdevRecord, ModemPortRecord) {
    TDeviseInterface R = BuildDeviseInterface(modemPort(), TUdevDeviceKind::ModemPort);
    EXPECT_EQ(R.DevicePath, "/dev/ttyACM0");
    EXPECT_EQ(R.Properties.Subsystem, "tty");
    test::TFakeDeviceSource Source;
    Source.Present[UsbDeviceInterfaceGuid] = {R};
    TUSBDevises D;
    GetUSBDevises(Source, UsbDeviceInterfaceGuid, "", D);
    ASSERT_EQ(D.size(), 1u);
    EXPECT_EQ(D[0].DeviceDesc, "Motorola USB Modem");
    EXPECT_EQ(D[0].FriendlyName, "Motorola USB Modem (ttyACM0)");
    EXPECT_EQ(D[0].Driver, "cdc_acm");
    EXPECT_EQ(D[0].Class, "Modem");
    EXPECT_EQ(D[0].HardwareID, "USB\\VID_22B8&PID_4902");
}

TEST(UdevRecord, DescriptionTableAndFallbacks) {
    // Upper-case hex from sysfs still matches the table.
    TUdevAttributes A = phoneInterface();
    A.VendorId = "22B8";
    A.InterfaceClass = "FF";
    EXPECT_EQ(DescribeUdevDevice(A, TUdevDeviceKind::P2KInterface),
              "Motorola USB Test Command Interface");

    // Another interface, another class or another vendor is not the command
    // interface: it keeps its own strings.
    for (auto Change : {+[](TUdevAttributes& X) { X.InterfaceNumber = "07"; },
                        +[](TUdevAttributes& X) { X.InterfaceClass = "0a"; },
                        +[](TUdevAttributes& X) { X.VendorId = "1d6b"; }}) {
        TUdevAttributes B = phoneInterface();
        B.InterfaceName = "Data Interface";
        Change(B);
        EXPECT_FALSE(IsP2KInterface(B));
        EXPECT_EQ(DescribeUdevDevice(B, TUdevDeviceKind::P2KInterface), "Data Interface");
        B.InterfaceName.clear();
        EXPECT_EQ(DescribeUdevDevice(B, TUdevDeviceKind::P2KInterface), "Motorola Phone (V3)");
    }

    // A vendor 22b8 port on a driver other than cdc_acm is not the modem.
    TUdevAttributes M = modemPort();
    M.Driver = "option";
    M.Product = "";
    EXPECT_FALSE(IsPhoneModemPort(M));
    EXPECT_EQ(DescribeUdevDevice(M, TUdevDeviceKind::ModemPort), "");
    EXPECT_EQ(BuildDeviseInterface(M, TUdevDeviceKind::ModemPort).Properties.Description, "");
}

TEST(UdevRecord, DevInstStableWhilePluggedNewOnReattach) {
    TUdevAttributes A = phoneInterface();
    uint32_t First = StableDevInst(A);
    EXPECT_EQ(StableDevInst(A), First);
    EXPECT_EQ(BuildDeviseInterface(A, TUdevDeviceKind::P2KInterface).DevInst, First);
    // Same port, new device number: a re-attached phone is a new device.
    A.DevNum = "8";
    EXPECT_NE(StableDevInst(A), First);
    // Another interface of the same device differs too.
    TUdevAttributes B = phoneInterface();
    B.SysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.7";
    EXPECT_NE(StableDevInst(B), First);
    EXPECT_NE(StableDevInst(TUdevAttributes{}), 0u);
}

TEST(UdevRecord, EventRoutes) {
    struct TCase {
        TUdevEvent E;
        int Kind;  // 1 an arrival, 2 a removal, 0 nobody hears of it
        bool P2K;
        bool Usb;
    };
    const TCase Cases[] = {
        // The phone's command interface arrives and leaves.
        {{"add", "usb", "usb_interface", "1-1:1.8", "22b8/4901/1", "255/0/0"}, 1, true, false},
        {{"remove", "usb", "usb_interface", "1-1:1.8", "22b8/4901/1", "255/0/0"}, 2, true, false},
        // Interface 18 ends in 8 but is not interface 8; another vendor; another class.
        {{"add", "usb", "usb_interface", "1-1:1.18", "22b8/4901/1", "255/0/0"}, 0, false, false},
        {{"add", "usb", "usb_interface", "1-1:1.8", "1d6b/104/1", "255/0/0"}, 0, false, false},
        {{"add", "usb", "usb_interface", "1-1:1.8", "22b8/4901/1", "10/0/0"}, 0, false, false},
        {{"add", "usb", "usb_interface", "1-1", "22b8/4901/1", ""}, 0, false, false},
        // Every USB device and every ACM port tells the modem class.
        {{"add", "usb", "usb_device", "1-1", "1d6b/104/1", ""}, 1, false, true},
        {{"remove", "usb", "usb_device", "1-1", "22b8/4902/1", ""}, 2, false, true},
        {{"remove", "tty", "", "ttyACM0", "", ""}, 2, false, true},
        {{"add", "tty", "", "ttyS0", "", ""}, 0, false, false},
        // Other actions are not arrivals or removals.
        {{"bind", "usb", "usb_interface", "1-1:1.8", "22b8/4901/1", "255/0/0"}, 0, false, false},
        {{"change", "tty", "", "ttyACM0", "", ""}, 0, false, false},
        {{"unbind", "usb", "usb_device", "1-1", "22b8/4901/1", ""}, 0, false, false},
    };
    for (const auto& C : Cases) {
        TUdevEventRoute R = RouteUdevEvent(C.E);
        SCOPED_TRACE(C.E.Action + " " + C.E.Subsystem + " " + C.E.SysName + " " + C.E.Product);
        EXPECT_EQ(!R.Routed() ? 0 : R.Change == TDeviceChange::Arrival ? 1 : 2, C.Kind);
        EXPECT_EQ(R.ToP2K, C.P2K);
        EXPECT_EQ(R.ToUsbDevice, C.Usb);
    }
}
