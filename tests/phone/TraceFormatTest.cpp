// The wire trace's text: written, read back, and what a file that cannot be
// written does; a replay's answers to a phone that was slow to be ready.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "backend/TraceFormat.h"
#include "backend/TraceLog.h"
#include "sim/ReplayPhone.h"

TEST(TraceFormat, ValuesComeBackAsWritten) {
    const std::string values[] = {"plain",
                                  "",
                                  "two words",
                                  "a \"quote\"",
                                  "back\\slash",
                                  "AT+Mode=8\r\n",
                                  std::string("\x00\x01\xff\x7f", 4),
                                  "key=value",
                                  "\xcf\xf0\xe8",
                                  "tab\there"};
    for (const std::string& v : values) {
        SCOPED_TRACE(testing::PrintToString(v));
        TTraceEvent e("at", "write");
        e.Add("line", v).Add("n", 7);
        TTraceEvent back;
        std::string error;
        ASSERT_TRUE(ParseTraceEvent("1.500000 " + e.Text(), back, error)) << error;
        EXPECT_EQ(back.Seconds, 1.5);
        EXPECT_EQ(back.Topic + " " + back.Event, "at write");
        EXPECT_EQ(back.Get("line", "<none>"), v);
        EXPECT_EQ(back.Get("n"), "7");
        EXPECT_EQ(e.Text().find('\n'), std::string::npos) << "one event, one line";
    }
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ParseHexBytes("00ff7A", bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x00, 0xff, 0x7a}));
    EXPECT_FALSE(ParseHexBytes("abc", bytes));
    EXPECT_FALSE(ParseHexBytes("zz", bytes));
    EXPECT_EQ(Sha256Hex(nullptr, 0),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(TraceFormat, LinesThatAreNotEvents) {
    const struct {
        const char* Line;
        const char* Error;
    } cases[] = {
        {"p2k request n=1", "no time at the start of the line"},
        {"0.1 p2k", "no topic and event after the time"},
        {"0.1 p2k request n", "a field that is not key=value"},
        {"0.1 p2k request =1", "a field that is not key=value"},
        {"0.1 at write line=\"open", "a quoted value without its closing quote"},
        {"0.1 at write line=\"\\q\"", "an unknown escape \\q"},
        {"0.1 at write line=\"\\x4\"", "a \\x escape without two hex digits"},
        {"0.1 at write line=\"a\"b", "text after a quoted value"},
    };
    for (const auto& c : cases) {
        TTraceEvent e;
        std::string error;
        EXPECT_FALSE(ParseTraceEvent(c.Line, e, error)) << c.Line;
        EXPECT_EQ(error, c.Error) << c.Line;
    }
    EXPECT_EQ(ReadTraceText("").Error, "not a trace: it is empty");
    EXPECT_EQ(ReadTraceText("hello\n").Error,
              "not a trace: the first line is not \"snaprill-trace 1\"");
    const TTraceText t = ReadTraceText("snaprill-trace 1\r\n# note\n\n0.2 usb gone x=1\n0.3 bad\n");
    EXPECT_EQ(t.Events.size(), 1u);
    EXPECT_EQ(t.ErrorLine, 5);
}

// A file that cannot be written costs one warning and nothing else; a
// repeated line is written once with its count.
TEST(TraceLog, UnwritableFileAndRepeatedLines) {
    std::vector<std::string> warnings;
    TTraceLog nowhere;
    EXPECT_FALSE(nowhere.OpenFile("/nonexistent/folder/x.trace",
                                  [&](const std::string& W) { warnings.push_back(W); }));
    nowhere.Write(TTraceEvent("p2k", "open"));
    EXPECT_FALSE(nowhere.Active());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0],
              "the trace file /nonexistent/folder/x.trace cannot be written (No such file or "
              "directory); the command goes on without it");

    TTraceLog full;
    ASSERT_TRUE(full.OpenFile("/dev/full", [&](const std::string& W) { warnings.push_back(W); }) ||
                warnings.size() == 2);
    for (int i = 0; i < 3; ++i) {
        full.Write(TTraceEvent("p2k", "open"));
    }
    EXPECT_EQ(warnings.size(), 2u) << "a disk that is full: told once";

    const std::string path = testing::TempDir() + "repeat.trace";
    {
        TTraceLog log;
        double now = 0;
        log.SetClock([&now] { return now += 0.25; });
        ASSERT_TRUE(log.OpenFile(path, nullptr));
        TTraceEvent poll("p2k", "status");
        poll.Add("n", 1).Add("ready", 0);
        for (int i = 0; i < 4; ++i) {
            log.WriteRepeatable(poll);
        }
        log.WriteRepeatable(TTraceEvent("p2k", "status").Add("n", 1).Add("ready", 1));
        log.Write(TTraceEvent("p2k", "reply"));
    }
    const TTraceText t = ReadTraceFile(path);
    ASSERT_EQ(t.Events.size(), 3u);
    EXPECT_EQ(t.Events[0].Get("repeat"), "4");
    EXPECT_EQ(t.Events[0].Seconds, 0.25);
    EXPECT_EQ(t.Events[1].Find("repeat"), nullptr);
    std::remove(path.c_str());
}

