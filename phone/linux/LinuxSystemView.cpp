#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <libudev.h>
#include <libusb.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>

#include "linux/SystemView.h"
#include "linux/UdevRecord.h"

namespace {

std::string str(const char* S) {
    return S ? S : "";
}

struct TUdevDeleter {
    void operator()(udev* U) const { udev_unref(U); }
    void operator()(udev_enumerate* E) const { udev_enumerate_unref(E); }
    void operator()(udev_device* D) const { udev_device_unref(D); }
};
template <class T>
using TUdevPtr = std::unique_ptr<T, TUdevDeleter>;

std::map<std::string, std::string> properties(udev_device* D) {
    std::map<std::string, std::string> Out;
    udev_list_entry* Entry;
    udev_list_entry_foreach(Entry, udev_device_get_properties_list_entry(D)) {
        Out[str(udev_list_entry_get_name(Entry))] = str(udev_list_entry_get_value(Entry));
    }
    return Out;
}

// The devices of Subsystem (and DevType, when given) below Parent.
std::vector<TUdevPtr<udev_device>> children(udev* U, udev_device* Parent, const char* Subsystem,
                                            const char* DevType) {
    std::vector<TUdevPtr<udev_device>> Out;
    TUdevPtr<udev_enumerate> E(udev_enumerate_new(U));
    if (!E) {
        return Out;
    }
    udev_enumerate_add_match_parent(E.get(), Parent);
    udev_enumerate_add_match_subsystem(E.get(), Subsystem);
    if (udev_enumerate_scan_devices(E.get()) < 0) {
        return Out;
    }
    udev_list_entry* Entry;
    udev_list_entry_foreach(Entry, udev_enumerate_get_list_entry(E.get())) {
        TUdevPtr<udev_device> D(udev_device_new_from_syspath(U, udev_list_entry_get_name(Entry)));
        if (D && (DevType == nullptr || str(udev_device_get_devtype(D.get())) == DevType)) {
            Out.push_back(std::move(D));
        }
    }
    return Out;
}

std::string userName(uid_t Uid) {
    const passwd* P = getpwuid(Uid);
    return P ? P->pw_name : std::to_string(Uid);
}

std::string groupName(gid_t Gid) {
    const group* G = getgrgid(Gid);
    return G ? G->gr_name : std::to_string(Gid);
}

bool allDigits(const char* S) {
    if (*S == '\0') {
        return false;
    }
    for (; *S != '\0'; ++S) {
        if (!std::isdigit(static_cast<unsigned char>(*S))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<TUsbDeviceView> TLinuxSystemView::PhoneDevices() {
    std::vector<TUsbDeviceView> Out;
    TUdevPtr<udev> U(udev_new());
    if (!U) {
        return Out;
    }
    TUdevPtr<udev_enumerate> E(udev_enumerate_new(U.get()));
    if (!E) {
        return Out;
    }
    udev_enumerate_add_match_subsystem(E.get(), "usb");
    udev_enumerate_add_match_sysattr(E.get(), "idVendor", MotorolaVendorId);
    if (udev_enumerate_scan_devices(E.get()) < 0) {
        return Out;
    }
    udev_list_entry* Entry;
    udev_list_entry_foreach(Entry, udev_enumerate_get_list_entry(E.get())) {
        TUdevPtr<udev_device> D(
            udev_device_new_from_syspath(U.get(), udev_list_entry_get_name(Entry)));
        if (!D || str(udev_device_get_devtype(D.get())) != "usb_device") {
            continue;
        }
        TUsbDeviceView V;
        V.VendorId = str(udev_device_get_sysattr_value(D.get(), "idVendor"));
        V.ProductId = str(udev_device_get_sysattr_value(D.get(), "idProduct"));
        V.Product = str(udev_device_get_sysattr_value(D.get(), "product"));
        V.BusNum = str(udev_device_get_sysattr_value(D.get(), "busnum"));
        V.DevNum = str(udev_device_get_sysattr_value(D.get(), "devnum"));
        V.DevNode = str(udev_device_get_devnode(D.get()));
        V.Properties = properties(D.get());
        for (auto& I : children(U.get(), D.get(), "usb", "usb_interface")) {
            TUsbInterfaceView IV;
            IV.Number = str(udev_device_get_sysattr_value(I.get(), "bInterfaceNumber"));
            IV.Class = str(udev_device_get_sysattr_value(I.get(), "bInterfaceClass"));
            IV.Driver = str(udev_device_get_driver(I.get()));
            IV.KernelName = str(udev_device_get_sysname(I.get()));
            for (auto& T : children(U.get(), I.get(), "tty", nullptr)) {
                if (str(udev_device_get_sysname(T.get())).rfind("ttyACM", 0) == 0) {
                    IV.TtyNode = str(udev_device_get_devnode(T.get()));
                    IV.TtyProperties = properties(T.get());
                }
            }
            V.Interfaces.push_back(std::move(IV));
        }
        Out.push_back(std::move(V));
    }
    return Out;
}

bool TLinuxSystemView::FileExists(const std::string& Path) {
    struct stat S {};
    return ::stat(Path.c_str(), &S) == 0;
}

TNodeAccess TLinuxSystemView::Access(const std::string& Path) {
    TNodeAccess A;
    struct stat S {};
    if (::stat(Path.c_str(), &S) != 0) {
        return A;
    }
    A.Exists = true;
    A.Mode = S.st_mode;
    A.Owner = userName(S.st_uid);
    A.Group = groupName(S.st_gid);
    // access(2) with the effective ids sees the ACLs a seat's uaccess tag
    // gives, which the mode alone does not show.
    A.CanRead = ::faccessat(AT_FDCWD, Path.c_str(), R_OK, AT_EACCESS) == 0;
    A.CanWrite = ::faccessat(AT_FDCWD, Path.c_str(), W_OK, AT_EACCESS) == 0;
    return A;
}

std::string TLinuxSystemView::UserName() {
    return userName(::geteuid());
}

bool TLinuxSystemView::IsRoot() {
    return ::geteuid() == 0;
}

std::vector<std::string> TLinuxSystemView::UserGroups() {
    std::vector<std::string> Out{groupName(::getegid())};
    const int Count = ::getgroups(0, nullptr);
    std::vector<gid_t> Groups(static_cast<size_t>(std::max(Count, 0)));
    if (Count > 0 && ::getgroups(Count, Groups.data()) == Count) {
        for (gid_t G : Groups) {
            std::string Name = groupName(G);
            if (std::find(Out.begin(), Out.end(), Name) == Out.end()) {
                Out.push_back(std::move(Name));
            }
        }
    }
    return Out;
}

std::vector<TProcessView> TLinuxSystemView::Processes() {
    std::vector<TProcessView> Out;
    std::unique_ptr<DIR, int (*)(DIR*)> Proc(::opendir("/proc"), ::closedir);
    if (!Proc) {
        return Out;
    }
    const std::string Self = std::to_string(::getpid());
    while (const dirent* E = ::readdir(Proc.get())) {
        if (!allDigits(E->d_name) || E->d_name == Self) {
            continue;
        }
        TProcessView P;
        P.Pid = std::stoi(E->d_name);
        const std::string Base = std::string("/proc/") + E->d_name;
        std::ifstream Comm(Base + "/comm");
        std::getline(Comm, P.Name);
        std::unique_ptr<DIR, int (*)(DIR*)> Fds(::opendir((Base + "/fd").c_str()), ::closedir);
        const dirent* Fd = nullptr;
        while (Fds && (Fd = ::readdir(Fds.get())) != nullptr) {
            char Target[256];
            const std::string Link = Base + "/fd/" + Fd->d_name;
            const ssize_t N = ::readlink(Link.c_str(), Target, sizeof Target - 1);
            if (N <= 0) {
                continue;
            }
            const std::string Node(Target, static_cast<size_t>(N));
            if (Node.rfind("/dev/bus/usb/", 0) == 0 || Node.rfind("/dev/tty", 0) == 0) {
                P.OpenNodes.push_back(Node);
            }
        }
        Out.push_back(std::move(P));
    }
    return Out;
}

std::string TLinuxSystemView::LibusbVersion() {
    const libusb_version* V = libusb_get_version();
    return V ? std::to_string(V->major) + "." + std::to_string(V->minor) + "." +
                   std::to_string(V->micro)
             : std::string();
}
