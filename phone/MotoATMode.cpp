#include "MotoATMode.h"

#include "ComponentBanner.h"

TMotoATMode::TMotoATMode(TPhoneBackend& Backend)
    : backend_(Backend),
      about_(ComponentBanner()),
      deviseList_(std::make_unique<TMotoATModemList>(Backend)) {
    // Refusal is not fatal: the list then changes only on the program's own Rescan.
    RegisterDeviseNotify(backend_.Devices, UsbDeviceInterfaceGuid, this);
}

TMotoATMode::~TMotoATMode() {
    // A modem held elsewhere may outlive this component and its owner's handler.
    SetOnDebug(nullptr);
    deviseList_.reset();
    backend_.Devices.UnregisterNotify(this);
}

void TMotoATMode::SetAbout(const std::string& /*Value*/) {}

void TMotoATMode::SetOnDebug(TATDebugEvent Handler) {
    onDebug_ = std::move(Handler);
    for (int i = 0; i < deviseList_->Count(); ++i) {
        deviseList_->Items(i)->SetOnDebugEvent(onDebug_);
    }
}

void TMotoATMode::DeviceChange(uint32_t EventType, const TDevBroadcastHeader* EventData) {
    const int kind = GetDeviceChangeKind(EventType, EventData);
    if (kind == 0) {
        return;
    }
    // Any USB device that comes or goes leads here, phone or not.
    deviseList_->Rescan();
    SetOnDebug(onDebug_);
    if (kind == 1) {
        if (OnArrival) {
            OnArrival(this);
        }
    } else if (kind == 2) {
        if (OnRemove) {
            OnRemove(this);
        }
    }
}

void TMotoATMode::DeviceChangeMessage(uint32_t EventType, const TDevBroadcastHeader* EventData) {
    try {
        DeviceChange(EventType, EventData);
    } catch (...) {
        // A failing rescan or handler never reaches the event source.
    }
}

void TMotoATMode::DeviceChanged(TDeviceChange Change, const std::string& Name) {
    const TDevBroadcastHeader header = DeviceChangeHeader(UsbDeviceInterfaceGuid, Name);
    DeviceChangeMessage(DeviceChangeEventType(Change), &header);
}
