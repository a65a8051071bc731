// The termios modem port on a pseudo-terminal.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "linux/TermiosSerialPort.h"
#include "sim/VirtualModem.h"

namespace {

constexpr int WaitMs = 5000;  // bound on waits for the reader thread

std::vector<uint8_t> bytes(const std::string& Text) {
    return {Text.begin(), Text.end()};
}

bool writeAll(ISerialPort& Port, const std::string& Text) {
    size_t written = 0;
    return Port.Write(reinterpret_cast<const uint8_t*>(Text.data()), Text.size(), written) &&
           written == Text.size();
}

}  // namespace

TEST(TermiosSerialPort, SendsBytesAsWrittenAndLeavesLineSettings) {
    TVirtualModem modem;
    ASSERT_TRUE(modem.IsValid());

    // The terminal starts in its default mode: a plain write gets LF turned
    // into CR LF. This is what the port must undo.
    termios before{};
    {
        int fd = ::open(modem.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::tcgetattr(fd, &before), 0);
        ASSERT_EQ(::write(fd, "A\n", 2), 2);
        ::close(fd);
    }
    ASSERT_TRUE(modem.WaitForBytes(3, WaitMs));
    EXPECT_EQ(modem.Received(), bytes("A\r\n"));

    TTermiosSerialPorts ports;
    auto port = ports.Open(modem.SlavePath());
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(writeAll(*port, "B\n\r\n"));
    ASSERT_TRUE(modem.WaitForBytes(3 + 4, WaitMs));
    EXPECT_EQ(modem.Received(), bytes("A\r\nB\n\r\n"));

    // Only output processing changed: speed, framing, input and local modes stay.
    termios after{};
    auto* termiosPort = static_cast<TTermiosSerialPort*>(port.get());
    ASSERT_EQ(::tcgetattr(termiosPort->Fd(), &after), 0);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
    EXPECT_EQ(::cfgetispeed(&after), ::cfgetispeed(&before));
    EXPECT_EQ(after.c_oflag & OPOST, 0u);
    // The descriptor is not inherited by child processes.
    EXPECT_NE(::fcntl(termiosPort->Fd(), F_GETFD) & FD_CLOEXEC, 0);
}

TEST(TermiosSerialPort, OpenRefusesWhatIsNoTerminal) {
    TTermiosSerialPorts ports;
    EXPECT_EQ(ports.Open(""), nullptr);
    EXPECT_EQ(ports.Open("/nonexistent/ttyACM0"), nullptr);
    EXPECT_EQ(ports.Open("/dev/null"), nullptr);  // a device, but not a tty
    char name[] = "/tmp/snaprill-notatty-XXXXXX";
    int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(ports.Open(name), nullptr);
    ::unlink(name);
}

TEST(TermiosSerialPort, CommStateTimeoutsAndClose) {
    TVirtualModem modem;
    ASSERT_TRUE(modem.IsValid());
    TTermiosSerialPorts ports;
    auto port = ports.Open(modem.SlavePath());
    ASSERT_NE(port, nullptr);

    uint32_t baud = 0;
    EXPECT_TRUE(port->GetCommState(baud));
    EXPECT_GT(baud, 0u);

    // A new port has no time-outs; what is set is what is read back.
    TCommTimeouts t;
    ASSERT_TRUE(port->GetTimeouts(t));
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);
    TCommTimeouts set{1, 2, 3, 4, 5};
    ASSERT_TRUE(port->SetTimeouts(set));
    ASSERT_TRUE(port->GetTimeouts(t));
    EXPECT_EQ(t.ReadIntervalTimeout, 1u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 5u);

    // The far end hangs up: the comm-state query fails, the close still works.
    modem.Hangup();
    EXPECT_FALSE(port->GetCommState(baud));
    size_t written = 0;
    const uint8_t b = 'x';
    EXPECT_FALSE(port->Write(&b, 1, written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(port->Close());

    // Closed: everything fails, a second close included.
    EXPECT_FALSE(port->Close());
    EXPECT_FALSE(port->GetCommState(baud));
    EXPECT_FALSE(port->GetTimeouts(t));
    EXPECT_FALSE(port->SetTimeouts(set));
    EXPECT_FALSE(port->Write(&b, 1, written));
}

TEST(TermiosSerialPort, WritesWaitWithinTheirTimeOut) {
    TVirtualModem modem;
    ASSERT_TRUE(modem.IsValid());
    modem.SetReading(false);
    TTermiosSerialPorts ports;
    auto port = ports.Open(modem.SlavePath());
    ASSERT_NE(port, nullptr);

    // Far more than the terminal buffers: the write has to wait for the
    // reader, and with no time-out it does, however long that takes.
    std::vector<uint8_t> big(size_t{256} * 1024, 'y');
    size_t written = 0;
    bool ok = false;
    std::thread writer([&] { ok = port->Write(big.data(), big.size(), written); });
    modem.SetReading(true);
    writer.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(written, big.size());
    EXPECT_TRUE(modem.WaitForBytes(big.size(), WaitMs));

    // With a time-out, a stalled far end ends the write with what was taken,
    // and a full buffer with nothing taken is a failure.
    modem.SetReading(false);
    TCommTimeouts t;
    std::vector<uint8_t> more(1 << 20, 'w');
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 50;
    ASSERT_TRUE(port->SetTimeouts(t));
    EXPECT_TRUE(port->Write(more.data(), more.size(), written));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, more.size());
    EXPECT_FALSE(port->Write(more.data(), more.size(), written));
    EXPECT_EQ(written, 0u);
}
