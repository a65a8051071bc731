#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "USBCtrls.h"

// The list of present phones of one class, in the order they were found,
// keyed by DevInst. Items are shared: an operation that holds one keeps it
// alive after a rescan from a nested event loop drops it from the list.
template <class TItem>
class TDeviseList {
  public:
    TDeviseList(const TDeviseList&) = delete;
    TDeviseList& operator=(const TDeviseList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // nullptr when Index is out of range.
    TItem* Items(int Index) const { return Hold(Index).get(); }
    // A reference that keeps the item alive while the caller works with it,
    // even when a rescan drops it from the list meanwhile; empty when out of range.
    std::shared_ptr<TItem> Hold(int Index) const {
        if (Index < 0 || Index >= Count()) {
            return nullptr;
        }
        return items_[static_cast<size_t>(Index)];
    }
    TItem* FindDevise(uint32_t Key) const {
        for (const auto& item : items_) {
            if (item->ModemInfo().DevInst == Key) {
                return item.get();
            }
        }
        return nullptr;
    }

  protected:
    TDeviseList() = default;
    // Items go in list order, each closing its handle if it is open; one
    // still held by a running operation goes when that operation lets go.
    ~TDeviseList() {
        while (!items_.empty()) {
            items_.erase(items_.begin());
        }
    }

    // A new item for Devise at the end, or nullptr when its DevInst is
    // listed already or the item could not be made.
    template <class TMake>
    TItem* addDevise(const TUSBDevise& Devise, TMake&& Make) {
        if (FindDevise(Devise.DevInst) != nullptr) {
            return nullptr;
        }
        try {
            items_.push_back(Make(Devise));
            return items_.back().get();
        } catch (...) {
            // That phone stays missing until the next rescan.
            return nullptr;
        }
    }

    // Brings the list in line with what the source reports: gone items leave
    // (wherever they stand), survivors keep their place and state, new ones
    // are appended through Add.
    template <class TAdd>
    void rescan(IDeviceSource& Source, const char* InterfaceGuid, const char* NameFilter,
                TAdd&& Add) {
        TUSBDevises devises;
        GetUSBDevises(Source, InterfaceGuid, NameFilter, devises);
        auto present = [&devises](const std::shared_ptr<TItem>& Item) {
            return std::any_of(devises.begin(), devises.end(), [&Item](const TUSBDevise& D) {
                return D.DevInst == Item->ModemInfo().DevInst;
            });
        };
        // The gone items leave the list before they are let go of: freeing
        // one closes its handle and logs, and that handler must see a list
        // without it.
        std::vector<std::shared_ptr<TItem>> gone;
        auto keep = std::stable_partition(items_.begin(), items_.end(), present);
        std::move(keep, items_.end(), std::back_inserter(gone));
        items_.erase(keep, items_.end());
        for (auto& item : gone) {
            item.reset();
        }

        for (const TUSBDevise& d : devises) {
            Add(d);
        }
    }

  private:
    std::vector<std::shared_ptr<TItem>> items_;
};
