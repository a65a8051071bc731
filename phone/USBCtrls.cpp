#include "USBCtrls.h"

#include <cstring>

#include "MotoSysUtils.h"

namespace {

// Texts are read into a buffer of this many bytes, terminating zero
// included; a longer value does not fit and reads as empty.
constexpr size_t RecordTextBuffer = 257;

// The text rule: the bytes up to the first zero; empty when too long.
std::string text(const std::string& S) {
    if (S.size() >= RecordTextBuffer) {
        return {};
    }
    const auto end = S.find('\0');
    return end == std::string::npos ? S : S.substr(0, end);
}

std::string upper(std::string S) {
    for (char& C : S) {
        if (C >= 'a' && C <= 'z') {
            C = static_cast<char>(C - 'a' + 'A');
        }
    }
    return S;
}

// Two upper-case hex digits of a sysfs hex attribute, "00" when absent.
std::string hex2(const std::string& S) {
    std::string U = upper(S.empty() ? "00" : S);
    return U.size() >= 2 ? U : std::string(2 - U.size(), '0') + U;
}

bool parseDecimal(const std::string& Text, uint32_t& Value) {
    if (Text.empty() || Text.size() > 9) {
        return false;
    }
    uint32_t V = 0;
    for (char C : Text) {
        if (C < '0' || C > '9') {
            return false;
        }
        V = V * 10 + static_cast<uint32_t>(C - '0');
    }
    Value = V;
    return true;
}

// A number as the record's text fields hold one: its four little-endian
// bytes up to the first zero byte (1 reads as the one-character text 01).
std::string numberAsText(uint32_t V) {
    std::string Out;
    for (int I = 0; I < 4 && ((V >> (8 * I)) & 0xFF) != 0; ++I) {
        Out += static_cast<char>((V >> (8 * I)) & 0xFF);
    }
    return Out;
}

// The most specific of the ids the system matches drivers by: the bus,
// vendor and product ("USB\VID_22B8&PID_4901").
std::string hardwareId(const TDeviceProperties& P) {
    if (P.VendorId.empty() || P.ProductId.empty()) {
        return {};
    }
    return upper(P.Bus.empty() ? "usb" : P.Bus) + "\\VID_" + upper(P.VendorId) + "&PID_" +
           upper(P.ProductId);
}

// The most specific compatible id: the interface's class, subclass and protocol.
std::string compatibleId(const TDeviceProperties& P) {
    if (P.InterfaceClass.empty()) {
        return {};
    }
    return "USB\\Class_" + hex2(P.InterfaceClass) + "&SubClass_" + hex2(P.InterfaceSubClass) +
           "&Prot_" + hex2(P.InterfaceProtocol);
}

}  // namespace

void GetUSBDevises(IDeviceSource& Source, const std::string& InterfaceGuid,
                   const std::string& NameFilter, TUSBDevises& Devises) {
    Devises.clear();
    const std::string filter = UpperCaseText1251(NameFilter);
    for (const TDeviseInterface& i : Source.Enumerate(InterfaceGuid)) {
        const TDeviceProperties& p = i.Properties;
        TUSBDevise d;
        d.DeviceDesc = text(p.Description);
        d.CompatibleIDs = text(compatibleId(p));
        if (!filter.empty() && UpperCaseText1251(d.DeviceDesc).find(filter) == std::string::npos) {
            continue;
        }
        d.DevInst = i.DevInst;
        d.DevicePath = i.DevicePath;
        // A USB string descriptor holds at most 126 characters; anything
        // longer did not come from one.
        d.SerialNumber = i.SerialNumber.size() <= 255 ? i.SerialNumber : std::string();
        const bool port = p.Subsystem == "tty";
        d.Class = port ? "Modem" : "";
        d.Driver = text(p.Driver);
        d.Service = d.Driver;
        if (port && !d.DeviceDesc.empty() && !p.KernelName.empty()) {
            d.FriendlyName = text(d.DeviceDesc + " (" + p.KernelName + ")");
        }
        d.HardwareID = text(hardwareId(p));
        d.Mfg = text(p.Manufacturer);
        d.LocationInformation = text(p.IdPath.empty() ? p.KernelName : p.IdPath);
        d.PhysicalDeviceObjectName = text(p.UsbDevNode);
        d.EnumeratorName = text(upper(p.Bus));
        uint32_t number = 0;
        if (parseDecimal(p.BusNum, number)) {
            d.BusNumber = number;
        }
        // The address of a USB device is its port on the hub it hangs from:
        // the last element of its port path.
        const auto dot = p.PortPath.find_last_of('.');
        if (parseDecimal(dot == std::string::npos ? p.PortPath : p.PortPath.substr(dot + 1),
                         number)) {
            d.Address = numberAsText(number);
        }
        Devises.push_back(std::move(d));
    }
}

bool RegisterDeviseNotify(IDeviceSource& Source, const std::string& InterfaceGuid,
                          IDeviceChangeSink* Sink) {
    return Source.RegisterNotify(InterfaceGuid, Sink);
}

int GetDeviceChangeKind(uint32_t EventType, const TDevBroadcastHeader* EventData) {
    if (EventType != DBT_DEVICEARRIVAL && EventType != DBT_DEVICEREMOVECOMPLETE) {
        return 0;
    }
    if (EventData == nullptr || EventData->DeviceType != DBT_DEVTYP_DEVICEINTERFACE) {
        return 0;
    }
    return EventType == DBT_DEVICEARRIVAL ? 1 : 2;
}

uint32_t DeviceChangeEventType(TDeviceChange Change) {
    return Change == TDeviceChange::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
}

TDevBroadcastHeader DeviceChangeHeader(const std::string& InterfaceGuid, const std::string& Name) {
    TDevBroadcastHeader Header;
    Header.DeviceType = DBT_DEVTYP_DEVICEINTERFACE;
    Header.ClassGuid = InterfaceGuid;
    Header.Name = Name;
    return Header;
}

uint16_t SwapBytes(uint16_t Value) {
    return static_cast<uint16_t>((Value << 8) | (Value >> 8));
}
