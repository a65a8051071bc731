// The list of phones attached as USB modems.

#include "MotoATMode.h"

TMotoATModemList::TMotoATModemList(TPhoneBackend& Backend) : backend_(Backend) {
    Rescan();
}

TMotoATModemItem* TMotoATModemList::AddDevise(const TUSBDevise& Devise) {
    return addDevise(Devise, [this](const TUSBDevise& D) {
        return std::make_shared<TMotoATModemItem>(D, backend_.Serial);
    });
}

void TMotoATModemList::Rescan() {
    rescan(backend_.Devices, UsbDeviceInterfaceGuid, ATModemNameFilter,
           [this](const TUSBDevise& D) { AddDevise(D); });
}
