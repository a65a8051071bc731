#include <gtest/gtest.h>

#include "linux/DeviceChangeSinks.h"
#include "linux/LinuxBackend.h"
#include "linux/UdevDeviceSource.h"

namespace {

struct TCountingSink : IDeviceChangeSink {
    int Messages = 0;
    void DeviceChanged(TDeviceChange, const std::string&) override { ++Messages; }
};

}  // namespace

// Runs wherever the tests run: with or without udev, with or without phones.
// What it checks holds in every case: nothing crashes, every listed P2K
// record is a command interface, unknown classes give nothing.
TEST(UdevDeviceSource, ConstructsEnumeratesAndDispatchesAnywhere) {
    TUdevDeviceSource Source;
    for (const auto& R : Source.Enumerate(P2KInterfaceGuid)) {
        EXPECT_NE(R.Properties.Description.find("Test Command Interface"), std::string::npos);
        EXPECT_EQ(R.DevicePath.rfind("/sys/", 0), 0u);
    }
    for (const auto& R : Source.Enumerate(UsbDeviceInterfaceGuid)) {
        EXPECT_EQ(R.DevicePath.rfind("/dev/ttyACM", 0), 0u);
    }
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

namespace {

// Records what it hears; may remove another sink (or itself) when called.
struct TActingSink : IDeviceChangeSink {
    std::vector<std::string>* Log;
    std::string Name;
    TDeviceChangeSinks* Sinks = nullptr;
    IDeviceChangeSink* RemoveOnCall = nullptr;
    TActingSink(std::vector<std::string>* L, std::string N) : Log(L), Name(std::move(N)) {}
    void DeviceChanged(TDeviceChange Change, const std::string& Node) override {
        Log->push_back(Name + ":" + (Change == TDeviceChange::Arrival ? "add" : "remove") + ":" +
                       Node);
        if (RemoveOnCall) {
            Sinks->Remove(RemoveOnCall);
        }
    }
};

}  // namespace

TEST(DeviceChangeSinks, DeliversByClassAndSurvivesRemovalDuringDelivery) {
    std::vector<std::string> Log;
    TDeviceChangeSinks Sinks;
    TActingSink A(&Log, "a"), B(&Log, "b"), C(&Log, "c");
    Sinks.Add(P2KInterfaceGuid, &A);
    Sinks.Add(UsbDeviceInterfaceGuid, &B);
    Sinks.Add(P2KInterfaceGuid, &C);

    Sinks.Deliver(P2KInterfaceGuid, TDeviceChange::Arrival, "/sys/x");
    EXPECT_EQ(Log, (std::vector<std::string>{"a:add:/sys/x", "c:add:/sys/x"}));
    Log.clear();
    Sinks.Deliver(UsbDeviceInterfaceGuid, TDeviceChange::Removal, "/dev/ttyACM0");
    EXPECT_EQ(Log, (std::vector<std::string>{"b:remove:/dev/ttyACM0"}));

    // The first sink removes the second while the message is on its way:
    // the removed one is not called; then one removes itself.
    Log.clear();
    A.Sinks = &Sinks;
    A.RemoveOnCall = &C;
    Sinks.Deliver(P2KInterfaceGuid, TDeviceChange::Arrival, "p");
    EXPECT_EQ(Log.size(), 1u);
    A.RemoveOnCall = &A;
    Sinks.Deliver(P2KInterfaceGuid, TDeviceChange::Arrival, "p");
    Log.clear();
    Sinks.Deliver(P2KInterfaceGuid, TDeviceChange::Arrival, "p");
    EXPECT_TRUE(Log.empty());
    Sinks.Remove(&B);
    Sinks.Deliver(UsbDeviceInterfaceGuid, TDeviceChange::Arrival, "u");
    EXPECT_TRUE(Log.empty());
}
