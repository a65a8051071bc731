#include "USBCtrls.h"

#include <cstring>

#include "MotoSysUtils.h"

namespace {

// Text properties are read into a buffer of this many bytes; a longer value
// does not fit and reads as empty.
constexpr size_t RegistryTextBuffer = 257;

const std::string* findProperty(const TDeviseInterface& I, uint32_t Code) {
    auto it = I.Properties.find(Code);
    return it == I.Properties.end() ? nullptr : &it->second;
}

// Text rule: the bytes up to the first zero; empty when absent or too long.
// A multi-string keeps its first string; raw data keep their bytes up to the
// first zero.
std::string readText(const TDeviseInterface& I, uint32_t Code) {
    const std::string* raw = findProperty(I, Code);
    if (raw == nullptr || raw->size() > RegistryTextBuffer) {
        return {};
    }
    auto end = raw->find('\0');
    return end == std::string::npos ? *raw : raw->substr(0, end);
}

// Number rule: four little-endian bytes into a value preset to 0; a value that
// does not fit four bytes reads as 0.
uint32_t readNumber(const TDeviseInterface& I, uint32_t Code) {
    const std::string* raw = findProperty(I, Code);
    if (raw == nullptr || raw->size() > 4) {
        return 0;
    }
    uint32_t v = 0;
    for (size_t i = 0; i < raw->size(); ++i) {
        v |= static_cast<uint32_t>(static_cast<unsigned char>((*raw)[i])) << (8 * i);
    }
    return v;
}

}  // namespace

void GetUSBDevises(IDeviceSource& Source, const std::string& InterfaceGuid,
                   const std::string& NameFilter, TUSBDevises& Devises) {
    Devises.clear();
    const std::string filter = UpperCaseText1251(NameFilter);
    for (const TDeviseInterface& i : Source.Enumerate(InterfaceGuid)) {
        TUSBDevise d;
        d.DeviceDesc = readText(i, SPDRP_DEVICEDESC);
        d.CompatibleIDs = readText(i, SPDRP_COMPATIBLEIDS);
        if (!filter.empty() && UpperCaseText1251(d.DeviceDesc).find(filter) == std::string::npos) {
            continue;
        }
        d.DevInst = i.DevInst;
        d.DevicePath = i.DevicePath;
        // A USB string descriptor holds at most 126 characters; anything
        // longer did not come from one.
        d.SerialNumber = i.SerialNumber.size() <= 255 ? i.SerialNumber : std::string();
        d.Capabilities = readNumber(i, SPDRP_CAPABILITIES);
        d.Class = readText(i, SPDRP_CLASS);
        d.ClassGUID = readText(i, SPDRP_CLASSGUID);
        d.ConfigFlags = readNumber(i, SPDRP_CONFIGFLAGS);
        d.Driver = readText(i, SPDRP_DRIVER);
        d.FriendlyName = readText(i, SPDRP_FRIENDLYNAME);
        d.HardwareID = readText(i, SPDRP_HARDWAREID);
        d.LowerFilters = readText(i, SPDRP_LOWERFILTERS);
        d.Mfg = readText(i, SPDRP_MFG);
        d.UpperFilters = readText(i, SPDRP_UPPERFILTERS);
        d.Address = readText(i, SPDRP_ADDRESS);
        d.BusNumber = readNumber(i, SPDRP_BUSNUMBER);
        d.BusTypeGUID = readText(i, SPDRP_BUSTYPEGUID);
        d.Characteristics = readText(i, SPDRP_CHARACTERISTICS);
        d.DevType = readText(i, SPDRP_DEVTYPE);
        d.EnumeratorName = readText(i, SPDRP_ENUMERATOR_NAME);
        d.Exclusive = readNumber(i, SPDRP_EXCLUSIVE);
        d.LegacyBusType = readText(i, SPDRP_LEGACYBUSTYPE);
        d.LocationInformation = readText(i, SPDRP_LOCATION_INFORMATION);
        d.PhysicalDeviceObjectName = readText(i, SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
        d.Security = readText(i, SPDRP_SECURITY);
        d.Service = readText(i, SPDRP_SERVICE);
        d.UINumber = readNumber(i, SPDRP_UI_NUMBER);
        d.DevicePowerData = readText(i, SPDRP_DEVICE_POWER_DATA);
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

uint16_t SwapBytes(uint16_t Value) {
    return static_cast<uint16_t>((Value << 8) | (Value >> 8));
}
