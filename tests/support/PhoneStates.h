#pragma once

// A virtual phone's state as tests describe it: model, firmware and files.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/VirtualPhone.h"
#include "sim/VirtualPhoneText.h"

namespace test {

using TPhoneFiles = std::map<std::string, std::vector<uint8_t>>;

// A phone with the given model, flex digits and files.
inline TVirtualPhoneState PhoneState(const std::string& Model, const std::string& Flex,
                                     const TPhoneFiles& Files = {}) {
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    s.SetSeem(SeemModel, 1, ModelSeemBytes(Model));
    s.SetSeem(SeemFlex, 1, PackedFlexSeemBytes(Flex));
    for (const auto& [name, data] : Files) {
        s.Files[name] = {data, 0, 0};
    }
    return s;
}

}  // namespace test