// A phone that was not ready at once: its not-ready answers are given as
// often as the program polls; then the ready one, then the response.
TEST(TraceReplay, NotReadyPollsAndTheEndOfTheTrace) {
    const char* trace =
        "snaprill-trace 1\n"
        "0 usb device class=p2k inst=5 path=/sys/p vendor=22b8 product=4901 desc=\"Test Command "
        "Interface\"\n"
        "0 p2k request n=1 setup=4102000008000800 id=0001 cmd=0020 payload= result=ok\n"
        "0 p2k status n=1 setup=c100000008000800 result=ok answer=0000000000000000 repeat=3\n"
        "0 p2k status n=1 setup=c100000008000800 result=ok answer=000000000001000d\n"
        "0 p2k reply n=1 setup=c101010008001300 result=ok head=000100100001002000000000000000010000"
        " data=2a\n"
        "0 p2k request n=2 setup=4102000008000800 id=0002 cmd=0020 payload= result=ok\n"
        "0 p2k status n=2 setup=c100000008000800 result=ok answer=0000000000000000 repeat=2\n";
    std::string error;
    auto replay = TTraceReplay::FromText(trace, "slow.trace", error);
    ASSERT_TRUE(replay) << error;
    EXPECT_FALSE(replay->StartsAsModem());
    EXPECT_EQ(replay->P2KDevice().Properties.VendorId, "22b8");
    const uint8_t command[8] = {0x00, 0x01, 0x00, 0x20, 0, 0, 0, 0};
    const uint8_t setup[8] = {0x41, 0x02, 0, 0, 0x08, 0, 0x08, 0};
    const uint8_t status[9] = {0xc1, 0x00, 0, 0, 0x08, 0, 0x08, 0, 0};
    const uint8_t fetch[9] = {0xc1, 0x01, 0x01, 0, 0x08, 0, 0x13, 0, 0};
    uint8_t out[64] = {};
    ASSERT_TRUE(replay->ControlOut(setup, command, 8));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(replay->ControlIn(status, out, sizeof out), 8);
        EXPECT_EQ(out[5], 0);
    }
    ASSERT_EQ(replay->ControlIn(status, out, sizeof out), 8);
    EXPECT_EQ(out[5], 1);
    ASSERT_EQ(replay->ControlIn(fetch, out, sizeof out), 19);
    EXPECT_EQ(out[18], 0x2a);
    // The second transaction was never ready: polled longer than traced, it
    // answers not ready again; then a request the trace does not have.
    const uint8_t second[8] = {0x00, 0x02, 0x00, 0x20, 0, 0, 0, 0};
    ASSERT_TRUE(replay->ControlOut(setup, second, 8));
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(replay->ControlIn(status, out, sizeof out), 8);
    }
    EXPECT_EQ(replay->Remaining(), 0u);
    EXPECT_FALSE(replay->ControlOut(setup, second, 8));
    EXPECT_EQ(replay->Failure(),
              "replay of slow.trace stopped at the end of the trace: the program sent one more "
              "request 41020000080008000002002000000000");
    EXPECT_EQ(replay->ControlIn(status, out, sizeof out), -1) << "stalls from then on";

    EXPECT_EQ(TTraceReplay::FromText("snaprill-trace 1\n", "x", error), nullptr);
    EXPECT_EQ(error, "the trace shows no phone");
}
