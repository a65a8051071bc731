#include "backend/TraceDevice.h"

#include <charconv>

namespace {

// The trace's field names of the properties, in the order they are written.
struct TPropertyField {
    const char* Key;
    std::string TDeviceProperties::*Member;
};

constexpr TPropertyField PropertyFields[] = {
    {"desc", &TDeviceProperties::Description},
    {"type", &TDeviceProperties::Bus},
    {"bus", &TDeviceProperties::BusNum},
    {"address", &TDeviceProperties::DevNum},
    {"vendor", &TDeviceProperties::VendorId},
    {"product", &TDeviceProperties::ProductId},
    {"rev", &TDeviceProperties::Revision},
    {"interface", &TDeviceProperties::InterfaceNumber},
    {"ifclass", &TDeviceProperties::InterfaceClass},
    {"ifsubclass", &TDeviceProperties::InterfaceSubClass},
    {"ifprotocol", &TDeviceProperties::InterfaceProtocol},
    {"mfg", &TDeviceProperties::Manufacturer},
    {"name", &TDeviceProperties::Product},
    {"driver", &TDeviceProperties::Driver},
    {"subsystem", &TDeviceProperties::Subsystem},
    {"kernel", &TDeviceProperties::KernelName},
    {"idpath", &TDeviceProperties::IdPath},
    {"node", &TDeviceProperties::UsbDevNode},
    {"port", &TDeviceProperties::PortPath},
};

}  // namespace

TTraceEvent TraceDeviceEvent(const std::string& ClassName, const TDeviseInterface& Device) {
    TTraceEvent E("usb", "device");
    E.Add("class", ClassName).Add("inst", Device.DevInst).Add("path", Device.DevicePath);
    for (const auto& F : PropertyFields) {
        const std::string& Value = Device.Properties.*F.Member;
        if (!Value.empty()) {
            E.Add(F.Key, Value);
        }
    }
    if (!Device.SerialNumber.empty()) {
        E.Add("serial", Device.SerialNumber);
    }
    return E;
}

TDeviseInterface DeviceFromTrace(const TTraceEvent& Event) {
    TDeviseInterface D;
    const std::string inst = Event.Get("inst");
    std::from_chars(inst.data(), inst.data() + inst.size(), D.DevInst);
    D.DevicePath = Event.Get("path");
    for (const auto& F : PropertyFields) {
        D.Properties.*F.Member = Event.Get(F.Key);
    }
    D.SerialNumber = Event.Get("serial");
    return D;
}
