// The AT modem item: against a pseudo-terminal for the bytes on the wire and
// the port's behaviour, against a scripted port for the failure paths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ATTestSupport.h"
#include "linux/TermiosSerialPort.h"
#include "sim/VirtualModem.h"

namespace {

using Texts = std::vector<std::string>;

constexpr int WaitMs =
    5000;  // bound on waits for the reader thread; never reached when all is well

std::vector<uint8_t> bytes(const std::string& Text) {
    return {Text.begin(), Text.end()};
}

struct PtyRig {
    TVirtualModem Modem;
    TTermiosSerialPorts Ports;
    TATLog Log;
    TMotoATModemItem Item{ModemDevise(7, Modem.SlavePath()), Ports};
    PtyRig() {
        EXPECT_TRUE(Modem.IsValid());
        Item.SetOnDebugEvent(Log.Handler());
    }
};

}  // namespace

TEST(ATModemItem, CommandsLeaveAsExactBytes) {
    PtyRig rig;
    ASSERT_TRUE(rig.Item.OpenPhone());

    // An empty command is still a line: CR LF alone.
    EXPECT_TRUE(rig.Item.SendCommand(""));
    ASSERT_TRUE(rig.Modem.WaitForBytes(2, WaitMs));
    EXPECT_EQ(rig.Modem.Received(), bytes("\r\n"));

    rig.Item.SwitchMode(amMode22);
    ASSERT_TRUE(rig.Modem.WaitForBytes(2 + 12, WaitMs));
    EXPECT_EQ(rig.Modem.Received(), bytes("\r\nAT+Mode=22\r\n"));
    rig.Item.SwitchMode(amMode24);

    rig.Log.Clear();
    rig.Item.SwitchMode(amMode8);
    ASSERT_TRUE(rig.Modem.WaitForBytes(2 + 12 + 12 + 11, WaitMs));
    auto received = rig.Modem.Received();
    const std::vector<uint8_t> mode8 = {0x41, 0x54, 0x2B, 0x4D, 0x6F, 0x64,
                                        0x65, 0x3D, 0x38, 0x0D, 0x0A};
    EXPECT_EQ(std::vector<uint8_t>(received.begin() + 26, received.end()), mode8);
    EXPECT_EQ(rig.Modem.Lines(), (Texts{"", "AT+Mode=22", "AT+Mode=24", "AT+Mode=8"}));

    // A successful switch reports exactly these, in this order.
    ASSERT_EQ(rig.Log.Texts(), (Texts{"Phone Write Data", "Phone Send Command", "Phone Switch"}));
    EXPECT_TRUE(rig.Log.Lines[0].SubError);
    EXPECT_FALSE(rig.Log.Lines[1].SubError);
    EXPECT_FALSE(rig.Log.Lines[2].SubError);
    for (const auto& l : rig.Log.Lines) {
        EXPECT_EQ(l.Type, dtInformation);
        EXPECT_EQ(l.Item, &rig.Item);
    }
}

TEST(ATModemItem, ClosedItem) {
    TFakeSerialPorts ports;
    TATLog log;
    TMotoATModemItem item(ModemDevise(1, "/dev/ttyACM0"), ports);
    item.SetOnDebugEvent(log.Handler());

    // Never opened: not open, and silent about it.
    EXPECT_FALSE(item.IsOpen());
    EXPECT_TRUE(log.Lines.empty());

    EXPECT_FALSE(item.ClosePhone());
    ASSERT_EQ(log.Texts(), Texts{"Close Phone Failed"});
    EXPECT_EQ(log.Lines[0].Type, dtError);

    // A time-out cannot be stored while the port is closed.
    log.Clear();
    item.SetTimeOut(500);
    EXPECT_EQ(log.Texts(), Texts{"Phone Set TimeOut Failed"});
    EXPECT_EQ(item.TimeOut(), 0);

    log.Clear();
    item.SwitchMode(amMode8);
    EXPECT_EQ(log.Texts(), (Texts{"Phone Write Data Failed", "Phone Send Command Failed",
                                  "Phone Switch Mode Failed - Error Send Command"}));
    EXPECT_TRUE(log.Lines[0].SubError);
    EXPECT_EQ(log.Lines[0].Type, dtError);
    EXPECT_FALSE(log.Lines[1].SubError);
    EXPECT_EQ(log.Lines[2].Type, dtError);
    EXPECT_EQ(ports.State.Opens, 0);
    EXPECT_EQ(ports.State.Writes, 0);
}

