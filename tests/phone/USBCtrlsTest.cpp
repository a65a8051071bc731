#include <gtest/gtest.h>

#include "USBCtrls.h"
#include "support/FakeDeviceSource.h"

using test::P2KInterface;
using test::TextProp;

TEST(GetUSBDevises, FilterIsCaseInsensitiveOnDeviceDescOnly) {
    test::TFakeDeviceSource src;
    auto a = P2KInterface(1, "/p/1", "Motorola Test Command Interface #2");
    auto b = P2KInterface(2, "/p/2", "Something else");
    b.Properties[SPDRP_FRIENDLYNAME] = TextProp("Test Command Interface");  // does not count
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
    EXPECT_EQ(d[1].FriendlyName, "Test Command Interface");

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
    i.Properties[SPDRP_HARDWAREID] = std::string("USB\\VID_22B8&PID_4901\0USB\\VID_22B8\0\0", 37);
    i.Properties[SPDRP_MFG] = TextProp(std::string(256, 'm'));     // 257 bytes: fits
    i.Properties[SPDRP_DRIVER] = TextProp(std::string(257, 'd'));  // 258 bytes: too long
    i.Properties[SPDRP_SERVICE] = std::string(257, 's');           // fits, no terminator
    i.Properties[SPDRP_ADDRESS] = std::string("\x01\0\0\0", 4);    // number read as text
    i.Properties[SPDRP_DEVTYPE] = std::string("\0\x01\0\0", 4);    // first byte zero
    i.Properties[SPDRP_BUSNUMBER] = std::string("\x02\x01\0\0", 4);
    i.Properties[SPDRP_UI_NUMBER] = std::string("\x05", 1);
    i.Properties[SPDRP_CAPABILITIES] = std::string("\x01\x02\x03\x04\x05", 5);  // too long
    i.SerialNumber = "SN0042";
    auto j = P2KInterface(8, "/p/8");
    j.SerialNumber = std::string(256, 'n');  // no USB string is that long
    src.Present[P2KInterfaceGuid] = {i, j};

    TUSBDevises d;
    GetUSBDevises(src, P2KInterfaceGuid, "", d);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].SerialNumber, "SN0042");
    EXPECT_EQ(d[1].SerialNumber, "");
    EXPECT_EQ(d[0].HardwareID, "USB\\VID_22B8&PID_4901");
    EXPECT_EQ(d[0].Mfg.size(), 256u);
    EXPECT_EQ(d[0].Driver, "");
    EXPECT_EQ(d[0].Service.size(), 257u);
    EXPECT_EQ(d[0].Address, "\x01");
    EXPECT_EQ(d[0].DevType, "");
    EXPECT_EQ(d[0].BusNumber, 0x0102u);
    EXPECT_EQ(d[0].UINumber, 5u);
    EXPECT_EQ(d[0].Capabilities, 0u);
    EXPECT_EQ(d[0].ConfigFlags, 0u);  // absent
    EXPECT_EQ(d[0].Class, "");
}

TEST(USBCtrls, DeviceChangeKindAndSwapBytes) {
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
