#include <gtest/gtest.h>

#include "USBCtrls.h"
#include "linux/UdevRecord.h"

// The records the udev source builds, read back through GetUSBDevises: the
// filters of the two links find what they must, and the reading rules give
// the fields the rest of the program sees.
namespace {

struct TListSource : IDeviceSource {
    std::vector<TDeviseInterface> P2K, Usb;
    std::vector<TDeviseInterface> Enumerate(const std::string& Guid) override {
        return Guid == P2KInterfaceGuid         ? P2K
               : Guid == UsbDeviceInterfaceGuid ? Usb
                                                : std::vector<TDeviseInterface>{};
    }
    bool RegisterNotify(const std::string&, IDeviceChangeSink*) override { return false; }
    void UnregisterNotify(IDeviceChangeSink*) override {}
    int EventFd() const override { return -1; }
    void DispatchPending() override {}
};

TUdevAttributes phone(const std::string& Port, const std::string& DevNum) {
    TUdevAttributes A;
    A.SysPath = "/sys/devices/platform/dummy_hcd.0/usb1/1-" + Port + "/1-" + Port + ":1.8";
    A.KernelName = "1-" + Port + ":1.8";
    A.VendorId = "22b8";
    A.ProductId = "4901";
    A.Manufacturer = "Motorola Inc.";
    A.Product = "Motorola Phone (V3)";
    A.InterfaceNumber = "08";
    A.InterfaceClass = "ff";
    A.BusNum = "1";
    A.DevNum = DevNum;
    A.PortPath = Port;
    return A;
}

}  // namespace

TEST(UdevDiscovery, LinkFiltersFindTheRecordsTheSourceBuilds) {
    TListSource Source;
    Source.P2K.push_back(BuildDeviseInterface(phone("1", "2"), TUdevDeviceKind::P2KInterface));
    Source.P2K.push_back(BuildDeviseInterface(phone("2", "3"), TUdevDeviceKind::P2KInterface));
    // Another vendor's interface 8 that names itself like a phone in its
    // product string only: not a command interface.
    TUdevAttributes Other = phone("3", "4");
    Other.VendorId = "1d6b";
    Other.Product = "Not a Test Command Interface";
    Other.InterfaceName = "Vendor Interface";
    Source.P2K.push_back(BuildDeviseInterface(Other, TUdevDeviceKind::P2KInterface));

    TUSBDevises Found;
    GetUSBDevises(Source, P2KInterfaceGuid, "Test Command Interface", Found);
    ASSERT_EQ(Found.size(), 2u);
    EXPECT_EQ(Found[0].DevicePath, "/sys/devices/platform/dummy_hcd.0/usb1/1-1/1-1:1.8");
    EXPECT_EQ(Found[1].DevicePath, "/sys/devices/platform/dummy_hcd.0/usb1/1-2/1-2:1.8");
    EXPECT_NE(Found[0].DevInst, Found[1].DevInst);
    EXPECT_EQ(Found[0].HardwareID, "USB\\VID_22B8&PID_4901");
    EXPECT_EQ(Found[0].CompatibleIDs, "USB\\Class_FF&SubClass_00&Prot_00");
    EXPECT_EQ(Found[0].Mfg, "Motorola Inc.");
    EXPECT_EQ(Found[0].BusNumber, 1u);
    EXPECT_EQ(Found[1].Address, "\x02");  // a number read by the text rule
    EXPECT_EQ(Found[0].EnumeratorName, "USB");
    EXPECT_EQ(Found[0].LocationInformation, "1-1:1.8");
    EXPECT_EQ(Found[0].Driver, "");

    GetUSBDevises(Source, P2KInterfaceGuid, "", Found);
    ASSERT_EQ(Found.size(), 3u);
    EXPECT_EQ(Found[2].DeviceDesc, "Vendor Interface");

    // The modem link's filter on a cdc_acm port of the phone.
    TUdevAttributes Modem = phone("1", "5");
    Modem.SysPath = "/sys/devices/platform/dummy_hcd.0/usb1/1-1/1-1:1.0/tty/ttyACM0";
    Modem.KernelName = "ttyACM0";
    Modem.DevNode = "/dev/ttyACM0";
    Modem.ProductId = "4902";
    Modem.InterfaceNumber = "00";
    Modem.InterfaceClass = "02";
    Modem.Driver = "cdc_acm";
    Source.Usb.push_back(BuildDeviseInterface(Modem, TUdevDeviceKind::ModemPort));
    GetUSBDevises(Source, UsbDeviceInterfaceGuid, "motorola usb modem", Found);
    ASSERT_EQ(Found.size(), 1u);
    EXPECT_EQ(Found[0].DevicePath, "/dev/ttyACM0");
    EXPECT_EQ(Found[0].Driver, "cdc_acm");
    EXPECT_EQ(Found[0].Service, "cdc_acm");
    EXPECT_EQ(Found[0].Class, "Modem");
    GetUSBDevises(Source, UsbDeviceInterfaceGuid, "Test Command Interface", Found);
    EXPECT_TRUE(Found.empty());
}
