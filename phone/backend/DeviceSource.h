#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Interface classes, written as the system's device-interface GUIDs. They
// stay the identities of the two classes whatever the platform underneath.
inline constexpr const char* P2KInterfaceGuid = "{4E1E1E15-52D7-11D4-852D-00105AA6F80B}";
inline constexpr const char* UsbDeviceInterfaceGuid = "{A5DCBF10-6530-11D2-901F-00C04FB951ED}";

// Device-change event types (the first parameter of a device-change message).
inline constexpr uint32_t DBT_DEVNODES_CHANGED = 0x0007;
inline constexpr uint32_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr uint32_t DBT_DEVICEQUERYREMOVE = 0x8001;
inline constexpr uint32_t DBT_DEVICEREMOVECOMPLETE = 0x8004;

// Device types of a broadcast header.
inline constexpr uint32_t DBT_DEVTYP_VOLUME = 2;
inline constexpr uint32_t DBT_DEVTYP_PORT = 3;
inline constexpr uint32_t DBT_DEVTYP_DEVICEINTERFACE = 5;

// The broadcast that comes with a device-change message: the header's size,
// device type and reserved fields, then the interface class and name that a
// device-interface broadcast carries.
struct TDevBroadcastHeader {
    uint32_t Size = 32;
    uint32_t DeviceType = DBT_DEVTYP_DEVICEINTERFACE;
    uint32_t Reserved = 0;
    std::string ClassGuid;
    std::string Name;
};

// Device-property codes, as the system numbers its registry properties.
enum TDeviseProperty : uint32_t {
    SPDRP_DEVICEDESC = 0,
    SPDRP_HARDWAREID = 1,
    SPDRP_COMPATIBLEIDS = 2,
    SPDRP_SERVICE = 4,
    SPDRP_CLASS = 7,
    SPDRP_CLASSGUID = 8,
    SPDRP_DRIVER = 9,
    SPDRP_CONFIGFLAGS = 10,
    SPDRP_MFG = 11,
    SPDRP_FRIENDLYNAME = 12,
    SPDRP_LOCATION_INFORMATION = 13,
    SPDRP_PHYSICAL_DEVICE_OBJECT_NAME = 14,
    SPDRP_CAPABILITIES = 15,
    SPDRP_UI_NUMBER = 16,
    SPDRP_UPPERFILTERS = 17,
    SPDRP_LOWERFILTERS = 18,
    SPDRP_BUSTYPEGUID = 19,
    SPDRP_LEGACYBUSTYPE = 20,
    SPDRP_BUSNUMBER = 21,
    SPDRP_ENUMERATOR_NAME = 22,
    SPDRP_SECURITY = 23,
    SPDRP_DEVTYPE = 25,
    SPDRP_EXCLUSIVE = 26,
    SPDRP_CHARACTERISTICS = 27,
    SPDRP_ADDRESS = 28,
    SPDRP_DEVICE_POWER_DATA = 30,
};

// One present interface as a device source reports it: its identity, its
// openable path and its properties as raw bytes, exactly as the system would
// store them (texts with their terminating zero, multi-strings as a sequence
// of zero-terminated strings plus a final zero, numbers as 4 little-endian
// bytes). GetUSBDevises turns them into a TUSBDevise by its reading rules.
struct TDeviseInterface {
    uint32_t DevInst = 0;
    std::string DevicePath;
    std::map<uint32_t, std::string> Properties;
    // The USB device's serial number string; empty when it has none.
    std::string SerialNumber;
};

// Receives device-change messages on the thread that dispatches them.
class IDeviceChangeSink {
  public:
    virtual ~IDeviceChangeSink() = default;
    virtual void DeviceChangeMessage(uint32_t EventType, const TDevBroadcastHeader* EventData) = 0;
};

// Lists present device interfaces of a class and tells of arrivals and
// removals. Events are queued by the source and delivered only from
// DispatchPending(), which the program calls when EventFd() is readable, so
// they always reach the sinks on the GUI thread.
class IDeviceSource {
  public:
    virtual ~IDeviceSource() = default;
    // Every present interface of the class, in enumeration order; empty when
    // nothing is present or the system gives no answer.
    virtual std::vector<TDeviseInterface> Enumerate(const std::string& InterfaceGuid) = 0;
    // Sink receives the arrivals and removals of the class; false when refused.
    virtual bool RegisterNotify(const std::string& InterfaceGuid, IDeviceChangeSink* Sink) = 0;
    virtual void UnregisterNotify(IDeviceChangeSink* Sink) = 0;
    // A descriptor that becomes readable when events wait; -1 when there is none.
    virtual int EventFd() const = 0;
    // Delivers the waiting events to the registered sinks, in order.
    virtual void DispatchPending() = 0;
};
