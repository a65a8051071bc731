// The list of present P2K phones and the link component that keeps it in
// line with the bus.

#include "ComponentBanner.h"
#include "MotoP2KMode.h"

namespace {
constexpr const char* P2KNameFilter = "Test Command Interface";
}

TMotoP2KModemList::TMotoP2KModemList(TPhoneBackend& Backend) : backend_(Backend) {
    Rescan();
}

TMotoP2KModemItem* TMotoP2KModemList::AddDevise(const TUSBDevise& Devise) {
    return addDevise(Devise, [this](const TUSBDevise& D) {
        return std::make_shared<TMotoP2KModemItem>(D, backend_.P2K, backend_.Clock, backend_.Files);
    });
}

void TMotoP2KModemList::Rescan() {
    rescan(backend_.Devices, P2KInterfaceGuid, P2KNameFilter,
           [this](const TUSBDevise& D) { AddDevise(D); });
}

TMotoP2KMode::TMotoP2KMode(TPhoneBackend& Backend)
    : backend_(Backend),
      about_(ComponentBanner()),
      deviseList_(std::make_unique<TMotoP2KModemList>(Backend)) {
    RegisterDeviseNotify(backend_.Devices, P2KInterfaceGuid, this);
}

TMotoP2KMode::~TMotoP2KMode() {
    // A phone held elsewhere (a command's job, a mount) may outlive this
    // component; its handler belongs to the component's owner, which goes now.
    SetOnDebug(nullptr);
    backend_.Devices.UnregisterNotify(this);
}

void TMotoP2KMode::SetAbout(const std::string&) {
    // The banner is fixed; a stored value changes nothing.
}

void TMotoP2KMode::SetOnDebug(TP2KDebugEvent Handler) {
    onDebug_ = std::move(Handler);
    for (int i = 0; i < deviseList_->Count(); ++i) {
        deviseList_->Items(i)->SetOnDebugEvent(onDebug_);
    }
}

void TMotoP2KMode::DeviceChange(uint32_t EventType, const TDevBroadcastHeader* EventData) {
    const int kind = GetDeviceChangeKind(EventType, EventData);
    if (kind == 0) {
        return;
    }
    deviseList_->Rescan();
    // Items added by the rescan get the current handler too.
    SetOnDebug(onDebug_);
    if (kind == 1 && OnArrival) {
        OnArrival(this);
    }
    if (kind == 2 && OnRemove) {
        OnRemove(this);
    }
}

void TMotoP2KMode::DeviceChangeMessage(uint32_t EventType, const TDevBroadcastHeader* EventData) {
    try {
        DeviceChange(EventType, EventData);
    } catch (...) {
        // A failing rescan or application handler must not leave the event
        // dispatch; the list is as up to date as the rescan got.
    }
}

void TMotoP2KMode::DeviceChanged(TDeviceChange Change, const std::string& Name) {
    const TDevBroadcastHeader header = DeviceChangeHeader(P2KInterfaceGuid, Name);
    DeviceChangeMessage(DeviceChangeEventType(Change), &header);
}
