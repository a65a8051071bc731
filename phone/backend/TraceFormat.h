#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The wire trace's text format: one event a line (docs/trace-format.md).
//
//   snaprill-trace 1
//   0.000412 p2k request n=1 setup=4102000008000800 id=0001 cmd=0020 payload=... result=ok
//
// A line is the seconds since the trace began, a topic, an event and
// key=value fields. A value is a bare token (no blank, no quote) or a quoted
// text with C escapes (\\ \" \r \n \t \xHH). Lines starting with "#" and
// blank lines are comments.

inline constexpr std::string_view TraceMagic = "snaprill-trace 1";

// Lower-case hex digits of Size bytes, two a byte.
std::string HexBytes(const uint8_t* Data, size_t Size);
// False when Hex is not an even number of hex digits.
bool ParseHexBytes(std::string_view Hex, std::vector<uint8_t>& Out);
// The SHA-256 of the bytes, in lower-case hex.
std::string Sha256Hex(const uint8_t* Data, size_t Size);

// One event line, as written or as read back.
struct TTraceEvent {
    double Seconds = 0;
    std::string Topic;  // program, usb, p2k, at, phone
    std::string Event;  // start, device, gone, arrival, removal, open, request, status, ...
    std::vector<std::pair<std::string, std::string>> Fields;

    TTraceEvent() = default;
    TTraceEvent(std::string TopicName, std::string EventName)
        : Topic(std::move(TopicName)), Event(std::move(EventName)) {}

    // Adds a field; a value that is not a bare token is written quoted.
    TTraceEvent& Add(std::string Key, std::string Value);
    TTraceEvent& Add(std::string Key, uint64_t Value);
    TTraceEvent& AddHex(std::string Key, const uint8_t* Data, size_t Size);

    // The value of Key; nullptr when the line has none.
    const std::string* Find(std::string_view Key) const;
    std::string Get(std::string_view Key, const std::string& Default = {}) const;
    // The line without its time and newline: "topic event key=value ...".
    std::string Text() const;
};

// Reads one line (without its newline). False, with the reason in Error, for
// a line that is not an event.
bool ParseTraceEvent(std::string_view Line, TTraceEvent& Out, std::string& Error);

// A whole trace as read: its events in order, or where and why it is not a
// trace (Error empty when it is).
struct TTraceText {
    std::vector<TTraceEvent> Events;
    std::string Error;
    int ErrorLine = 0;
};
TTraceText ReadTraceText(std::string_view Text);
TTraceText ReadTraceFile(const std::string& Path);
