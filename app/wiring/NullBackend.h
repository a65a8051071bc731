#pragma once

#include "backend/Backend.h"

// A backend with no phones: nothing is ever present, nothing opens. The
// window runs on it where no other backend can be had, and tests use it.
struct TNullBackend {
    struct Devices final : IDeviceSource {
        std::vector<TDeviseInterface> Enumerate(const std::string&) override { return {}; }
        bool RegisterNotify(const std::string&, IDeviceChangeSink*) override { return true; }
        void UnregisterNotify(IDeviceChangeSink*) override {}
        int EventFd() const override { return -1; }
        void DispatchPending() override {}
    };
    struct Transport final : IP2KTransport {
        std::unique_ptr<IP2KChannel> Open(const std::string&) override { return nullptr; }
    };
    struct Ports final : ISerialPorts {
        std::unique_ptr<ISerialPort> Open(const std::string&) override { return nullptr; }
    };
    struct Clock final : IClock {
        uint32_t TickCount() override { return now_ += 1; }
        void Sleep(uint32_t Milliseconds) override { now_ += Milliseconds; }
        uint32_t now_ = 0;
    };

    Devices DeviceSource;
    Transport P2K;
    Ports Serial;
    Clock Time;
    TPhoneBackend Backend{DeviceSource, P2K, Serial, Time};
};
