// The list of present P2K phones and the link component that keeps it in
// line with the bus.

#include <algorithm>

#include "ComponentBanner.h"
#include "MotoP2KMode.h"

namespace {
constexpr const char* P2KNameFilter = "Test Command Interface";
}

TMotoP2KModemList::TMotoP2KModemList(TPhoneBackend& Backend) : backend_(Backend) {
    Rescan();
}

// Items still held by a running operation outlive the list; they close their
// handle when that operation lets go of them.
TMotoP2KModemList::~TMotoP2KModemList() = default;

TMotoP2KModemItem* TMotoP2KModemList::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        return nullptr;
    return items_[static_cast<size_t>(Index)].get();
}

std::shared_ptr<TMotoP2KModemItem> TMotoP2KModemList::Hold(int Index) const {
    if (Index < 0 || Index >= Count())
        return nullptr;
    return items_[static_cast<size_t>(Index)];
}

TMotoP2KModemItem* TMotoP2KModemList::FindDevise(uint32_t Key) const {
    for (const auto& item : items_)
        if (item->ModemInfo().DevInst == Key)
            return item.get();
    return nullptr;
}

TMotoP2KModemItem* TMotoP2KModemList::AddDevise(const TUSBDevise& Devise) {
    if (FindDevise(Devise.DevInst) != nullptr)
        return nullptr;
    try {
        auto item = std::make_shared<TMotoP2KModemItem>(Devise, backend_.P2K, backend_.Clock);
        items_.push_back(item);
        return item.get();
    } catch (...) {
        // That phone stays missing until the next rescan.
        return nullptr;
    }
}

void TMotoP2KModemList::Rescan() {
    TUSBDevises devises;
    GetUSBDevises(backend_.Devices, P2KInterfaceGuid, P2KNameFilter, devises);

    auto present = [&devises](const std::shared_ptr<TMotoP2KModemItem>& item) {
        return std::any_of(devises.begin(), devises.end(), [&item](const TUSBDevise& d) {
            return d.DevInst == item->ModemInfo().DevInst;
        });
    };
    // Take the gone items out of the list first and let go of them only after
    // the list is consistent again: freeing one closes its handle and logs,
    // and that handler must see a list without it.
    std::vector<std::shared_ptr<TMotoP2KModemItem>> gone;
    std::vector<std::shared_ptr<TMotoP2KModemItem>> kept;
    for (auto& item : items_)
        (present(item) ? kept : gone).push_back(std::move(item));
    items_ = std::move(kept);
    gone.clear();

    for (const TUSBDevise& d : devises)
        AddDevise(d);
}

TMotoP2KMode::TMotoP2KMode(TPhoneBackend& Backend)
    : backend_(Backend),
      about_(ComponentBanner()),
      deviseList_(std::make_unique<TMotoP2KModemList>(Backend)) {
    RegisterDeviseNotify(backend_.Devices, P2KInterfaceGuid, this);
}

TMotoP2KMode::~TMotoP2KMode() {
    backend_.Devices.UnregisterNotify(this);
}

void TMotoP2KMode::SetAbout(const std::string&) {
    // The banner is fixed; a stored value changes nothing.
}

void TMotoP2KMode::SetOnDebug(TP2KDebugEvent Handler) {
    onDebug_ = std::move(Handler);
    for (int i = 0; i < deviseList_->Count(); ++i)
        deviseList_->Items(i)->SetOnDebugEvent(onDebug_);
}

void TMotoP2KMode::DeviceChange(uint32_t EventType, const TDevBroadcastHeader* EventData) {
    const int kind = GetDeviceChangeKind(EventType, EventData);
    if (kind == 0)
        return;
    deviseList_->Rescan();
    // Items added by the rescan get the current handler too.
    SetOnDebug(onDebug_);
    if (kind == 1 && OnArrival)
        OnArrival(this);
    if (kind == 2 && OnRemove)
        OnRemove(this);
}

void TMotoP2KMode::DeviceChangeMessage(uint32_t EventType, const TDevBroadcastHeader* EventData) {
    try {
        DeviceChange(EventType, EventData);
    } catch (...) {
        // A failing rescan or application handler must not leave the event
        // dispatch; the list is as up to date as the rescan got.
    }
}
