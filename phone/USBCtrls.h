#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "backend/DeviceSource.h"

// One present device interface with its properties. Texts are 8-bit.
struct TUSBDevise {
    uint32_t DevInst = 0;
    std::string DevicePath;
    uint32_t Capabilities = 0;
    std::string Class;
    std::string ClassGUID;
    std::string CompatibleIDs;
    uint32_t ConfigFlags = 0;
    std::string DeviceDesc;
    std::string Driver;
    std::string FriendlyName;
    std::string HardwareID;
    std::string LowerFilters;
    std::string Mfg;
    std::string UpperFilters;
    std::string Address;
    uint32_t BusNumber = 0;
    std::string BusTypeGUID;
    std::string Characteristics;
    std::string DevType;
    std::string EnumeratorName;
    uint32_t Exclusive = 0;
    std::string LegacyBusType;
    std::string LocationInformation;
    std::string PhysicalDeviceObjectName;
    std::string Security;
    std::string Service;
    uint32_t UINumber = 0;
    std::string DevicePowerData;
    // The USB device's own serial number string, empty when it has none.
    // Not a registry property: the system keeps it in the device's identity.
    std::string SerialNumber;
};

using TUSBDevises = std::vector<TUSBDevise>;

// Device-change event types (the first parameter of a device-change message)
// and the device types of its broadcast header: the words the link
// components classify a change in. A device source's arrival is
// DBT_DEVICEARRIVAL with a device-interface header, its removal
// DBT_DEVICEREMOVECOMPLETE.
inline constexpr uint32_t DBT_DEVNODES_CHANGED = 0x0007;
inline constexpr uint32_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr uint32_t DBT_DEVICEQUERYREMOVE = 0x8001;
inline constexpr uint32_t DBT_DEVICEREMOVECOMPLETE = 0x8004;
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

// The message and header a device source's change stands for.
uint32_t DeviceChangeEventType(TDeviceChange Change);
TDevBroadcastHeader DeviceChangeHeader(const std::string& InterfaceGuid, const std::string& Name);

// Empties Devises, then fills it with the present interfaces of the class
// whose DeviceDesc contains NameFilter (case-insensitive; every one when the
// filter is empty), in enumeration order. The record's fields come from the
// interface's properties (see TUSBDevise's reading in USBCtrls.cpp); a text
// longer than 256 characters reads as empty, as it would not fit the record.
void GetUSBDevises(IDeviceSource& Source, const std::string& InterfaceGuid,
                   const std::string& NameFilter, TUSBDevises& Devises);

// Registers Sink for the arrivals and removals of the class; true when accepted.
bool RegisterDeviseNotify(IDeviceSource& Source, const std::string& InterfaceGuid,
                          IDeviceChangeSink* Sink);

// 1 for an interface arrival, 2 for an interface removal, 0 for anything else.
int GetDeviceChangeKind(uint32_t EventType, const TDevBroadcastHeader* EventData);

// The two bytes of a 16-bit value exchanged.
uint16_t SwapBytes(uint16_t Value);
