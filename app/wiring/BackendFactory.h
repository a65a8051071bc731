#pragma once

#include <functional>
#include <memory>
#include <string>

#include "linux/Doctor.h"

struct TPhoneBackend;
class TTraceLog;
class TTracedBackend;

// What a program asks of its backend beside the choice of phones.
struct TBackendOptions {
    // The program's name, for the trace's first event.
    std::string Program = "snaprill";
    // A wire trace is written here; when empty, to the file SNAPRILL_TRACE
    // names, if any.
    std::string TraceFile;
    // File contents go into the trace as they are (also SNAPRILL_TRACE_DATA=1);
    // otherwise as their length and SHA-256.
    bool TraceData = false;
    // One line for the user: a trace file that cannot be written, a
    // virtual phones' trace that cannot be replayed or whose replay ended.
    // Standard error when not given.
    std::function<void(const std::string&)> Warn;
};

// Owns the layers of one phone backend and the TPhoneBackend that refers to
// them: with a trace or the wire's logging categories on, the same layers
// behind the tracing decorators.
class TBackendHolder {
  public:
    virtual ~TBackendHolder();
    TPhoneBackend& Backend();
    // Turns the trace and the logging categories on as the options and the
    // environment ask; nothing is traced otherwise.
    void StartTrace(const TBackendOptions& Options, const char* Phones);
    // What keeps a phone from being used here (snaprill-cli doctor): the
    // real system, and its virtual phones when those are what the program
    // runs on.
    virtual TDoctorReport Doctor(const std::string& ProgramVersions) = 0;

  protected:
    // The layers themselves.
    virtual TPhoneBackend& Layers() = 0;

  private:
    std::unique_ptr<TTraceLog> trace_;
    std::unique_ptr<TTracedBackend> traced_;
};

// The backend the program runs on: the virtual phones of the folder named by
// SNAPRILL_VIRTUAL_PHONES when that is set, else the real Linux layers.
std::unique_ptr<TBackendHolder> createBackend(const TBackendOptions& Options = {});
