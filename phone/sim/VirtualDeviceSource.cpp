#include "sim/VirtualDeviceSource.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* PhoneDescription = "Test Command Interface (virtual phone)";
constexpr const char* ModemDescription = "Motorola USB Modem (virtual)";
constexpr const char* PhoneHardwareIds[] = {"VIRTUAL\\SNAPRILL_P2K_PHONE", "VIRTUAL\\SNAPRILL"};
constexpr const char* ModemHardwareIds[] = {"VIRTUAL\\SNAPRILL_MODEM", "VIRTUAL\\SNAPRILL"};
constexpr const char* CompatibleIds[] = {"VIRTUAL\\SNAPRILL"};
constexpr const char* Maker = "Snaprill (virtual device)";
constexpr const char* ServiceName = "snaprill_virtual";

std::string text(const std::string& S) {
    return S + '\0';
}

template <size_t N>
std::string multiText(const char* const (&Items)[N]) {
    std::string out;
    for (const char* item : Items) {
        out += item;
        out += '\0';
    }
    return out + '\0';
}

std::string number(uint32_t V) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) {
        out[size_t(i)] = char((V >> (8 * i)) & 0xFF);
    }
    return out;
}

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
    queue(DBT_DEVICEARRIVAL, devices_.back());
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
    queue(DBT_DEVICEREMOVECOMPLETE, *it);
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
    // Read once, at the plug, as a device's descriptor is.
    d.Serial = Phone->State().UsbSerial;
    d.Phone = std::move(Phone);
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

bool TVirtualDeviceSource::UnplugModem(const std::string& Name) {
    return unplug(true, Name);
}

std::shared_ptr<TVirtualPhone> TVirtualDeviceSource::PhoneAt(const std::string& DevicePath,
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

void TVirtualDeviceSource::queue(uint32_t EventType, const TDevice& Device) {
    events_.push_back(
        {EventType, Device.IsModem ? UsbDeviceInterfaceGuid : P2KInterfaceGuid, Device.Path});
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
    auto& p = r.Properties;
    p[SPDRP_DEVICEDESC] = text(Device.IsModem ? ModemDescription : PhoneDescription);
    p[SPDRP_HARDWAREID] =
        Device.IsModem ? multiText(ModemHardwareIds) : multiText(PhoneHardwareIds);
    p[SPDRP_COMPATIBLEIDS] = multiText(CompatibleIds);
    p[SPDRP_CLASS] = text(Device.IsModem ? "Modem" : "USB");
    p[SPDRP_CLASSGUID] = text(Device.IsModem ? UsbDeviceInterfaceGuid : P2KInterfaceGuid);
    p[SPDRP_DRIVER] = text(ServiceName);
    p[SPDRP_SERVICE] = text(ServiceName);
    p[SPDRP_MFG] = text(Maker);
    p[SPDRP_FRIENDLYNAME] =
        text(Device.Name + (Device.IsModem ? " (virtual modem)" : " (virtual phone)"));
    p[SPDRP_LOCATION_INFORMATION] = text("virtual:" + Device.Name);
    p[SPDRP_ENUMERATOR_NAME] = text("VIRTUAL");
    p[SPDRP_BUSNUMBER] = number(0);
    p[SPDRP_UI_NUMBER] = number(0);
    p[SPDRP_CONFIGFLAGS] = number(0);
    p[SPDRP_CAPABILITIES] = number(0);
    r.SerialNumber = Device.Serial;
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
    if (holdEvents_) {
        return;
    }
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
        TDevBroadcastHeader header;
        header.ClassGuid = e.ClassGuid;
        header.Name = e.Path;
        for (IDeviceChangeSink* sink : targets) {
            // A sink that an earlier handler unregistered must not be called.
            bool registered;
            {
                std::lock_guard lock(mutex_);
                registered = std::any_of(sinks_.begin(), sinks_.end(),
                                         [sink](const TSink& s) { return s.Sink == sink; });
            }
            if (registered) {
                sink->DeviceChangeMessage(e.EventType, &header);
            }
        }
    }
}
