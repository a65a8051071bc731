#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "backend/TraceFormat.h"

// Where the wire trace goes: a file, and a listener (the program's logging
// categories), each optional. Every line gets the seconds since the log was
// made. Writing never fails a caller: a file that cannot be opened or written
// is reported once through the warning callback and then left alone.
class TTraceLog {
  public:
    using TListener = std::function<void(const std::string& Topic, const std::string& Line)>;
    using TWarning = std::function<void(const std::string& Message)>;
    using TSeconds = std::function<double()>;

    // KeepData: file contents (the data of file reads and writes) go into the
    // trace as they are; otherwise as their length and SHA-256.
    explicit TTraceLog(bool KeepData = false);
    ~TTraceLog();
    TTraceLog(const TTraceLog&) = delete;
    TTraceLog& operator=(const TTraceLog&) = delete;

    // Starts the file at Path (replacing one that is there) with the format's
    // first line. False, with one call of Warn, when it cannot be written.
    bool OpenFile(const std::string& Path, TWarning Warn);
    void SetListener(TListener Listener) { listener_ = std::move(Listener); }
    // Tests run on a clock of their own.
    void SetClock(TSeconds Seconds) { seconds_ = std::move(Seconds); }

    bool KeepData() const { return keepData_; }
    // Whether any line goes anywhere.
    bool Active() const { return file_ != nullptr || static_cast<bool>(listener_); }

    void Write(const TTraceEvent& Event);
    // A line that repeats the one before it exactly is counted instead of
    // written again (a phone polled many times before it answers): the run
    // is written once, with repeat=N, when another line comes.
    void WriteRepeatable(const TTraceEvent& Event);
    // Writes a counted run that is still held back, and the file out.
    void Flush();

    // The file is written out at least this often while lines come.
    static constexpr int FlushMs = 50;

    // The number of the next exchange with a phone (a P2K request or an AT
    // line), counted from 1 across the whole trace.
    uint64_t NextExchange() { return ++exchanges_; }

  private:
    void output(const TTraceEvent& Event, double Seconds, uint64_t Repeat);
    void writeHeld();
    void fail(const std::string& What);

    bool keepData_;
    std::FILE* file_ = nullptr;
    std::string path_;
    TWarning warn_;
    TListener listener_;
    TSeconds seconds_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point flushed_ = start_;
    uint64_t exchanges_ = 0;
    // The run held back by WriteRepeatable.
    bool held_ = false;
    TTraceEvent heldEvent_;
    std::string heldText_;
    double heldSeconds_ = 0;
    uint64_t heldCount_ = 0;
};
