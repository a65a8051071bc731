#include <algorithm>

#include "MotoATMode.h"

TMotoATModemList::TMotoATModemList(TPhoneBackend& Backend) : backend_(Backend) {
    Rescan();
}

TMotoATModemList::~TMotoATModemList() {
    // Items go in list order, each closing its port if it is open; an item
    // still held by a running operation goes when that operation lets go.
    while (!items_.empty())
        items_.erase(items_.begin());
}

TMotoATModemItem* TMotoATModemList::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        return nullptr;
    return items_[static_cast<size_t>(Index)].get();
}

std::shared_ptr<TMotoATModemItem> TMotoATModemList::Hold(int Index) const {
    if (Index < 0 || Index >= Count())
        return nullptr;
    return items_[static_cast<size_t>(Index)];
}

TMotoATModemItem* TMotoATModemList::FindDevise(uint32_t Key) const {
    for (const auto& item : items_) {
        if (item->ModemInfo().DevInst == Key)
            return item.get();
    }
    return nullptr;
}

TMotoATModemItem* TMotoATModemList::AddDevise(const TUSBDevise& Devise) {
    if (FindDevise(Devise.DevInst) != nullptr)
        return nullptr;
    try {
        auto item = std::make_shared<TMotoATModemItem>(Devise, backend_.Serial);
        items_.push_back(item);
        return item.get();
    } catch (...) {
        // That modem is missing until the next rescan.
        return nullptr;
    }
}

void TMotoATModemList::Rescan() {
    TUSBDevises devises;
    GetUSBDevises(backend_.Devices, UsbDeviceInterfaceGuid, ATModemNameFilter, devises);

    // Gone modems leave the list first; they are freed (closing their ports)
    // only once the list is consistent again, in their list order.
    std::vector<std::shared_ptr<TMotoATModemItem>> gone;
    auto present = [&](const std::shared_ptr<TMotoATModemItem>& Item) {
        return std::any_of(devises.begin(), devises.end(), [&](const TUSBDevise& D) {
            return D.DevInst == Item->ModemInfo().DevInst;
        });
    };
    auto keep = std::stable_partition(items_.begin(), items_.end(), present);
    std::move(keep, items_.end(), std::back_inserter(gone));
    items_.erase(keep, items_.end());
    for (auto& item : gone)
        item.reset();

    for (const auto& devise : devises)
        AddDevise(devise);
}
