#pragma once

// Virtual phones behind the seams of a backend, time on a fake clock, and
// the local files of downloads: what the session's, the command line's and
// the window's test fixtures and the benchmarks stand on.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "backend/Backend.h"
#include "backend/Clock.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhone.h"
#include "support/FakeDeviceSource.h"
#include "support/PhoneStates.h"
#include "support/RecordingFiles.h"
#include "support/TestFiles.h"

namespace test {

// Phones plugged into a virtual device source, reached through a virtual
// P2K transport; serial ports of the kind a front end needs (pseudo
// terminals for virtual modems, or none); downloads written through TLocal.
template <class TPorts, class TLocal = TRecordingFiles>
class TPhoneRig {
  public:
    using TFiles = TPhoneFiles;

    // A phone with the given model, flex digits and files.
    static TVirtualPhoneState phoneState(const std::string& Model, const std::string& Flex,
                                         const TFiles& Files = {}) {
        return PhoneState(Model, Flex, Files);
    }
    // Plugs a phone; whoever listens hears of it when the device source's
    // pending events are dispatched.
    std::shared_ptr<TVirtualPhone> plug(const std::string& Name, TVirtualPhoneState State) {
        auto phone = std::make_shared<TVirtualPhone>(std::move(State));
        phone->KeepReceived(keepReceived);
        devices.PlugPhone(Name, phone);
        return phone;
    }
    // Plugged before a session or window exists: it finds the phone at start.
    std::shared_ptr<TVirtualPhone> plugBefore(const std::string& Name, TVirtualPhoneState State) {
        auto phone = plug(Name, std::move(State));
        devices.DispatchPending();
        return phone;
    }

    TVirtualDeviceSource devices;
    TVirtualP2KTransport transport{devices};
    TPorts serial;
    TFakeClock clock;
    TLocal localFiles;
    TPhoneBackend backend{devices, transport, serial, clock, localFiles};
    // Whether the phones plugged next keep every request they received.
    bool keepReceived = true;
};

}  // namespace test
