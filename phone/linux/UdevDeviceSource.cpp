#include "linux/UdevDeviceSource.h"

#include <libudev.h>

#include "linux/UdevRecord.h"

namespace {

std::string str(const char* S) {
    return S ? S : "";
}

struct TEnumerateDeleter {
    void operator()(udev_enumerate* E) const { udev_enumerate_unref(E); }
};
struct TDeviceDeleter {
    void operator()(udev_device* D) const { udev_device_unref(D); }
};
using TEnumeratePtr = std::unique_ptr<udev_enumerate, TEnumerateDeleter>;
using TDevicePtr = std::unique_ptr<udev_device, TDeviceDeleter>;

// Fills the interface and USB device fields; Iface is a usb_interface.
// Returns false when the interface has no USB device above it.
bool readUsbAttributes(udev_device* Iface, TUdevAttributes& A) {
    // Parents belong to their child: they are not unreferenced here.
    udev_device* Dev = udev_device_get_parent_with_subsystem_devtype(Iface, "usb", "usb_device");
    if (!Dev) {
        return false;
    }
    A.VendorId = str(udev_device_get_sysattr_value(Dev, "idVendor"));
    A.ProductId = str(udev_device_get_sysattr_value(Dev, "idProduct"));
    A.Revision = str(udev_device_get_sysattr_value(Dev, "bcdDevice"));
    A.Manufacturer = str(udev_device_get_sysattr_value(Dev, "manufacturer"));
    A.Product = str(udev_device_get_sysattr_value(Dev, "product"));
    A.Serial = str(udev_device_get_sysattr_value(Dev, "serial"));
    A.BusNum = str(udev_device_get_sysattr_value(Dev, "busnum"));
    A.DevNum = str(udev_device_get_sysattr_value(Dev, "devnum"));
    A.PortPath = str(udev_device_get_sysattr_value(Dev, "devpath"));
    A.UsbDevNode = str(udev_device_get_devnode(Dev));
    A.InterfaceNumber = str(udev_device_get_sysattr_value(Iface, "bInterfaceNumber"));
    A.InterfaceClass = str(udev_device_get_sysattr_value(Iface, "bInterfaceClass"));
    A.InterfaceSubClass = str(udev_device_get_sysattr_value(Iface, "bInterfaceSubClass"));
    A.InterfaceProtocol = str(udev_device_get_sysattr_value(Iface, "bInterfaceProtocol"));
    A.InterfaceName = str(udev_device_get_sysattr_value(Iface, "interface"));
    A.Driver = str(udev_device_get_driver(Iface));
    return true;
}

std::vector<TDeviseInterface> listP2K(udev* U) {
    std::vector<TDeviseInterface> Out;
    TEnumeratePtr E(udev_enumerate_new(U));
    if (!E) {
        return Out;
    }
    udev_enumerate_add_match_subsystem(E.get(), "usb");
    udev_enumerate_add_match_sysattr(E.get(), "bInterfaceNumber", P2KInterfaceNumber);
    if (udev_enumerate_scan_devices(E.get()) < 0) {
        return Out;
    }
    udev_list_entry* Entry;
    udev_list_entry_foreach(Entry, udev_enumerate_get_list_entry(E.get())) {
        TDevicePtr D(udev_device_new_from_syspath(U, udev_list_entry_get_name(Entry)));
        if (!D || str(udev_device_get_devtype(D.get())) != "usb_interface") {
            continue;
        }
        TUdevAttributes A;
        A.SysPath = str(udev_device_get_syspath(D.get()));
        A.KernelName = str(udev_device_get_sysname(D.get()));
        A.IdPath = str(udev_device_get_property_value(D.get(), "ID_PATH"));
        if (!readUsbAttributes(D.get(), A) || !IsP2KInterface(A)) {
            continue;
        }
        Out.push_back(BuildDeviseInterface(A, TUdevDeviceKind::P2KInterface));
    }
    return Out;
}

std::vector<TDeviseInterface> listModems(udev* U) {
    std::vector<TDeviseInterface> Out;
    TEnumeratePtr E(udev_enumerate_new(U));
    if (!E) {
        return Out;
    }
    udev_enumerate_add_match_subsystem(E.get(), "tty");
    udev_enumerate_add_match_sysname(E.get(), "ttyACM*");
    if (udev_enumerate_scan_devices(E.get()) < 0) {
        return Out;
    }
    udev_list_entry* Entry;
    udev_list_entry_foreach(Entry, udev_enumerate_get_list_entry(E.get())) {
        TDevicePtr D(udev_device_new_from_syspath(U, udev_list_entry_get_name(Entry)));
        if (!D) {
            continue;
        }
        udev_device* Iface =
            udev_device_get_parent_with_subsystem_devtype(D.get(), "usb", "usb_interface");
        if (!Iface) {
            continue;
        }
        TUdevAttributes A;
        A.SysPath = str(udev_device_get_syspath(D.get()));
        A.KernelName = str(udev_device_get_sysname(D.get()));
        A.DevNode = str(udev_device_get_devnode(D.get()));
        A.IdPath = str(udev_device_get_property_value(D.get(), "ID_PATH"));
        if (A.DevNode.empty() || !readUsbAttributes(Iface, A) || !IsPhoneModemPort(A)) {
            continue;
        }
        Out.push_back(BuildDeviseInterface(A, TUdevDeviceKind::ModemPort));
    }
    return Out;
}

}  // namespace

