#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <optional>

#include "backend/DeviceSource.h"
#include "sim/VirtualPhone.h"

// Virtual devices that plug into the program through the device-source seam.
//
// A virtual P2K phone is listed in the P2K interface class with the device
// path "virtual:p2k/<name>" and the description "Test Command Interface
// (virtual phone)"; a virtual modem is listed in the USB device class with
// the description "Motorola USB Modem (virtual)" and, as its device path, the
// pseudo-terminal the caller gives. Neither poses as a real device: the
// hardware id, maker and location say they are virtual.
//
// Plug and Unplug may be called from any thread (a virtual modem's reader
// thread attaches its phone when told to switch modes). Arrivals and
// removals are only queued there; DispatchPending() delivers them to the
// sinks on the thread that calls it, and EventFd() is readable while events
// wait.
class TVirtualDeviceSource final : public IDeviceSource {
  public:
    TVirtualDeviceSource();
    ~TVirtualDeviceSource() override;
    TVirtualDeviceSource(const TVirtualDeviceSource&) = delete;
    TVirtualDeviceSource& operator=(const TVirtualDeviceSource&) = delete;

    // Plugs a phone in P2K mode under a name unique among the plugged phones;
    // returns its device path, or "" when a phone of that name is plugged.
    std::string PlugPhone(const std::string& Name, std::shared_ptr<TVirtualPhone> Phone);
    // The same for any device side of a command interface, listed with the
    // properties given instead of a virtual phone's (a replayed phone shows
    // the device it was recorded on); its path still says it is virtual.
    std::string PlugDevice(const std::string& Name, std::shared_ptr<IVirtualP2KDevice> Device,
                           const TDeviceProperties& Properties, const std::string& Serial = {});
    // False when no phone of that name is plugged.
    bool UnplugPhone(const std::string& Name);
    // Plugs a modem whose port is the pseudo-terminal slave at PortPath.
    // False when a modem of that name is plugged.
    bool PlugModem(const std::string& Name, const std::string& PortPath);
    // A modem listed with the properties given (a replayed phone's port).
    bool PlugModem(const std::string& Name, const std::string& PortPath,
                   const TDeviceProperties& Properties, const std::string& Serial = {});
    bool UnplugModem(const std::string& Name);

    static std::string PhonePath(const std::string& Name) { return "virtual:p2k/" + Name; }
    // The plugged phone behind a device path, or nullptr when none is plugged
    // there; Generation, when given, receives the generation of that plug.
    std::shared_ptr<TVirtualPhone> PhoneAt(const std::string& DevicePath,
                                           uint64_t* Generation = nullptr) const;
    // The device side plugged there, whatever it is.
    std::shared_ptr<IVirtualP2KDevice> DeviceAt(const std::string& DevicePath,
                                                uint64_t* Generation = nullptr) const;
    // Whether the phone plugged at DevicePath is still the one of that plug
    // (a phone unplugged and plugged again gets a new generation).
    bool IsPlugged(const std::string& DevicePath, uint64_t Generation) const;
    uint64_t GenerationAt(const std::string& DevicePath) const;

    // IDeviceSource
    std::vector<TDeviseInterface> Enumerate(const std::string& InterfaceGuid) override;
    bool RegisterNotify(const std::string& InterfaceGuid, IDeviceChangeSink* Sink) override;
    void UnregisterNotify(IDeviceChangeSink* Sink) override;
    int EventFd() const override { return eventFd_; }
    void DispatchPending() override;

  private:
    struct TDevice {
        bool IsModem = false;
        std::string Name;
        std::string Path;
        uint32_t DevInst = 0;
        uint64_t Generation = 0;
        std::shared_ptr<IVirtualP2KDevice> Phone;
        // Listed with these properties instead of a virtual device's.
        std::optional<TDeviceProperties> Properties;
        std::string Serial;
    };
    struct TEvent {
        TDeviceChange Change;
        std::string ClassGuid;
        std::string Path;
    };
    struct TSink {
        std::string ClassGuid;
        IDeviceChangeSink* Sink;
    };

    bool plug(TDevice Device);
    bool unplug(bool IsModem, const std::string& Name);
    void queue(TDeviceChange Change, const TDevice& Device);
    uint32_t newDevInst(bool IsModem, const std::string& Name) const;
    static TDeviseInterface record(const TDevice& Device);

    mutable std::mutex mutex_;
    std::vector<TDevice> devices_;
    std::deque<TEvent> events_;
    std::vector<TSink> sinks_;
    uint64_t nextGeneration_ = 1;
    int eventFd_ = -1;
};
