#include <gtest/gtest.h>

#include "linux/UdevRecord.h"

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

std::string prop(const TDeviseInterface& R, uint32_t Code) {
    auto It = R.Properties.find(Code);
    return It == R.Properties.end() ? std::string("<absent>") : It->second;
}

}  // namespace

TEST(UdevRecord, PhoneInterfaceRecordCarriesRawProperties) {
    TDeviseInterface R = BuildDeviseInterface(phoneInterface(), TUdevDeviceKind::P2KInterface);
    EXPECT_EQ(R.DevicePath, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.8");
    EXPECT_NE(R.DevInst, 0u);
    EXPECT_EQ(prop(R, SPDRP_DEVICEDESC), bytes("Motorola USB Test Command Interface\0"));
    // A multi-string: the plain id first, then the longer ones, then a final zero.
    EXPECT_EQ(prop(R, SPDRP_HARDWAREID),
              bytes("USB\\VID_22B8&PID_4901\0USB\\VID_22B8&PID_4901&REV_0001\0"
                    "USB\\VID_22B8&PID_4901&MI_08\0\0"));
    EXPECT_EQ(prop(R, SPDRP_COMPATIBLEIDS),
              bytes("USB\\Class_FF&SubClass_00&Prot_00\0USB\\Class_FF&SubClass_00\0"
                    "USB\\Class_FF\0\0"));
    EXPECT_EQ(prop(R, SPDRP_MFG), bytes("Motorola Inc.\0"));
    EXPECT_EQ(prop(R, SPDRP_BUSNUMBER), bytes("\x01\0\0\0"));
    EXPECT_EQ(prop(R, SPDRP_ADDRESS), bytes("\x04\0\0\0"));
    EXPECT_EQ(prop(R, SPDRP_LOCATION_INFORMATION), bytes("1-4:1.8\0"));
    EXPECT_EQ(prop(R, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME), bytes("/dev/bus/usb/001/007\0"));
    // Nothing is bound to the interface: no driver, no service, no class.
    EXPECT_EQ(prop(R, SPDRP_DRIVER), "<absent>");
    EXPECT_EQ(prop(R, SPDRP_SERVICE), "<absent>");
    EXPECT_EQ(prop(R, SPDRP_CLASS), "<absent>");
    EXPECT_EQ(prop(R, SPDRP_FRIENDLYNAME), "<absent>");
    EXPECT_EQ(R.SerialNumber, "");  // the device has none

    // udev's path wins over the kernel name once udevd has run; a hub port
    // path gives the last port as the address.
    TUdevAttributes A = phoneInterface();
    A.IdPath = "pci-0000:00:14.0-usb-0:4.2:1.8";
    A.PortPath = "4.2";
    A.Driver = "usbfs";
    A.Serial = "SN0042";
    R = BuildDeviseInterface(A, TUdevDeviceKind::P2KInterface);
    EXPECT_EQ(R.SerialNumber, "SN0042");
    EXPECT_EQ(prop(R, SPDRP_LOCATION_INFORMATION), bytes("pci-0000:00:14.0-usb-0:4.2:1.8\0"));
    EXPECT_EQ(prop(R, SPDRP_ADDRESS), bytes("\x02\0\0\0"));
    EXPECT_EQ(prop(R, SPDRP_DRIVER), bytes("usbfs\0"));

    // Numbers that do not parse are left out rather than guessed.
    A.BusNum = "x1";
    A.PortPath = "";
    R = BuildDeviseInterface(A, TUdevDeviceKind::P2KInterface);
    EXPECT_EQ(prop(R, SPDRP_BUSNUMBER), "<absent>");
    EXPECT_EQ(prop(R, SPDRP_ADDRESS), "<absent>");
}

TEST(UdevRecord, ModemPortRecord) {
    TDeviseInterface R = BuildDeviseInterface(modemPort(), TUdevDeviceKind::ModemPort);
    EXPECT_EQ(R.DevicePath, "/dev/ttyACM0");
    EXPECT_EQ(prop(R, SPDRP_DEVICEDESC), bytes("Motorola USB Modem\0"));
    EXPECT_EQ(prop(R, SPDRP_FRIENDLYNAME), bytes("Motorola USB Modem (ttyACM0)\0"));
    EXPECT_EQ(prop(R, SPDRP_DRIVER), bytes("cdc_acm\0"));
    EXPECT_EQ(prop(R, SPDRP_CLASS), bytes("Modem\0"));
    EXPECT_EQ(prop(R, SPDRP_HARDWAREID).substr(0, 22), bytes("USB\\VID_22B8&PID_4902\0"));
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
    EXPECT_EQ(prop(BuildDeviseInterface(M, TUdevDeviceKind::ModemPort), SPDRP_DEVICEDESC),
              "<absent>");
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
        uint32_t Type;
        bool P2K;
        bool Usb;
    };
    const TCase Cases[] = {
        // The phone's command interface arrives and leaves.
        {{"add", "usb", "usb_interface", "1-1:1.8", "22b8/4901/1", "255/0/0"},
         DBT_DEVICEARRIVAL,
         true,
         false},
        {{"remove", "usb", "usb_interface", "1-1:1.8", "22b8/4901/1", "255/0/0"},
         DBT_DEVICEREMOVECOMPLETE,
         true,
         false},
        // Interface 18 ends in 8 but is not interface 8; another vendor; another class.
        {{"add", "usb", "usb_interface", "1-1:1.18", "22b8/4901/1", "255/0/0"}, 0, false, false},
        {{"add", "usb", "usb_interface", "1-1:1.8", "1d6b/104/1", "255/0/0"}, 0, false, false},
        {{"add", "usb", "usb_interface", "1-1:1.8", "22b8/4901/1", "10/0/0"}, 0, false, false},
        {{"add", "usb", "usb_interface", "1-1", "22b8/4901/1", ""}, 0, false, false},
        // Every USB device and every ACM port tells the modem class.
        {{"add", "usb", "usb_device", "1-1", "1d6b/104/1", ""}, DBT_DEVICEARRIVAL, false, true},
        {{"remove", "usb", "usb_device", "1-1", "22b8/4902/1", ""},
         DBT_DEVICEREMOVECOMPLETE,
         false,
         true},
        {{"remove", "tty", "", "ttyACM0", "", ""}, DBT_DEVICEREMOVECOMPLETE, false, true},
        {{"add", "tty", "", "ttyS0", "", ""}, 0, false, false},
        // Other actions are not arrivals or removals.
        {{"bind", "usb", "usb_interface", "1-1:1.8", "22b8/4901/1", "255/0/0"}, 0, false, false},
        {{"change", "tty", "", "ttyACM0", "", ""}, 0, false, false},
        {{"unbind", "usb", "usb_device", "1-1", "22b8/4901/1", ""}, 0, false, false},
    };
    for (const auto& C : Cases) {
        TUdevEventRoute R = RouteUdevEvent(C.E);
        SCOPED_TRACE(C.E.Action + " " + C.E.Subsystem + " " + C.E.SysName + " " + C.E.Product);
        EXPECT_EQ(R.EventType, C.Type);
        EXPECT_EQ(R.ToP2K, C.P2K);
        EXPECT_EQ(R.ToUsbDevice, C.Usb);
    }
}
