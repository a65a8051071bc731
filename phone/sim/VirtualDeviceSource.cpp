#include "sim/VirtualDeviceSource.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* PhoneDescription = "Test Command Interface (virtual phone)";
constexpr const char* ModemDescription = "Motorola USB Modem (virtual)";
constexpr const char* Maker = "Snaprill (virtual device)";
constexpr const char* DriverName = "snaprill_virtual";

// FNV-1a: the same name always gives the same device instance.
uint32_t hashName(const std::string& S) {
    uint32_t h = 2166136261u;
    for (char c : S) {
        h ^= uint8_t(c);
        h *= 16777619u;
    }
    return h;
}

}  // namespace

TVirtualDeviceSource::TVirtualDeviceSource() : eventFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TVirtualDeviceSource::~TVirtualDeviceSource() {
    if (eventFd_ >= 0) {
        close(eventFd_);
    }
}

uint32_t TVirtualDeviceSource::newDevInst(bool IsModem, const std::string& Name) const {
    uint32_t inst = hashName((IsModem ? "modem/" : "p2k/") + Name);
    // Keep it non-zero and unique among the devices plugged now.
    auto taken = [&](uint32_t v) {
        return v == 0 || std::any_of(devices_.begin(), devices_.end(),
                                     [v](const TDevice& d) { return d.DevInst == v; });
    };
    while (taken(inst)) {
        ++inst;
    }
    return inst;
}

bool TVirtualDeviceSource::plug(TDevice Device) {
    std::lock_guard lock(mutex_);
    for (const TDevice& d : devices_) {
        if (d.IsModem == Device.IsModem && d.Name == Device.Name) {
            return false;
        }
    }
    Device.DevInst = newDevInst(Device.IsModem, Device.Name);
    Device.Generation = nextGeneration_++;
    devices_.push_back(std::move(Device));
    queue(TDeviceChange::Arrival, devices_.back());
    return true;
}

bool TVirtualDeviceSource::unplug(bool IsModem, const std::string& Name) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(devices_.begin(), devices_.end(), [&](const TDevice& d) {
        return d.IsModem == IsModem && d.Name == Name;
    });
    if (it == devices_.end()) {
        return false;
    }
    queue(TDeviceChange::Removal, *it);
    devices_.erase(it);
    return true;
}

std::string TVirtualDeviceSource::PlugPhone(const std::string& Name,
                                            std::shared_ptr<TVirtualPhone> Phone) {
    if (!Phone) {
        return {};
    }
    TDevice d;
    d.Name = Name;
    d.Path = PhonePath(Name);
    d.Phone = std::move(Phone);
    return plug(std::move(d)) ? PhonePath(Name) : std::string();
}

std::string TVirtualDeviceSource::PlugDevice(const std::string& Name,
                                             std::shared_ptr<IVirtualP2KDevice> Device,
                                             const TDeviceProperties& Properties,
                                             const std::string& Serial) {
    if (!Device) {
        return {};
    }
    TDevice d;
    d.Name = Name;
    d.Path = PhonePath(Name);
    d.Phone = std::move(Device);
    d.Properties = Properties;
    d.Serial = Serial;
    return plug(std::move(d)) ? PhonePath(Name) : std::string();
}

bool TVirtualDeviceSource::UnplugPhone(const std::string& Name) {
    return unplug(false, Name);
}

bool TVirtualDeviceSource::PlugModem(const std::string& Name, const std::string& PortPath) {
    TDevice d;
    d.IsModem = true;
    d.Name = Name;
    d.Path = PortPath;
    return plug(std::move(d));
}

bool TVirtualDeviceSource::PlugModem(const std::string& Name, const std::string& PortPath,
                                     const TDeviceProperties& Properties,
                                     const std::string& Serial) {
    TDevice d;
    d.IsModem = true;
    d.Name = Name;
    d.Path = PortPath;
    d.Properties = Properties;
    d.Serial = Serial;
    return plug(std::move(d));
}

bool TVirtualDeviceSource::UnplugModem(const std::string& Name) {
    return unplug(true, Name);
}

std::shared_ptr<TVirtualPhone> TVirtualDeviceSource::PhoneAt(const std::string& DevicePath,
                                                             uint64_t* Generation) const {
    return std::dynamic_pointer_cast<TVirtualPhone>(DeviceAt(DevicePath, Generation));
}

