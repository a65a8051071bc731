#include <gtest/gtest.h>

#include "USBCtrls.h"
#include "support/FakeDeviceSource.h"

using test::P2KInterface;

TEST(GetUSBDevises, FilterIsCaseInsensitiveOnDeviceDescOnly) {
    test::TFakeDeviceSource src;
    auto a = P2KInterface(1, "/p/1", "Motorola Test Command Interface #2");
    auto b = P2KInterface(2, "/p/2", "Something else");
    b.Properties.Product = "Test Command Interface";  // does not count
    b.Properties.Subsystem = "tty";
    b.Properties.KernelName = "ttyACM0";
    auto c = P2KInterface(3, "/p/3", "TEST COMMAND INTERFACE");
    src.Present[P2KInterfaceGuid] = {a, b, c};

    TUSBDevises d{TUSBDevise{}};
    GetUSBDevises(src, P2KInterfaceGuid, "test command interface", d);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].DevInst, 1u);
    EXPECT_EQ(d[0].DevicePath, "/p/1");
    EXPECT_EQ(d[1].DevInst, 3u);

    GetUSBDevises(src, P2KInterfaceGuid, "", d);
    ASSERT_EQ(d.size(), 3u);  // empty filter: all, in enumeration order
    EXPECT_EQ(d[1].DevInst, 2u);
    EXPECT_EQ(d[1].FriendlyName, "Something else (ttyACM0)");

    GetUSBDevises(src, UsbDeviceInterfaceGuid, "", d);
    EXPECT_TRUE(d.empty());  // nothing of that class present; old content gone
}

TEST(GetUSBDevises, FilterFoldsEveryCyrillicLetter) {
    test::TFakeDeviceSource src;
    // "Ґ" upper case in the description, "ґ" in the filter.
    src.Present[P2KInterfaceGuid] = {P2KInterface(1, "/p/1", "\xA5\xC0 Interface"),
                                     P2KInterface(2, "/p/2", "\xA3\xC0 Interface")};
    TUSBDevises d;
    GetUSBDevises(src, P2KInterfaceGuid, "\xB4\xE0 interface", d);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].DevInst, 1u);
}

TEST(GetUSBDevises, PropertyReadingRules) {
    test::TFakeDeviceSource src;
    auto i = P2KInterface(7, "/p/7");
    i.Properties.VendorId = "22b8";
    i.Properties.ProductId = "4901";
    i.Properties.Manufacturer = std::string(256, 'm');      // 257 bytes with its zero: fits
    i.Properties.Driver = std::string(257, 'd');            // 258 bytes: too long
    i.Properties.Product = std::string("Phone\0tail", 10);  // a text ends at its first zero
    i.Properties.PortPath = "1.4.1";                        // a number read as text
    i.Properties.BusNum = "258";
    i.SerialNumber = "SN0042";
    auto j = P2KInterface(8, "/p/8");
    j.SerialNumber = std::string(256, 'n');  // no USB string is that long
    j.Properties.PortPath = "256";           // its first byte is zero
    j.Properties.BusNum = "1x";              // not a number
    j.Properties.Bus = "usb";
    j.Properties.VendorId = "22b8";  // no product: no hardware id
    src.Present[P2KInterfaceGuid] = {i, j};

    TUSBDevises d;
    GetUSBDevises(src, P2KInterfaceGuid, "", d);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].SerialNumber, "SN0042");
    EXPECT_EQ(d[1].SerialNumber, "");
    EXPECT_EQ(d[0].HardwareID, "USB\\VID_22B8&PID_4901");
    EXPECT_EQ(d[1].HardwareID, "");
    EXPECT_EQ(d[0].Mfg.size(), 256u);
    EXPECT_EQ(d[0].Driver, "");
    EXPECT_EQ(d[0].Service, "");
    EXPECT_EQ(d[0].Address, "\x01");
    EXPECT_EQ(d[1].Address, "");
    EXPECT_EQ(d[0].BusNumber, 0x0102u);
    EXPECT_EQ(d[1].BusNumber, 0u);
    EXPECT_EQ(d[1].EnumeratorName, "USB");
    // Linux has nothing for these.
    EXPECT_EQ(d[0].UINumber + d[0].Capabilities + d[0].ConfigFlags + d[0].Exclusive, 0u);
    EXPECT_EQ(d[0].Class + d[0].ClassGUID + d[0].DevType + d[0].Security, "");
}

TEST(USBCtrls, DeviceChangeKindAndSwapBytes) {
    // A device source's changes are the arrival and removal of an interface.
    const TDevBroadcastHeader named = DeviceChangeHeader(P2KInterfaceGuid, "/sys/x");
    EXPECT_EQ(named.ClassGuid, P2KInterfaceGuid);
    EXPECT_EQ(named.Name, "/sys/x");
    EXPECT_EQ(GetDeviceChangeKind(DeviceChangeEventType(TDeviceChange::Arrival), &named), 1);
    EXPECT_EQ(GetDeviceChangeKind(DeviceChangeEventType(TDeviceChange::Removal), &named), 2);

    TDevBroadcastHeader iface;
    TDevBroadcastHeader volume;
    volume.DeviceType = DBT_DEVTYP_VOLUME;
    TDevBroadcastHeader port;
    port.DeviceType = DBT_DEVTYP_PORT;
    EXPECT_EQ(GetDeviceChangeKind(DBT_DEVICEARRIVAL, &iface), 1);
    EXPECT_EQ(GetDeviceChangeKind(DBT_DEVICEREMOVECOMPLETE, &iface), 2);
    EXPECT_EQ(GetDeviceChangeKind(DBT_DEVICEARRIVAL, &volume), 0);
    EXPECT_EQ(GetDeviceChangeKind(DBT_DEVICEREMOVECOMPLETE, &port), 0);
    EXPECT_EQ(GetDeviceChangeKind(DBT_DEVICEQUERYREMOVE, &iface), 0);
    EXPECT_EQ(GetDeviceChangeKind(DBT_DEVNODES_CHANGED, nullptr), 0);
    EXPECT_EQ(GetDeviceChangeKind(DBT_DEVICEARRIVAL, nullptr), 0);

    EXPECT_EQ(SwapBytes(0x0102), 0x0201);
    EXPECT_EQ(SwapBytes(0x00FF), 0xFF00);
}
