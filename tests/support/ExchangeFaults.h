#pragma once

// One exchange of a virtual phone's link made to go wrong, in each way a
// phone goes wrong: unplugged, the exchange failing, or the reply lying
// about its length.

#include <memory>
#include <string>

#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhone.h"

namespace test {

enum class TFault { Unplug, Fail, Lie };

inline const char* faultName(TFault F) {
    return F == TFault::Unplug ? "unplugged" : F == TFault::Fail ? "failing" : "lying";
}

// A hook for the transport that makes exchange At (counted over all
// channels) go wrong as F says, for the phone plugged as Name.
inline TVirtualP2KTransport::TExchangeHook exchangeFault(TFault F, uint64_t At,
                                                         TVirtualDeviceSource& Devices,
                                                         std::string Name,
                                                         std::shared_ptr<TVirtualPhone> Phone) {
    return [F, At, &Devices, Name = std::move(Name), Phone = std::move(Phone), lying = false,
            lieFrom = uint32_t{0}](TVirtualP2KTransport::TExchange Kind, const std::string&,
                                   uint64_t Index) mutable {
        auto& faults = Phone->Faults();
        // A lie lasts until the reply it was told in has been fetched.
        if (lying && Phone->Transactions() > lieFrom) {
            faults.LengthLies = false;
            lying = false;
        }
        faults.FailWrites = false;
        faults.FailReads = false;
        if (Index != At) {
            return;
        }
        switch (F) {
            case TFault::Unplug:
                Devices.UnplugPhone(Name);
                break;
            case TFault::Fail:
                (Kind == TVirtualP2KTransport::TExchange::Write ? faults.FailWrites
                                                                : faults.FailReads) = true;
                break;
            case TFault::Lie:
                faults.LengthLies = true;
                lying = true;
                lieFrom = Phone->Transactions();
                break;
        }
    };
}

}  // namespace test
