#pragma once

// The P2K component over a plugged virtual phone.

#include <memory>
#include <string>

#include "MotoP2KMode.h"
#include "backend/Clock.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhone.h"
#include "support/FakeDeviceSource.h"

namespace test {

struct TVirtualRig {
    TVirtualDeviceSource Devices;
    TVirtualP2KTransport Transport{Devices};
    TNoSerialPorts Serial;
    TFakeClock Clock;
    TPhoneBackend Backend{Devices, Transport, Serial, Clock};
    std::shared_ptr<TVirtualPhone> Phone;
    std::unique_ptr<TMotoP2KMode> Mode;
    std::shared_ptr<TMotoP2KModemItem> Item;

    explicit TVirtualRig(TVirtualPhoneState State = DefaultVirtualPhoneState())
        : Phone(std::make_shared<TVirtualPhone>(std::move(State))) {
        Devices.PlugPhone("one", Phone);
        Devices.DispatchPending();
        Mode = std::make_unique<TMotoP2KMode>(Backend);
        Item = Mode->DeviseList().Hold(0);
        if (Item) {
            Item->OpenPhone();
        }
    }
};

inline std::vector<uint8_t> FileBytes(size_t N, unsigned Seed = 1) {
    std::vector<uint8_t> b(N);
    uint32_t x = Seed * 2654435761u + 1;
    for (auto& v : b) {
        x = x * 1103515245u + 12345u;
        v = static_cast<uint8_t>(x >> 16);
    }
    return b;
}

}  // namespace test