TUdevDeviceSource::TUdevDeviceSource() {
    udev_ = udev_new();
    if (!udev_) {
        return;
    }
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_) {
        return;
    }
    // A larger queue, so a burst of events (a phone re-attaching with all its
    // interfaces) survives a busy event loop; refused without privilege.
    udev_monitor_set_receive_buffer_size(monitor_, 1 << 20);
    bool Ok = udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", nullptr) >= 0 &&
              udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) >= 0 &&
              udev_monitor_enable_receiving(monitor_) >= 0;
    if (!Ok) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
}

TUdevDeviceSource::~TUdevDeviceSource() {
    if (monitor_) {
        udev_monitor_unref(monitor_);
    }
    if (udev_) {
        udev_unref(udev_);
    }
}

std::vector<TDeviseInterface> TUdevDeviceSource::Enumerate(const std::string& InterfaceGuid) {
    if (!udev_) {
        return {};
    }
    if (InterfaceGuid == P2KInterfaceGuid) {
        return listP2K(udev_);
    }
    if (InterfaceGuid == UsbDeviceInterfaceGuid) {
        return listModems(udev_);
    }
    return {};
}

bool TUdevDeviceSource::RegisterNotify(const std::string& InterfaceGuid, IDeviceChangeSink* Sink) {
    if (!monitor_ || !Sink) {
        return false;
    }
    if (InterfaceGuid != P2KInterfaceGuid && InterfaceGuid != UsbDeviceInterfaceGuid) {
        return false;
    }
    sinks_.Add(InterfaceGuid, Sink);
    return true;
}

void TUdevDeviceSource::UnregisterNotify(IDeviceChangeSink* Sink) {
    sinks_.Remove(Sink);
}

int TUdevDeviceSource::EventFd() const {
    return monitor_ ? udev_monitor_get_fd(monitor_) : -1;
}

void TUdevDeviceSource::DispatchPending() {
    if (!monitor_) {
        return;
    }
    // The monitor's socket does not block: receiving ends when nothing waits.
    while (TDevicePtr D{udev_monitor_receive_device(monitor_)}) {
        TUdevEvent E;
        E.Action = str(udev_device_get_action(D.get()));
        E.Subsystem = str(udev_device_get_subsystem(D.get()));
        E.DevType = str(udev_device_get_devtype(D.get()));
        E.SysName = str(udev_device_get_sysname(D.get()));
        E.Product = str(udev_device_get_property_value(D.get(), "PRODUCT"));
        E.Interface = str(udev_device_get_property_value(D.get(), "INTERFACE"));
        TUdevEventRoute Route = RouteUdevEvent(E);
        if (!Route.Routed()) {
            continue;
        }
        std::string Name = str(udev_device_get_devnode(D.get()));
        if (Name.empty() || Route.ToP2K) {
            Name = str(udev_device_get_syspath(D.get()));
        }
        if (Route.ToP2K) {
            sinks_.Deliver(P2KInterfaceGuid, Route.Change, Name);
        }
        if (Route.ToUsbDevice) {
            sinks_.Deliver(UsbDeviceInterfaceGuid, Route.Change, Name);
        }
    }
}