std::shared_ptr<IVirtualP2KDevice> TVirtualDeviceSource::DeviceAt(const std::string& DevicePath,
                                                                  uint64_t* Generation) const {
    std::lock_guard lock(mutex_);
    for (const TDevice& d : devices_) {
        if (!d.IsModem && d.Path == DevicePath) {
            if (Generation != nullptr) {
                *Generation = d.Generation;
            }
            return d.Phone;
        }
    }
    return nullptr;
}

uint64_t TVirtualDeviceSource::GenerationAt(const std::string& DevicePath) const {
    std::lock_guard lock(mutex_);
    for (const TDevice& d : devices_) {
        if (!d.IsModem && d.Path == DevicePath) {
            return d.Generation;
        }
    }
    return 0;
}

bool TVirtualDeviceSource::IsPlugged(const std::string& DevicePath, uint64_t Generation) const {
    return Generation != 0 && GenerationAt(DevicePath) == Generation;
}

void TVirtualDeviceSource::queue(TDeviceChange Change, const TDevice& Device) {
    events_.push_back(
        {Change, Device.IsModem ? UsbDeviceInterfaceGuid : P2KInterfaceGuid, Device.Path});
    if (eventFd_ >= 0) {
        uint64_t one = 1;
        ssize_t written = write(eventFd_, &one, sizeof one);
        (void)written;  // only fails when the counter is saturated: still readable
    }
}

TDeviseInterface TVirtualDeviceSource::record(const TDevice& Device) {
    TDeviseInterface r;
    r.DevInst = Device.DevInst;
    r.DevicePath = Device.Path;
    r.SerialNumber = Device.Serial;
    if (Device.Properties) {
        r.Properties = *Device.Properties;
        return r;
    }
    // No vendor or product id: a virtual device never poses as a real one.
    TDeviceProperties& p = r.Properties;
    p.Description = Device.IsModem ? ModemDescription : PhoneDescription;
    p.Bus = "virtual";
    p.Manufacturer = Maker;
    p.Product = Device.Name + (Device.IsModem ? " (virtual modem)" : " (virtual phone)");
    p.Driver = DriverName;
    p.Subsystem = Device.IsModem ? "tty" : "usb";
    p.IdPath = "virtual:" + Device.Name;
    p.BusNum = "0";
    return r;
}

std::vector<TDeviseInterface> TVirtualDeviceSource::Enumerate(const std::string& InterfaceGuid) {
    bool modems = InterfaceGuid == UsbDeviceInterfaceGuid;
    if (!modems && InterfaceGuid != P2KInterfaceGuid) {
        return {};
    }
    std::lock_guard lock(mutex_);
    std::vector<TDeviseInterface> out;
    for (const TDevice& d : devices_) {
        if (d.IsModem == modems) {
            out.push_back(record(d));
        }
    }
    return out;
}

bool TVirtualDeviceSource::RegisterNotify(const std::string& InterfaceGuid,
                                          IDeviceChangeSink* Sink) {
    if (Sink == nullptr) {
        return false;
    }
    std::lock_guard lock(mutex_);
    sinks_.push_back({InterfaceGuid, Sink});
    return true;
}

void TVirtualDeviceSource::UnregisterNotify(IDeviceChangeSink* Sink) {
    std::lock_guard lock(mutex_);
    std::erase_if(sinks_, [Sink](const TSink& s) { return s.Sink == Sink; });
}

void TVirtualDeviceSource::DispatchPending() {
    std::deque<TEvent> events;
    {
        std::lock_guard lock(mutex_);
        events.swap(events_);
        if (eventFd_ >= 0) {
            uint64_t count;
            ssize_t got = read(eventFd_, &count, sizeof count);
            (void)got;  // EAGAIN when nothing was queued: nothing to reset
        }
    }
    for (const TEvent& e : events) {
        std::vector<IDeviceChangeSink*> targets;
        {
            std::lock_guard lock(mutex_);
            for (const TSink& s : sinks_) {
                if (s.ClassGuid == e.ClassGuid) {
                    targets.push_back(s.Sink);
                }
            }
        }
        for (IDeviceChangeSink* sink : targets) {
            // A sink that an earlier handler unregistered must not be called.
            bool registered;
            {
                std::lock_guard lock(mutex_);
                registered = std::any_of(sinks_.begin(), sinks_.end(),
                                         [sink](const TSink& s) { return s.Sink == sink; });
            }
            if (registered) {
                sink->DeviceChanged(e.Change, e.Path);
            }
        }
    }
}
