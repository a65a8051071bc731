#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Interface classes, written as the system's device-interface GUIDs. They
// stay the identities of the two classes whatever the platform underneath.
inline constexpr const char* P2KInterfaceGuid = "{4E1E1E15-52D7-11D4-852D-00105AA6F80B}";
inline constexpr const char* UsbDeviceInterfaceGuid = "{A5DCBF10-6530-11D2-901F-00C04FB951ED}";

// What a device source tells its sinks: an interface of their class arrived
// or was removed (udev's "add" and "remove").
enum class TDeviceChange { Arrival, Removal };

// What Linux knows of one present interface and of the USB device it belongs
// to: sysfs attributes and udev properties, as plain text. Empty where the
// system has no value (a virtual device has no vendor id, for one).
struct TDeviceProperties {
    // The interface's description: the source's table of known devices,
    // else the interface's or the product's own string. The link components
    // filter on it.
    std::string Description;
    std::string Bus;                // ID_BUS: "usb", or "virtual"
    std::string VendorId;           // idVendor, 4 hex digits
    std::string ProductId;          // idProduct
    std::string Revision;           // bcdDevice
    std::string Manufacturer;       // the device's own manufacturer string
    std::string Product;            // the device's own product string
    std::string InterfaceNumber;    // bInterfaceNumber, 2 hex digits
    std::string InterfaceClass;     // bInterfaceClass
    std::string InterfaceSubClass;  // bInterfaceSubClass
    std::string InterfaceProtocol;  // bInterfaceProtocol
    std::string Driver;             // the kernel driver bound to the interface
    std::string Subsystem;          // "usb" for an interface, "tty" for a port
    std::string KernelName;         // "1-1:1.8", "ttyACM0"
    std::string IdPath;             // udev's ID_PATH, else the kernel name
    std::string UsbDevNode;         // /dev/bus/usb/BBB/DDD of the USB device
    std::string BusNum;             // busnum, decimal
    std::string DevNum;             // devnum, decimal, new on every attach
    std::string PortPath;           // devpath: "1", "1.4"
};

// One present interface as a device source reports it: its identity, its
// openable path and its properties. GetUSBDevises turns it into a TUSBDevise.
struct TDeviseInterface {
    uint32_t DevInst = 0;
    std::string DevicePath;
    TDeviceProperties Properties;
    // The USB device's serial number string; empty when it has none.
    std::string SerialNumber;
};

// Receives arrivals and removals on the thread that dispatches them.
class IDeviceChangeSink {
  public:
    virtual ~IDeviceChangeSink() = default;
    // Name is the interface's device path or node, as far as still known.
    virtual void DeviceChanged(TDeviceChange Change, const std::string& Name) = 0;
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