TEST(ATModemItem, OpenAndCloseOnPty) {
    PtyRig rig;
    // With TimeOut 0 and a port whose read constant is 0, opening sets nothing.
    EXPECT_TRUE(rig.Item.OpenPhone());
    EXPECT_EQ(rig.Log.Texts(), Texts{"Open Phone"});
    EXPECT_TRUE(rig.Item.IsOpen());

    rig.Log.Clear();
    EXPECT_TRUE(rig.Item.OpenPhone());
    EXPECT_TRUE(rig.Log.Lines.empty());

    rig.Item.SetTimeOut(500);
    EXPECT_EQ(rig.Item.TimeOut(), 500);
    rig.Item.SetTimeOut(500);  // already so: nothing to do or say
    EXPECT_EQ(rig.Log.Texts(), Texts{"Phone Set TimeOut"});

    rig.Log.Clear();
    EXPECT_TRUE(rig.Item.ClosePhone());
    EXPECT_FALSE(rig.Item.IsOpen());
    // The new port starts without time-outs, so the stored one is applied again.
    EXPECT_TRUE(rig.Item.OpenPhone());
    EXPECT_EQ(rig.Log.Texts(), (Texts{"Phone Close", "Phone Set TimeOut", "Open Phone"}));
    EXPECT_EQ(rig.Log.Lines[0].Type, dtInformation);

    TATLog otherLog;
    TMotoATModemItem missing(ModemDevise(8, "/nonexistent/ttyACM9"), rig.Ports);
    missing.SetOnDebugEvent(otherLog.Handler());
    EXPECT_FALSE(missing.OpenPhone());
    EXPECT_FALSE(missing.IsOpen());
    ASSERT_EQ(otherLog.Texts(), Texts{"Open Phone Failed"});
    EXPECT_EQ(otherLog.Lines[0].Type, dtError);
}

TEST(ATModemItem, FarEndGoneIsClosedByIsOpen) {
    PtyRig rig;
    ASSERT_TRUE(rig.Item.OpenPhone());
    rig.Modem.Hangup();
    rig.Log.Clear();
    EXPECT_FALSE(rig.Item.IsOpen());
    EXPECT_EQ(rig.Log.Texts(), Texts{"Phone Close"});
    // Closed now: later checks are silent, and the gone node cannot be reopened.
    EXPECT_FALSE(rig.Item.IsOpen());
    EXPECT_FALSE(rig.Item.OpenPhone());
    EXPECT_EQ(rig.Log.Texts(), (Texts{"Phone Close", "Open Phone Failed"}));

    // A port that answers with a zero baud rate counts as dead too.
    TFakeSerialPorts ports;
    TATLog log;
    TMotoATModemItem item(ModemDevise(2, "fake"), ports);
    item.SetOnDebugEvent(log.Handler());
    ASSERT_TRUE(item.OpenPhone());
    ports.State.BaudRate = 0;
    EXPECT_FALSE(item.IsOpen());
    EXPECT_EQ(ports.State.Closes, 1);
    EXPECT_EQ(log.Texts(), (Texts{"Open Phone", "Phone Close"}));
}

TEST(ATModemItem, StalledFarEndBoundsTheWrite) {
    PtyRig rig;
    rig.Modem.SetReading(false);
    ASSERT_TRUE(rig.Item.OpenPhone());
    rig.Item.SetTimeOut(100);
    ASSERT_EQ(rig.Item.TimeOut(), 100);

    // More than the terminal can buffer: the write gives up with what it took.
    std::vector<uint8_t> big(1 << 20, 'x');
    rig.Log.Clear();
    int32_t taken = rig.Item.WriteData(big.data(), static_cast<int32_t>(big.size()));
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, static_cast<int32_t>(big.size()));
    EXPECT_EQ(rig.Log.Texts(), Texts{"Phone Write Data"});

    // Buffer full: nothing goes through, and that is a failure, not a success.
    rig.Log.Clear();
    EXPECT_FALSE(rig.Item.SendCommand("AT+Mode=8"));
    EXPECT_EQ(rig.Log.Texts(), (Texts{"Phone Write Data Failed", "Phone Send Command Failed"}));

    // Once the far end reads again the port works as before.
    rig.Modem.SetReading(true);
    ASSERT_TRUE(rig.Modem.WaitForBytes(static_cast<size_t>(taken), WaitMs));
    EXPECT_TRUE(rig.Item.SendCommand("AT"));
    EXPECT_TRUE(rig.Modem.WaitForBytes(static_cast<size_t>(taken) + 4, WaitMs));
}

