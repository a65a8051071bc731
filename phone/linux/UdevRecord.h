#pragma once

#include <cstdint>
#include <string>

#include "backend/DeviceSource.h"

// What the udev source reads of one device before it builds its record:
// sysfs attributes of the interface and of its USB device, plus a few udev
// properties, all as plain text. Empty means Linux has no value for it.
struct TUdevAttributes {
    std::string SysPath;            // the P2K interface's, or the tty's sysfs path
    std::string DevNode;            // the tty's /dev node (modem ports only)
    std::string UsbDevNode;         // /dev/bus/usb/BBB/DDD of the USB device
    std::string KernelName;         // "1-1:1.8", "ttyACM0"
    std::string VendorId;           // idVendor, 4 hex digits
    std::string ProductId;          // idProduct
    std::string Revision;           // bcdDevice
    std::string Manufacturer;       // the device's own manufacturer string
    std::string Product;            // the device's own product string
    std::string Serial;             // the device's own serial number string
    std::string InterfaceNumber;    // bInterfaceNumber, 2 hex digits
    std::string InterfaceClass;     // bInterfaceClass
    std::string InterfaceSubClass;  // bInterfaceSubClass
    std::string InterfaceProtocol;  // bInterfaceProtocol
    std::string InterfaceName;      // the interface's own string
    std::string Driver;             // kernel driver bound to the interface
    std::string BusNum;             // decimal
    std::string DevNum;             // decimal, new on every attach
    std::string PortPath;           // devpath attribute: "1", "1.4"
    std::string IdPath;             // udev's ID_PATH, when udevd has run
};

// The two kinds of device the source reports.
enum class TUdevDeviceKind {
    P2KInterface,  // a phone's command interface (interface 8, vendor class)
    ModemPort,     // a phone's ACM serial port
};

inline constexpr const char* MotorolaVendorId = "22b8";
inline constexpr const char* P2KInterfaceNumber = "08";
inline constexpr const char* VendorSpecificClass = "ff";

// True for interface 8 of vendor class ff on a vendor 22b8 device.
bool IsP2KInterface(const TUdevAttributes& A);
// True for a vendor 22b8 port driven by cdc_acm.
bool IsPhoneModemPort(const TUdevAttributes& A);

// The device description, as the phone vendor's driver package names its
// devices: from our table of known devices, else the interface's own string,
// else the product's own string, else empty.
std::string DescribeUdevDevice(const TUdevAttributes& A, TUdevDeviceKind Kind);

// A 32-bit identity that stays the same while the device is plugged and
// changes when it re-attaches (the device number is part of it), never 0.
uint32_t StableDevInst(const TUdevAttributes& A);

// The enumeration record for the device: its identity, its openable path
// (the P2K interface's sysfs path, the port's /dev node) and its properties.
TDeviseInterface BuildDeviseInterface(const TUdevAttributes& A, TUdevDeviceKind Kind);

// Where one udev event goes: which classes' sinks hear of it, and as which
// change. An event that is neither an arrival nor a removal goes nowhere.
struct TUdevEventRoute {
    TDeviceChange Change = TDeviceChange::Arrival;
    bool ToP2K = false;        // sinks of P2KInterfaceGuid
    bool ToUsbDevice = false;  // sinks of UsbDeviceInterfaceGuid
    bool Routed() const { return ToP2K || ToUsbDevice; }
};

// What a udev event carries that decides its route. Removal events carry no
// sysfs attributes any more, so the route reads only the event's own fields.
struct TUdevEvent {
    std::string Action;     // "add", "remove", "bind", "change", ...
    std::string Subsystem;  // "usb", "tty"
    std::string DevType;    // "usb_device", "usb_interface", empty for ttys
    std::string SysName;    // "1-1:1.8", "ttyACM0"
    std::string Product;    // PRODUCT property: "22b8/4901/1"
    std::string Interface;  // INTERFACE property: "255/0/0"
};

TUdevEventRoute RouteUdevEvent(const TUdevEvent& E);
