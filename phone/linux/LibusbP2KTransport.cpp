#include "linux/LibusbP2KTransport.h"

#include <libusb.h>

#include <charconv>
#include <fstream>

#include "linux/UsbControlChannel.h"

namespace {

bool readNumberFile(const std::string& Path, int Base, unsigned& Value) {
    std::ifstream F(Path);
    std::string Text;
    if (!F || !(F >> Text)) {
        return false;
    }
    auto [Ptr, Ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Value, Base);
    return Ec == std::errc() && Ptr == Text.data() + Text.size();
}

std::string parentFolder(const std::string& Path) {
    std::string P = Path;
    while (P.size() > 1 && P.back() == '/') {
        P.pop_back();
    }
    auto Slash = P.find_last_of('/');
    return Slash == std::string::npos || Slash == 0 ? std::string() : P.substr(0, Slash);
}

// The control pipe of one opened device.
class TLibusbControlPipe final : public IUsbControlPipe {
  public:
    TLibusbControlPipe(std::shared_ptr<libusb_context> Context, libusb_device_handle* Handle,
                       int Interface, bool Claimed, std::string SysPath, uint8_t Bus,
                       uint8_t Address)
        : context_(std::move(Context)),
          handle_(Handle),
          interface_(Interface),
          claimed_(Claimed),
          sysPath_(std::move(SysPath)),
          bus_(Bus),
          address_(Address) {}
    ~TLibusbControlPipe() override { Close(); }

    int Transfer(const TSetupFields& S, uint8_t* Data, uint16_t Length,
                 unsigned TimeoutMs) override {
        if (!handle_) {
            return LIBUSB_ERROR_NO_DEVICE;
        }
        return libusb_control_transfer(handle_, S.RequestType, S.Request, S.Value, S.Index, Data,
                                       Length, TimeoutMs);
    }

    bool Close() override {
        if (!handle_) {
            return false;
        }
        if (claimed_) {
            libusb_release_interface(handle_, interface_);
        }
        libusb_close(handle_);
        handle_ = nullptr;
        return true;
    }

    // The kernel drops the interface's sysfs folder as soon as the device
    // leaves, and a device plugged in again gets a new address: the device
    // is there while its folder names the bus and address opened.
    bool Present() const override {
        uint8_t bus = 0, address = 0;
        return ReadUsbBusAddress(sysPath_, bus, address) && bus == bus_ && address == address_;
    }

  private:
    std::shared_ptr<libusb_context> context_;
    libusb_device_handle* handle_;
    int interface_;
    bool claimed_;
    std::string sysPath_;
    uint8_t bus_;
    uint8_t address_;
};

}  // namespace

bool ReadUsbBusAddress(const std::string& InterfaceSysPath, uint8_t& Bus, uint8_t& Address) {
    std::string Device = parentFolder(InterfaceSysPath);
    if (Device.empty()) {
        return false;
    }
    unsigned B = 0, A = 0;
    if (!readNumberFile(Device + "/busnum", 10, B) || !readNumberFile(Device + "/devnum", 10, A)) {
        return false;
    }
    if (B > 255 || A > 255) {
        return false;
    }
    Bus = static_cast<uint8_t>(B);
    Address = static_cast<uint8_t>(A);
    return true;
}

TLibusbP2KTransport::TLibusbP2KTransport() {
    libusb_context* Context = nullptr;
    if (libusb_init(&Context) == 0) {
        context_.reset(Context, libusb_exit);
    }
}

TLibusbP2KTransport::~TLibusbP2KTransport() = default;

bool TLibusbP2KTransport::HeldElsewhere(const std::string& DevicePath) const {
    return held_.contains(DevicePath);
}

std::unique_ptr<IP2KChannel> TLibusbP2KTransport::Open(const std::string& DevicePath) {
    held_.erase(DevicePath);
    uint8_t Bus = 0, Address = 0;
    if (!context_ || !ReadUsbBusAddress(DevicePath, Bus, Address)) {
        return nullptr;
    }
    unsigned Interface = 8;
    readNumberFile(DevicePath + "/bInterfaceNumber", 16, Interface);

    libusb_device** List = nullptr;
    ssize_t Count = libusb_get_device_list(context_.get(), &List);
    if (Count < 0) {
        return nullptr;
    }
    libusb_device_handle* Handle = nullptr;
    for (ssize_t I = 0; I < Count && !Handle; ++I) {
        if (libusb_get_bus_number(List[I]) == Bus &&
            libusb_get_device_address(List[I]) == Address) {
            if (libusb_open(List[I], &Handle) != 0) {
                Handle = nullptr;
            }
            break;
        }
    }
    libusb_free_device_list(List, 1);
    if (!Handle) {
        return nullptr;
    }

    const int Claim = libusb_claim_interface(Handle, static_cast<int>(Interface));
    const TClaimOutcome Outcome =
        ClassifyClaim(Claim, Claim == LIBUSB_ERROR_BUSY
                                 ? libusb_kernel_driver_active(Handle, static_cast<int>(Interface))
                                 : 0);
    if (Outcome == TClaimOutcome::HeldElsewhere) {
        libusb_close(Handle);
        held_.insert(DevicePath);
        return nullptr;
    }
    return std::make_unique<TUsbControlChannel>(std::make_unique<TLibusbControlPipe>(
        context_, Handle, static_cast<int>(Interface), Outcome == TClaimOutcome::Claimed,
        DevicePath, Bus, Address));
}