TEST(ATModemItem, TimeOutReadBackRules) {
    TFakeSerialPorts ports;
    TATLog log;
    TMotoATModemItem item(ModemDevise(3, "fake"), ports);
    item.SetOnDebugEvent(log.Handler());
    ASSERT_TRUE(item.OpenPhone());
    log.Clear();

    // 500 on a port whose read constant is 0: read and write constants both 500.
    ports.State.Timeouts.ReadIntervalTimeout = 7;
    ports.State.Timeouts.WriteTotalTimeoutMultiplier = 9;
    item.SetTimeOut(500);
    EXPECT_EQ(item.TimeOut(), 500);
    EXPECT_EQ(ports.State.Timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(ports.State.Timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(ports.State.Timeouts.ReadTotalTimeoutConstant, 500u);
    EXPECT_EQ(ports.State.Timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(ports.State.Timeouts.WriteTotalTimeoutConstant, 500u);
    EXPECT_EQ(log.Texts(), Texts{"Phone Set TimeOut"});

    // The port keeps another value: that value is stored, and it is an error.
    log.Clear();
    ports.State.ClampRead = true;
    ports.State.ClampReadTo = 250;
    item.SetTimeOut(1000);
    EXPECT_EQ(item.TimeOut(), 250);
    ASSERT_EQ(log.Texts(), Texts{"Phone Set TimeOut Failed"});
    EXPECT_EQ(log.Lines[0].Type, dtError);
    ports.State.ClampRead = false;

    // Setting fails: value kept.
    log.Clear();
    ports.State.FailSetTimeouts = true;
    item.SetTimeOut(40);
    EXPECT_EQ(item.TimeOut(), 250);
    EXPECT_EQ(log.Texts(), Texts{"Phone Set TimeOut Failed"});
    ports.State.FailSetTimeouts = false;

    // Reading back fails: value kept.
    log.Clear();
    ports.State.SetSinceGet = false;
    ports.State.FailSecondGetTimeouts = true;
    item.SetTimeOut(40);
    EXPECT_EQ(item.TimeOut(), 250);
    EXPECT_EQ(log.Texts(), Texts{"Phone Set TimeOut Failed - Error Get TimeOut"});
    ports.State.FailSecondGetTimeouts = false;

    // The first query fails but setting works: applied as usual.
    log.Clear();
    ports.State.FailGetTimeouts = false;
    item.SetTimeOut(-1);
    EXPECT_EQ(item.TimeOut(), -1);
    EXPECT_EQ(ports.State.Timeouts.WriteTotalTimeoutConstant, 0xFFFFFFFFu);
    EXPECT_EQ(log.Texts(), Texts{"Phone Set TimeOut"});
}

TEST(ATModemItem, WriteEdgesAndBadArguments) {
    TFakeSerialPorts ports;
    TATLog log;
    TMotoATModemItem item(ModemDevise(4, "fake"), ports);
    item.SetOnDebugEvent(log.Handler());
    ASSERT_TRUE(item.OpenPhone());
    log.Clear();

    // Values outside the three modes write and report nothing.
    item.SwitchMode(static_cast<TATModeSwitch>(3));
    item.SwitchMode(static_cast<TATModeSwitch>(-1));
    EXPECT_EQ(ports.State.Writes, 0);
    EXPECT_TRUE(log.Lines.empty());

    // A negative count never reaches the port.
    const uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_EQ(item.WriteData(data, -1), 0);
    EXPECT_EQ(item.WriteData(nullptr, 4), 0);
    EXPECT_EQ(ports.State.Writes, 0);
    EXPECT_EQ(log.Texts(), (Texts{"Phone Write Data Failed", "Phone Write Data Failed"}));

    // A partly written line counts as sent.
    log.Clear();
    ports.State.WriteLimit = 3;
    EXPECT_TRUE(item.SendCommand("AT+Mode=8"));
    EXPECT_EQ(ports.State.Wire, bytes("AT+"));
    EXPECT_EQ(log.Texts(), (Texts{"Phone Write Data", "Phone Send Command"}));

    log.Clear();
    ports.State.FailWrite = true;
    EXPECT_EQ(item.WriteData(data, 4), 0);
    item.SwitchMode(amMode24);
    EXPECT_EQ(log.Texts(), (Texts{"Phone Write Data Failed", "Phone Write Data Failed",
                                  "Phone Send Command Failed",
                                  "Phone Switch Mode Failed - Error Send Command"}));
}

TEST(ATModemItem, CloseFailureAndDestruction) {
    TFakeSerialPorts ports;
    TATLog log;
    {
        TMotoATModemItem item(ModemDevise(5, "fake"), ports);
        item.SetOnDebugEvent(log.Handler());
        ASSERT_TRUE(item.OpenPhone());
        ports.State.FailClose = true;
        EXPECT_FALSE(item.ClosePhone());
        EXPECT_TRUE(item.IsOpen());  // the handle is kept
        ports.State.FailClose = false;
        log.Clear();
    }
    // Freeing an open item closes its port first.
    EXPECT_EQ(log.Texts(), Texts{"Phone Close"});
    EXPECT_EQ(ports.State.Closes, 2);
}
