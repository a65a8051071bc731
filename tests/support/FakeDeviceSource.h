#pragma once

// A device source for tests: the interfaces present are whatever the test
// puts in Present; Fire delivers a device-change message to the sinks.

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "backend/DeviceSource.h"
#include "backend/SerialPort.h"

namespace test {

class TFakeDeviceSource : public IDeviceSource {
  public:
    std::map<std::string, std::vector<TDeviseInterface>> Present;
    std::vector<std::pair<std::string, IDeviceChangeSink*>> Sinks;
    bool RefuseNotify = false;
    int Enumerations = 0;

    std::vector<TDeviseInterface> Enumerate(const std::string& InterfaceGuid) override {
        ++Enumerations;
        auto it = Present.find(InterfaceGuid);
        return it == Present.end() ? std::vector<TDeviseInterface>{} : it->second;
    }
    bool RegisterNotify(const std::string& InterfaceGuid, IDeviceChangeSink* Sink) override {
        if (RefuseNotify) {
            return false;
        }
        Sinks.emplace_back(InterfaceGuid, Sink);
        return true;
    }
    void UnregisterNotify(IDeviceChangeSink* Sink) override {
        std::erase_if(Sinks, [Sink](const auto& s) { return s.second == Sink; });
    }
    int EventFd() const override { return -1; }
    void DispatchPending() override {}

    void Fire(TDeviceChange Change, const std::string& Name = {}) {
        for (auto& s : std::vector(Sinks)) {
            s.second->DeviceChanged(Change, Name);
        }
    }
};

inline TDeviseInterface P2KInterface(uint32_t DevInst, const std::string& Path,
                                     const std::string& Desc = "Motorola Test Command Interface") {
    TDeviseInterface i;
    i.DevInst = DevInst;
    i.DevicePath = Path;
    i.Properties.Description = Desc;
    return i;
}

class TNoSerialPorts : public ISerialPorts {
  public:
    std::unique_ptr<ISerialPort> Open(const std::string&) override { return nullptr; }
};

}  // namespace test
