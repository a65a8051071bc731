#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "backend/Backend.h"
#include "backend/TraceLog.h"

// Decorators that write a wire trace of what crosses the three seams, and
// change nothing of it: every call goes to the layer beneath with the same
// arguments, and its results come back untouched.
//
// The device source traces each interface the first time an enumeration
// lists it (usb device), when it is no longer listed (usb gone), and every
// arrival and removal it delivers. The P2K channel traces each request, each
// status poll and each response fetch with its bytes; the data of file reads
// and writes as their length and SHA-256 unless the log keeps data. The
// serial port traces its opening and every line written.

// The name of an interface class in a trace: p2k, modem, or the class itself.
std::string TraceClassName(const std::string& InterfaceGuid);
// The interface class a trace's class name stands for.
std::string TraceClassGuid(const std::string& Name);

class TTracingDeviceSource final : public IDeviceSource {
  public:
    TTracingDeviceSource(IDeviceSource& Inner, TTraceLog& Log);
    ~TTracingDeviceSource() override;

    std::vector<TDeviseInterface> Enumerate(const std::string& InterfaceGuid) override;
    bool RegisterNotify(const std::string& InterfaceGuid, IDeviceChangeSink* Sink) override;
    void UnregisterNotify(IDeviceChangeSink* Sink) override;
    int EventFd() const override { return inner_.EventFd(); }
    void DispatchPending() override { inner_.DispatchPending(); }

  private:
    class TSink;
    IDeviceSource& inner_;
    TTraceLog& log_;
    // Interfaces listed so far, by class: DevInst and path.
    std::map<std::string, std::set<std::pair<uint32_t, std::string>>> listed_;
    std::map<IDeviceChangeSink*, std::unique_ptr<TSink>> sinks_;
    // Unregistered while one of them may be delivering: kept until the end.
    std::vector<std::unique_ptr<TSink>> retired_;
};

class TTracingP2KTransport final : public IP2KTransport {
  public:
    TTracingP2KTransport(IP2KTransport& Inner, TTraceLog& Log) : inner_(Inner), log_(Log) {}

    std::unique_ptr<IP2KChannel> Open(const std::string& DevicePath) override;
    bool HeldElsewhere(const std::string& DevicePath) const override {
        return inner_.HeldElsewhere(DevicePath);
    }

  private:
    IP2KTransport& inner_;
    TTraceLog& log_;
};

class TTracingSerialPorts final : public ISerialPorts {
  public:
    TTracingSerialPorts(ISerialPorts& Inner, TTraceLog& Log) : inner_(Inner), log_(Log) {}

    std::unique_ptr<ISerialPort> Open(const std::string& DevicePath) override;

  private:
    ISerialPorts& inner_;
    TTraceLog& log_;
};

// The three decorators around a backend, and the backend made of them (the
// same clock and local files).
class TTracedBackend {
  public:
    TTracedBackend(TPhoneBackend& Inner, TTraceLog& Log);
    TTracedBackend(const TTracedBackend&) = delete;
    TTracedBackend& operator=(const TTracedBackend&) = delete;

    TPhoneBackend& Backend() { return backend_; }

  private:
    TTracingDeviceSource devices_;
    TTracingP2KTransport transport_;
    TTracingSerialPorts ports_;
    TPhoneBackend backend_;
};
