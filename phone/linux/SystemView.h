#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// What the doctor reads of the system, behind one seam so that each of its
// findings can be tested on a made-up system: the phones' USB devices as
// udev lists them, files, the access this user has to a device node, and the
// processes with the device nodes they hold open.

// One interface of a phone's USB device.
struct TUsbInterfaceView {
    std::string Number;      // bInterfaceNumber, 2 hex digits
    std::string Class;       // bInterfaceClass, 2 hex digits
    std::string Driver;      // the kernel driver bound to it ("usbfs": a program claimed it)
    std::string KernelName;  // "1-4:1.8"
    std::string TtyNode;     // its /dev/ttyACM node, when it has one
    std::map<std::string, std::string> TtyProperties;  // that node's udev properties
};

// One USB device of the phone vendor.
struct TUsbDeviceView {
    std::string VendorId;  // 4 hex digits
    std::string ProductId;
    std::string Product;  // the device's own product string
    std::string BusNum;   // decimal
    std::string DevNum;
    std::string DevNode;  // /dev/bus/usb/BBB/DDD; empty for a virtual device
    std::map<std::string, std::string> Properties;  // its udev properties
    std::vector<TUsbInterfaceView> Interfaces;
    // A virtual phone (SNAPRILL_VIRTUAL_PHONES): nothing of the system's
    // USB stack stands between it and the program.
    bool Virtual = false;
    std::string VirtualName;
};

// A device node as this user may use it.
struct TNodeAccess {
    bool Exists = false;
    bool CanRead = false;
    bool CanWrite = false;
    uint32_t Mode = 0;  // st_mode
    std::string Owner;  // user and group names (numbers when unnamed)
    std::string Group;
};

// A process and the device nodes it holds open.
struct TProcessView {
    int Pid = 0;
    std::string Name;  // its command name
    std::vector<std::string> OpenNodes;
};

class ISystemView {
  public:
    virtual ~ISystemView() = default;
    // The USB devices of vendor 22b8, with their interfaces.
    virtual std::vector<TUsbDeviceView> PhoneDevices() = 0;
    virtual bool FileExists(const std::string& Path) = 0;
    virtual TNodeAccess Access(const std::string& Path) = 0;
    // This user's name, whether it is root, and its groups.
    virtual std::string UserName() = 0;
    virtual bool IsRoot() = 0;
    virtual std::vector<std::string> UserGroups() = 0;
    // Every process this user can see (others' open files may be hidden),
    // this program's own left out.
    virtual std::vector<TProcessView> Processes() = 0;
    virtual std::string LibusbVersion() = 0;
};

// The system as it is, through libudev, stat(2), access(2) and /proc.
class TLinuxSystemView : public ISystemView {
  public:
    std::vector<TUsbDeviceView> PhoneDevices() override;
    bool FileExists(const std::string& Path) override;
    TNodeAccess Access(const std::string& Path) override;
    std::string UserName() override;
    bool IsRoot() override;
    std::vector<std::string> UserGroups() override;
    std::vector<TProcessView> Processes() override;
    std::string LibusbVersion() override;
};
