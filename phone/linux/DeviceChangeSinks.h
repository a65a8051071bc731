#pragma once

#include <string>
#include <vector>

#include "backend/DeviceSource.h"

// The sinks registered with a device source, by interface class, and the
// delivery of one change message to those of a class.
class TDeviceChangeSinks {
  public:
    void Add(const std::string& InterfaceGuid, IDeviceChangeSink* Sink);
    void Remove(IDeviceChangeSink* Sink);
    // Tells every sink of the class of Change, naming the interface Name. A sink may add or remove
    // sinks from its handler (a component destroyed by its own event): one removed meanwhile is not
    // called any more.
    void Deliver(const std::string& InterfaceGuid, TDeviceChange Change, const std::string& Name);

  private:
    struct TEntry {
        std::string Guid;
        IDeviceChangeSink* Sink;
    };
    std::vector<TEntry> entries_;
};
