#include "linux/UdevRecord.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>
#include <vector>

namespace {

std::string lower(std::string S) {
    std::transform(S.begin(), S.end(), S.begin(),
                   [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
    return S;
}

std::string upper(std::string S) {
    std::transform(S.begin(), S.end(), S.begin(),
                   [](unsigned char C) { return static_cast<char>(std::toupper(C)); });
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

std::string text(const std::string& S) {
    return S + '\0';
}

std::string multiText(const std::vector<std::string>& Strings) {
    std::string Out;
    for (const auto& S : Strings) {
        Out += S + '\0';
    }
    return Out + '\0';
}

std::string dword(uint32_t V) {
    std::string Out(4, '\0');
    for (int I = 0; I < 4; ++I) {
        Out[I] = static_cast<char>((V >> (8 * I)) & 0xFF);
    }
    return Out;
}

// Two upper-case hex digits of a sysfs hex attribute, "00" when absent.
std::string hex2(const std::string& S) {
    std::string U = upper(S.empty() ? "00" : S);
    return U.size() >= 2 ? U : std::string(2 - U.size(), '0') + U;
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
    auto& P = R.Properties;

    std::string Desc = DescribeUdevDevice(A, Kind);
    if (!Desc.empty()) {
        P[SPDRP_DEVICEDESC] = text(Desc);
    }

    if (!A.VendorId.empty() && !A.ProductId.empty()) {
        std::string Id = "USB\\VID_" + upper(A.VendorId) + "&PID_" + upper(A.ProductId);
        std::vector<std::string> Ids{Id};
        if (!A.Revision.empty()) {
            Ids.push_back(Id + "&REV_" + upper(A.Revision));
        }
        if (!A.InterfaceNumber.empty()) {
            Ids.push_back(Id + "&MI_" + hex2(A.InterfaceNumber));
        }
        P[SPDRP_HARDWAREID] = multiText(Ids);
    }
    if (!A.InterfaceClass.empty()) {
        std::string Class = "USB\\Class_" + hex2(A.InterfaceClass);
        std::string Sub = Class + "&SubClass_" + hex2(A.InterfaceSubClass);
        P[SPDRP_COMPATIBLEIDS] =
            multiText({Sub + "&Prot_" + hex2(A.InterfaceProtocol), Sub, Class});
    }
    if (!A.Manufacturer.empty()) {
        P[SPDRP_MFG] = text(A.Manufacturer);
    }
    if (!A.Driver.empty()) {
        P[SPDRP_DRIVER] = text(A.Driver);
        P[SPDRP_SERVICE] = text(A.Driver);
    }
    if (Kind == TUdevDeviceKind::ModemPort) {
        P[SPDRP_CLASS] = text("Modem");
        if (!Desc.empty() && !A.KernelName.empty()) {
            P[SPDRP_FRIENDLYNAME] = text(Desc + " (" + A.KernelName + ")");
        }
    }
    std::string Location = A.IdPath.empty() ? A.KernelName : A.IdPath;
    if (!Location.empty()) {
        P[SPDRP_LOCATION_INFORMATION] = text(Location);
    }
    if (!A.UsbDevNode.empty()) {
        P[SPDRP_PHYSICAL_DEVICE_OBJECT_NAME] = text(A.UsbDevNode);
    }
    P[SPDRP_ENUMERATOR_NAME] = text("USB");

    uint32_t Number = 0;
    if (parseUnsigned(A.BusNum, 10, Number)) {
        P[SPDRP_BUSNUMBER] = dword(Number);
    }
    // The address of a USB device is its port on the hub it hangs from: the
    // last element of its port path.
    auto Dot = A.PortPath.find_last_of('.');
    std::string Port = Dot == std::string::npos ? A.PortPath : A.PortPath.substr(Dot + 1);
    if (parseUnsigned(Port, 10, Number)) {
        P[SPDRP_ADDRESS] = dword(Number);
    }
    return R;
}

TUdevEventRoute RouteUdevEvent(const TUdevEvent& E) {
    TUdevEventRoute Route;
    if (E.Action == "add") {
        Route.EventType = DBT_DEVICEARRIVAL;
    } else if (E.Action == "remove") {
        Route.EventType = DBT_DEVICEREMOVECOMPLETE;
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
    if (!Route.ToP2K && !Route.ToUsbDevice) {
        Route.EventType = 0;
    }
    return Route;
}
