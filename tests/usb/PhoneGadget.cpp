// The emulated phone of the USB test: runs inside the test VM on the device
// side of dummy_hcd. It starts as a phone in modem mode (a CDC ACM gadget,
// product 4902), reads what the host writes to the serial line and, on
// "AT+Mode=8" CR LF, re-attaches as a P2K phone (product 4901, nine
// interfaces, interface 8 of vendor class ff) whose command interface is
// answered by the same protocol core as the in-process virtual phone.
//
//   snaprill_usb_phone [--p2k] DIR
//
// DIR receives "ready" (the mode, once attached), "modem-received.bin" (every
// byte the host wrote to the modem) and "pid". SIGUSR1 pulls the phone off
// the bus after three more transactions, and "armed" says it was taken in;
// SIGTERM ends the program.
#include <endian.h>
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "GadgetConfigfs.h"
#include "UsbTestPhone.h"
#include "sim/VirtualPhone.h"

namespace {

constexpr const char* GadgetRoot = "/sys/kernel/config/usb_gadget/snaprill";
constexpr const char* FfsMount = "/dev/ffs-p2k";
constexpr unsigned ModemProduct = 0x4902;
constexpr unsigned P2KProduct = 0x4901;
constexpr int InterfaceCount = 9;
constexpr int CommandInterface = 8;
const std::string ModeSwitch = "AT+Mode=8\r\n";

std::atomic<bool> Stop{false};
std::atomic<bool> ArmUnplug{false};

void onSignal(int Signal) {
    if (Signal == SIGUSR1) {
        ArmUnplug = true;
    } else {
        Stop = true;
    }
}

void log(const char* Format, ...) __attribute__((format(printf, 1, 2)));
void log(const char* Format, ...) {
    va_list Args;
    va_start(Args, Format);
    std::vfprintf(stdout, Format, Args);
    va_end(Args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void writeFile(const std::string& Path, const std::string& Text, bool Append = false) {
    std::ofstream F(Path, Append ? std::ios::binary | std::ios::app : std::ios::binary);
    F << Text;
}

struct TInterfaces {
    usb_interface_descriptor Intf[InterfaceCount];
} __attribute__((packed));

struct TDescriptors {
    usb_functionfs_descs_head_v2 Header;
    __le32 FsCount;
    __le32 HsCount;
    TInterfaces Fs, Hs;
} __attribute__((packed));

struct TStrings {
    usb_functionfs_strings_head Header;
} __attribute__((packed));

void fillInterfaces(TInterfaces& D) {
    for (int I = 0; I < InterfaceCount; ++I) {
        auto& X = D.Intf[I];
        X.bLength = USB_DT_INTERFACE_SIZE;
        X.bDescriptorType = USB_DT_INTERFACE;
        X.bInterfaceNumber = static_cast<__u8>(I);
        X.bAlternateSetting = 0;
        X.bNumEndpoints = 0;
        X.bInterfaceClass = USB_CLASS_VENDOR_SPEC;
        X.bInterfaceSubClass = 0;
        X.bInterfaceProtocol = 0;
        X.iInterface = 0;
    }
}

// Mounts FunctionFS and hands it the phone's interfaces; the ep0 descriptor,
// or -1.
int openFunctionFs() {
    mkdir(FfsMount, 0755);
    if (mount("p2k", FfsMount, "functionfs", 0, nullptr) != 0 && errno != EBUSY) {
        log("mount functionfs: %s", std::strerror(errno));
        return -1;
    }
    std::string Ep0 = std::string(FfsMount) + "/ep0";
    int Fd = open(Ep0.c_str(), O_RDWR);
    if (Fd < 0) {
        log("open %s: %s", Ep0.c_str(), std::strerror(errno));
        return -1;
    }
    TDescriptors D{};
    D.Header.magic = htole32(FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    D.Header.length = htole32(sizeof D);
    D.Header.flags = htole32(FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    D.FsCount = htole32(InterfaceCount);
    D.HsCount = htole32(InterfaceCount);
    fillInterfaces(D.Fs);
    fillInterfaces(D.Hs);
    TStrings S{};
    S.Header.magic = htole32(FUNCTIONFS_STRINGS_MAGIC);
    S.Header.length = htole32(sizeof S);
    if (write(Fd, &D, sizeof D) < 0 || write(Fd, &S, sizeof S) < 0) {
        log("write descriptors: %s", std::strerror(errno));
        close(Fd);
        return -1;
    }
    return Fd;
}

// Stalls the control request in progress: FunctionFS stalls when the data
// stage is taken in the wrong direction.
void stall(int Ep0, bool In) {
    ssize_t R = In ? read(Ep0, nullptr, 0) : write(Ep0, nullptr, 0);
    (void)R;
}

class TPhoneGadget {
  public:
    explicit TPhoneGadget(std::string Dir)
        : dir_(std::move(Dir)), gadget_(GadgetRoot), phone_(UsbTestPhone::State()) {
        phone_.KeepReceived(false);
    }

    bool Start(bool P2K) {
        if (!gadget_.Create("Motorola Inc.", "Motorola Phone (V3)", "SNAPRILL0001")) {
            return failed();
        }
        return P2K ? attachP2K() : attachModem();
    }

    int Run() {
        while (!Stop) {
            bool Ok = modem_ ? serveModem() : serveP2K();
            if (!Ok) {
                return 1;
            }
        }
        if (unplugger_.joinable()) {
            unplugger_.join();
        }
        return 0;
    }

  private:
    bool failed() {
        log("gadget: %s", gadget_.Error().c_str());
        return false;
    }

    bool attachModem() {
        if (!gadget_.SetProduct(ModemProduct) || !gadget_.AddFunction("acm.usb0") ||
            !gadget_.Bind()) {
            return failed();
        }
        // The port comes once the function is bound; an emulated machine
        // shared with others may take long for that.
        for (int I = 0; I < 6000 && tty_ < 0; ++I) {
            tty_ = open("/dev/ttyGS0", O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (tty_ < 0) {
                usleep(20000);
            }
        }
        if (tty_ < 0) {
            log("open /dev/ttyGS0: %s", std::strerror(errno));
            return false;
        }
        // Raw: the line discipline must not turn CR into LF or echo.
        termios T{};
        tcgetattr(tty_, &T);
        cfmakeraw(&T);
        tcsetattr(tty_, TCSANOW, &T);
        modem_ = true;
        writeFile(dir_ + "/ready", "modem\n");
        log("READY modem");
        return true;
    }

    bool attachP2K() {
        if (modem_) {
            close(tty_);
            tty_ = -1;
            if (!gadget_.Unbind() || !gadget_.RemoveFunction("acm.usb0")) {
                return failed();
            }
            log("modem detached");
        }
        modem_ = false;
        if (!gadget_.SetProduct(P2KProduct) || !gadget_.AddFunction("ffs.p2k")) {
            return failed();
        }
        ep0_ = openFunctionFs();
        if (ep0_ < 0) {
            return false;
        }
        if (!gadget_.Bind()) {
            return failed();
        }
        writeFile(dir_ + "/ready", "p2k\n");
        log("READY p2k");
        return true;
    }

    bool serveModem() {
        pollfd P{tty_, POLLIN, 0};
        if (poll(&P, 1, 200) <= 0) {
            return true;
        }
        char Buf[256];
        ssize_t N = read(tty_, Buf, sizeof Buf);
        if (N <= 0) {
            return true;
        }
        std::string Got(Buf, static_cast<size_t>(N));
        writeFile(dir_ + "/modem-received.bin", Got, true);
        line_ += Got;
        log("modem got %zd bytes", N);
        if (line_.find(ModeSwitch) == std::string::npos) {
            return true;
        }
        log("mode switch requested");
        return attachP2K();
    }

    bool serveP2K() {
        usb_functionfs_event Ev;
        ssize_t N = read(ep0_, &Ev, sizeof Ev);
        if (N < 0) {
            if (errno == EINTR) {
                armUnplug();
                return true;
            }
            log("read ep0: %s", std::strerror(errno));
            return false;
        }
        armUnplug();
        if (N != sizeof Ev) {
            return true;
        }
        switch (Ev.type) {
            case FUNCTIONFS_SETUP:
                setup(Ev.u.setup);
                break;
            case FUNCTIONFS_BIND:
                log("ev BIND");
                break;
            case FUNCTIONFS_UNBIND:
                log("ev UNBIND");
                break;
            case FUNCTIONFS_ENABLE:
                log("ev ENABLE");
                break;
            case FUNCTIONFS_DISABLE:
                log("ev DISABLE");
                break;
            default:
                break;
        }
        if (unplugAt_ && phone_.Transactions() >= unplugAt_) {
            unplugAt_ = 0;
            log("UNPLUG after %u transactions", phone_.Transactions());
            // Off the event loop, so the function's unbind events are read meanwhile.
            unplugger_ = std::thread([this] {
                if (!gadget_.Unbind()) {
                    log("unbind: %s", gadget_.Error().c_str());
                }
            });
        }
        return true;
    }

    void armUnplug() {
        if (ArmUnplug.exchange(false)) {
            unplugAt_ = phone_.Transactions() + 3;
            log("unplug armed at transaction %u", unplugAt_);
            writeFile(dir_ + "/armed", std::to_string(unplugAt_) + "\n");
        }
    }

    void setup(const usb_ctrlrequest& C) {
        uint8_t Setup[8];
        std::memcpy(Setup, &C, sizeof Setup);
        uint16_t Length = le16toh(C.wLength);
        uint16_t Index = le16toh(C.wIndex);
        bool In = (C.bRequestType & USB_DIR_IN) != 0;
        if (In) {
            std::vector<uint8_t> Out(Length);
            int R = phone_.ControlIn(Setup, Out.data(), Out.size());
            if (R < 0) {
                log("stall IN %02x/%02x index %u length %u", C.bRequestType, C.bRequest, Index,
                    Length);
                stall(ep0_, true);
                return;
            }
            if (write(ep0_, Out.data(), static_cast<size_t>(R)) < 0) {
                log("write ep0: %s", std::strerror(errno));
            }
            return;
        }
        // A host-to-device data stage is acknowledged once read, so whatever
        // the setup alone shows to be wrong stalls before it is read.
        bool Command = C.bRequestType == 0x41 && C.bRequest == 0x02 && Index == CommandInterface;
        if (!Command || Length == 0) {
            log("stall OUT %02x/%02x index %u length %u", C.bRequestType, C.bRequest, Index,
                Length);
            stall(ep0_, false);
            return;
        }
        std::vector<uint8_t> Data(Length);
        ssize_t R = read(ep0_, Data.data(), Data.size());
        if (R != static_cast<ssize_t>(Length)) {
            log("read data stage: %zd of %u", R, Length);
            return;
        }
        if (!phone_.ControlOut(Setup, Data.data(), Data.size())) {
            log("command refused after its data stage (%u bytes)", Length);
        }
    }

    std::string dir_;
    TGadgetConfigfs gadget_;
    TVirtualPhone phone_;
    bool modem_ = false;
    int tty_ = -1;
    int ep0_ = -1;
    std::string line_;
    uint32_t unplugAt_ = 0;
    std::thread unplugger_;
};

}  // namespace

int main(int Argc, char** Argv) {
    bool P2K = false;
    std::string Dir;
    for (int I = 1; I < Argc; ++I) {
        std::string A = Argv[I];
        if (A == "--p2k") {
            P2K = true;
        } else {
            Dir = A;
        }
    }
    if (Dir.empty()) {
        std::fprintf(stderr, "usage: %s [--p2k] DIR\n", Argv[0]);
        return 2;
    }
    struct sigaction Action {};
    Action.sa_handler = onSignal;  // no SA_RESTART: a signal wakes the blocking read
    sigaction(SIGUSR1, &Action, nullptr);
    sigaction(SIGTERM, &Action, nullptr);
    sigaction(SIGINT, &Action, nullptr);
    writeFile(Dir + "/pid", std::to_string(getpid()) + "\n");

    TPhoneGadget Gadget(Dir);
    if (!Gadget.Start(P2K)) {
        return 1;
    }
    return Gadget.Run();
}
