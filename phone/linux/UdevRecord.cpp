#include "linux/UdevRecord.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

std::string lower(std::string S) {
    std::transform(S.begin(), S.end(), S.begin(),
                   [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
    return S;
}

bool sameHex(const std::string& A, const char* B) {
    return lower(A) == B;
}

bool startsWith(const std::string& S, const std::string& Prefix) {
    return S.size() >= Prefix.size() && S.compare(0, Prefix.size(), Prefix) == 0;
}

// Our table of known devices: how the phone vendor's driver package names
// the interfaces our two links look for. Product 0 matches every product.
struct TKnownDevice {
    const char* Vendor;
    const char* Product;
    TUdevDeviceKind Kind;
    const char* Description;
};

constexpr TKnownDevice KnownDevices[] = {
    {"22b8", nullptr, TUdevDeviceKind::P2KInterface, "Motorola USB Test Command Interface"},
    {"22b8", nullptr, TUdevDeviceKind::ModemPort, "Motorola USB Modem"},
};

bool parseUnsigned(const std::string& Text, int Base, uint32_t& Value) {
    if (Text.empty()) {
        return false;
    }
    const char* End = Text.data() + Text.size();
    auto [Ptr, Ec] = std::from_chars(Text.data(), End, Value, Base);
    return Ec == std::errc() && Ptr == End;
}

}  // namespace

bool IsP2KInterface(const TUdevAttributes& A) {
    return sameHex(A.VendorId, MotorolaVendorId) &&
           sameHex(A.InterfaceNumber, P2KInterfaceNumber) &&
           sameHex(A.InterfaceClass, VendorSpecificClass);
}

bool IsPhoneModemPort(const TUdevAttributes& A) {
    return sameHex(A.VendorId, MotorolaVendorId) && A.Driver == "cdc_acm";
}

std::string DescribeUdevDevice(const TUdevAttributes& A, TUdevDeviceKind Kind) {
    bool Fits = Kind == TUdevDeviceKind::P2KInterface ? IsP2KInterface(A) : IsPhoneModemPort(A);
    if (Fits) {
        for (const auto& K : KnownDevices) {
            if (K.Kind == Kind && sameHex(A.VendorId, K.Vendor) &&
                (K.Product == nullptr || sameHex(A.ProductId, K.Product))) {
                return K.Description;
            }
        }
    }
    if (!A.InterfaceName.empty()) {
        return A.InterfaceName;
    }
    return A.Product;
}

uint32_t StableDevInst(const TUdevAttributes& A) {
    // FNV-1a over the sysfs path and the bus address: the path stays while
    // the device is plugged, the address is new after every re-attach.
    std::string Key = A.SysPath + '#' + A.BusNum + '/' + A.DevNum;
    uint32_t H = 2166136261u;
    for (unsigned char C : Key) {
        H ^= C;
        H *= 16777619u;
    }
    return H == 0 ? 1 : H;
}

TDeviseInterface BuildDeviseInterface(const TUdevAttributes& A, TUdevDeviceKind Kind) {
    TDeviseInterface R;
    R.DevInst = StableDevInst(A);
    R.DevicePath = Kind == TUdevDeviceKind::ModemPort ? A.DevNode : A.SysPath;
    R.SerialNumber = A.Serial;
    TDeviceProperties& P = R.Properties;
    P.Description = DescribeUdevDevice(A, Kind);
    P.Bus = "usb";
    P.VendorId = A.VendorId;
    P.ProductId = A.ProductId;
    P.Revision = A.Revision;
    P.Manufacturer = A.Manufacturer;
    P.Product = A.Product;
    P.InterfaceNumber = A.InterfaceNumber;
    P.InterfaceClass = A.InterfaceClass;
    P.InterfaceSubClass = A.InterfaceSubClass;
    P.InterfaceProtocol = A.InterfaceProtocol;
    P.Driver = A.Driver;
    P.Subsystem = Kind == TUdevDeviceKind::ModemPort ? "tty" : "usb";
    P.KernelName = A.KernelName;
    P.IdPath = A.IdPath;
    P.UsbDevNode = A.UsbDevNode;
    P.BusNum = A.BusNum;
    P.DevNum = A.DevNum;
    P.PortPath = A.PortPath;
    return R;
}

TUdevEventRoute RouteUdevEvent(const TUdevEvent& E) {
    TUdevEventRoute Route;
    if (E.Action == "add") {
        Route.Change = TDeviceChange::Arrival;
    } else if (E.Action == "remove") {
        Route.Change = TDeviceChange::Removal;
    } else {
        return Route;
    }

    // A USB device and a modem port both make the modem list look again, for
    // reasons of their own.
    // NOLINTNEXTLINE(bugprone-branch-clone)
    if (E.Subsystem == "usb" && E.DevType == "usb_device") {
        // Every USB arrival or removal makes the modem list look again.
        Route.ToUsbDevice = true;
    } else if (E.Subsystem == "usb" && E.DevType == "usb_interface") {
        // The interface number is the part of the kernel name after the
        // last dot ("1-1:1.8"), decimal; the vendor leads PRODUCT.
        auto Dot = E.SysName.find_last_of('.');
        uint32_t Number = 0;
        bool Eight = Dot != std::string::npos &&
                     parseUnsigned(E.SysName.substr(Dot + 1), 10, Number) && Number == 8;
        bool Vendor = startsWith(lower(E.Product), std::string(MotorolaVendorId) + "/");
        bool VendorClass = E.Interface.empty() || startsWith(E.Interface, "255/");
        Route.ToP2K = Eight && Vendor && VendorClass;
    } else if (E.Subsystem == "tty" && startsWith(E.SysName, "ttyACM")) {
        Route.ToUsbDevice = true;
    }
    return Route;
}
