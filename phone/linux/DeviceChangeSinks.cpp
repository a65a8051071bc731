#include "linux/DeviceChangeSinks.h"

#include <algorithm>

void TDeviceChangeSinks::Add(const std::string& InterfaceGuid, IDeviceChangeSink* Sink) {
    entries_.push_back({InterfaceGuid, Sink});
}

void TDeviceChangeSinks::Remove(IDeviceChangeSink* Sink) {
    std::erase_if(entries_, [Sink](const TEntry& E) { return E.Sink == Sink; });
}

void TDeviceChangeSinks::Deliver(const std::string& InterfaceGuid, TDeviceChange Change,
                                 const std::string& Name) {
    const std::vector<TEntry> Snapshot = entries_;
    for (const auto& E : Snapshot) {
        if (E.Guid != InterfaceGuid) {
            continue;
        }
        bool Still = std::any_of(entries_.begin(), entries_.end(), [&](const TEntry& X) {
            return X.Sink == E.Sink && X.Guid == InterfaceGuid;
        });
        if (Still) {
            E.Sink->DeviceChanged(Change, Name);
        }
    }
}
