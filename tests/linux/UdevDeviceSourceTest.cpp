#include <gtest/gtest.h>

#include "linux/LinuxBackend.h"
#include "linux/UdevDeviceSource.h"

namespace {

struct TCountingSink : IDeviceChangeSink {
    int Messages = 0;
    void DeviceChangeMessage(uint32_t, const TDevBroadcastHeader*) override { ++Messages; }
};

}  // namespace

// Runs wherever the tests run: with or without udev, with or without phones.
// What it checks holds in every case: nothing crashes, every listed P2K
// record is a command interface, unknown classes give nothing.
TEST(UdevDeviceSource, ConstructsEnumeratesAndDispatchesAnywhere) {
    TUdevDeviceSource Source;
    for (const auto& R : Source.Enumerate(P2KInterfaceGuid)) {
        auto It = R.Properties.find(SPDRP_DEVICEDESC);
        ASSERT_NE(It, R.Properties.end());
        EXPECT_NE(It->second.find("Test Command Interface"), std::string::npos);
        EXPECT_EQ(R.DevicePath.rfind("/sys/", 0), 0u);
    }
    for (const auto& R : Source.Enumerate(UsbDeviceInterfaceGuid))
        EXPECT_EQ(R.DevicePath.rfind("/dev/ttyACM", 0), 0u);
    EXPECT_TRUE(Source.Enumerate("{00000000-0000-0000-0000-000000000000}").empty());

    TCountingSink Sink;
    EXPECT_FALSE(Source.RegisterNotify("{00000000-0000-0000-0000-000000000000}", &Sink));
    EXPECT_FALSE(Source.RegisterNotify(P2KInterfaceGuid, nullptr));
    bool Registered = Source.RegisterNotify(P2KInterfaceGuid, &Sink);
    // Registration is accepted exactly when there is a monitor to hear from.
    EXPECT_EQ(Registered, Source.EventFd() >= 0);
    Source.DispatchPending();
    Source.UnregisterNotify(&Sink);
    Source.UnregisterNotify(&Sink);
    Source.DispatchPending();
}

TEST(LinuxBackend, BuildsTheRealLayersAnywhere) {
    TLinuxBackend Linux;
    TPhoneBackend& B = Linux.Backend();
    EXPECT_EQ(&B.Devices, &Linux.Devices());
    EXPECT_EQ(B.P2K.Open("/sys/devices/nowhere/1-1/1-1:1.8"), nullptr);
    EXPECT_EQ(B.Serial.Open("/nonexistent/ttyACM9"), nullptr);
}
