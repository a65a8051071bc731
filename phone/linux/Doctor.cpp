#include "linux/Doctor.h"

#include <sys/stat.h>

#include <algorithm>

namespace {

// Folders udev reads rules from, and one it does not (where a `make install`
// under /usr/local puts them).
const char* const RuleFolders[] = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                   "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
const char* const UnreadRuleFolder = "/usr/local/lib/udev/rules.d";

constexpr const char* P2KInterface = "08";
constexpr const char* VendorClass = "ff";
constexpr const char* Nothing = "Nothing to do";
constexpr const char* InstallRule =
    "Install the udev rule (README, \"Phones\": copy resources/udev/70-snaprill.rules to "
    "/etc/udev/rules.d/, then sudo udevadm control --reload) and plug the phone in again";

std::string lower(std::string S) {
    std::transform(S.begin(), S.end(), S.begin(), [](unsigned char C) {
        return static_cast<char>(C >= 'A' && C <= 'Z' ? C - 'A' + 'a' : C);
    });
    return S;
}

const TUsbInterfaceView* commandInterface(const TUsbDeviceView& D) {
    for (const auto& I : D.Interfaces) {
        if (lower(I.Number) == P2KInterface && lower(I.Class) == VendorClass) {
            return &I;
        }
    }
    return nullptr;
}

std::vector<const TUsbInterfaceView*> modemPorts(const TUsbDeviceView& D) {
    std::vector<const TUsbInterfaceView*> Out;
    for (const auto& I : D.Interfaces) {
        if (!I.TtyNode.empty()) {
            Out.push_back(&I);
        }
    }
    return Out;
}

std::string deviceName(const TUsbDeviceView& D) {
    if (D.Virtual) {
        return "virtual phone \"" + D.VirtualName + "\"";
    }
    std::string Name = lower(D.VendorId) + ":" + lower(D.ProductId);
    if (!D.Product.empty()) {
        Name += " \"" + D.Product + "\"";
    }
    return Name;
}

std::string join(const std::vector<std::string>& Items, const std::string& Between) {
    std::string Out;
    for (const auto& I : Items) {
        Out += (Out.empty() ? "" : Between) + I;
    }
    return Out;
}

// "crw-rw-r--", as ls shows a character device's mode.
std::string modeText(uint32_t Mode) {
    std::string Out = S_ISCHR(Mode) ? "c" : S_ISDIR(Mode) ? "d" : "-";
    const char* Letters = "rwxrwxrwx";
    for (int Bit = 8; Bit >= 0; --Bit) {
        Out += (Mode & (1u << Bit)) != 0 ? Letters[8 - Bit] : '-';
    }
    return Out;
}

struct TDoctor {
    ISystemView& System;
    TDoctorReport Report;
    bool RuleInstalled = false;
    std::vector<TProcessView> Processes;

    void add(TFindingLevel Level, std::string Topic, std::string Text, std::string Advice) {
        Report.Findings.push_back({Level, std::move(Topic), std::move(Text), std::move(Advice)});
    }

    void rule() {
        for (const char* Folder : RuleFolders) {
            const std::string Path = std::string(Folder) + "/" + UdevRuleName;
            if (System.FileExists(Path)) {
                RuleInstalled = true;
                add(TFindingLevel::Ok, "udev rule", Path + " is installed", Nothing);
                return;
            }
        }
        const std::string Unread = std::string(UnreadRuleFolder) + "/" + UdevRuleName;
        if (System.FileExists(Unread)) {
            add(TFindingLevel::Problem, "udev rule",
                Unread + " is installed where udev does not read rules",
                "Copy it to /etc/udev/rules.d/, run sudo udevadm control --reload and plug the "
                "phone in again");
            return;
        }
        add(TFindingLevel::Problem, "udev rule",
            std::string(UdevRuleName) +
                " is not installed: without it only root may use a phone, "
                "and ModemManager may take its modem port",
            InstallRule);
    }

    // Whether this user can use the node; a finding either way.
    bool access(const TUsbDeviceView& D, const std::string& Node, bool Port) {
        const TNodeAccess A = System.Access(Node);
        const std::string What = Node + " (" + deviceName(D) + ")";
        if (!A.Exists) {
            add(TFindingLevel::Problem, "access", What + " does not exist",
                "Plug the phone in again; if it stays missing, udev did not make the node (see "
                "journalctl -u systemd-udevd)");
            return false;
        }
        if (A.CanRead && A.CanWrite) {
            add(TFindingLevel::Ok, "access", "you can read and write " + What, Nothing);
            return true;
        }
        const std::string Missing = !A.CanRead && !A.CanWrite ? "read and write"
                                    : !A.CanRead              ? "read"
                                                              : "write";
        const std::vector<std::string> Groups = System.UserGroups();
        std::string Text = "you (" + System.UserName() + ", in groups " + join(Groups, ", ") +
                           ") cannot " + Missing + " " + What + ": it is " + modeText(A.Mode) +
                           " " + A.Owner + ":" + A.Group;
        std::string Advice = InstallRule;
        const bool GroupMay = (A.Mode & 0060) == 0060;
        if (Port && GroupMay && !A.Group.empty() &&
            std::find(Groups.begin(), Groups.end(), A.Group) == Groups.end()) {
            Advice += ", or add yourself to the group " + A.Group + " (sudo usermod -aG " +
                      A.Group + " " + System.UserName() + ", then log in again)";
        }
        add(TFindingLevel::Problem, "access", Text, Advice);
        return false;
    }

    // Processes other than this one holding Node open.
    std::vector<std::string> holders(const std::string& Node) {
        std::vector<std::string> Out;
        for (const auto& P : Processes) {
            if (std::find(P.OpenNodes.begin(), P.OpenNodes.end(), Node) != P.OpenNodes.end()) {
                Out.push_back(std::to_string(P.Pid) + " (" + P.Name + ")");
            }
        }
        return Out;
    }

    // False when another program holds Node (or, for the command interface,
    // has claimed it).
    bool free(const TUsbDeviceView& D, const std::string& Node, const TUsbInterfaceView* Claimed) {
        const std::vector<std::string> Who = holders(Node);
        if (!Who.empty()) {
            add(TFindingLevel::Problem, "held",
                Node + " (" + deviceName(D) + ") is held open by process " + join(Who, ", "),
                "End that program or let it finish: one program at a time talks to a phone (a "
                "Snaprill window holds its phone while it runs)");
            return false;
        }
        if (Claimed != nullptr && Claimed->Driver == "usbfs") {
            add(TFindingLevel::Problem, "held",
                "another program has claimed the command interface " + Claimed->KernelName +
                    " of " + deviceName(D) + ", and it is not one of yours",
                "Find it with sudo lsof " + Node + " and end it");
            return false;
        }
        return true;
    }

    void kernelDriver(const TUsbDeviceView& D, const TUsbInterfaceView& I) {
        if (I.Driver.empty() || I.Driver == "usbfs") {
            add(TFindingLevel::Ok, "kernel driver",
                "no kernel driver is bound to the command interface (interface 8) of " +
                    deviceName(D),
                Nothing);
            return;
        }
        add(TFindingLevel::Problem, "kernel driver",
            "the kernel driver " + I.Driver +
                " is bound to the command interface (interface 8) "
                "of " +
                deviceName(D) + ", and may take the phone's replies",
            "Unbind it: echo -n " + I.KernelName + " | sudo tee /sys/bus/usb/drivers/" + I.Driver +
                "/unbind");
    }

    void phone(const TUsbDeviceView& D) {
        const TUsbInterfaceView* Command = commandInterface(D);
        const std::vector<const TUsbInterfaceView*> Ports = modemPorts(D);
        std::vector<std::string> Numbers, Modes;
        for (const auto& I : D.Interfaces) {
            Numbers.push_back(I.Number);
        }
        if (Command != nullptr) {
            Modes.push_back("P2K mode (command interface " + Command->Number + ")");
        }
        for (const auto* P : Ports) {
            Modes.push_back("modem mode (port " + P->TtyNode + " on interface " + P->Number + ")");
        }
        std::string Where =
            D.Virtual ? std::string() : " on bus " + D.BusNum + ", address " + D.DevNum;
        if (Modes.empty()) {
            add(TFindingLevel::Note, "phone",
                deviceName(D) + Where + " is neither in P2K nor in modem mode (interfaces " +
                    join(Numbers, ", ") + ")",
                "Choose the data connection on the phone, or unplug it and plug it in again");
            return;
        }
        add(TFindingLevel::Ok, "phone",
            deviceName(D) + Where + ": " + join(Modes, ", ") +
                (Numbers.empty() ? "" : "; interfaces " + join(Numbers, ", ")),
            Nothing);
        if (D.Virtual) {
            bool Usable = true;
            for (const auto* P : Ports) {
                Usable = access(D, P->TtyNode, true) && Usable;
            }
            Report.PhoneUsable = Report.PhoneUsable || Usable;
            return;
        }
        bool Usable = access(D, D.DevNode, false);
        if (Command != nullptr) {
            kernelDriver(D, *Command);
        }
        Usable = free(D, D.DevNode, Command) && Usable;
        for (const auto* P : Ports) {
            Usable = access(D, P->TtyNode, true) && Usable;
            Usable = free(D, P->TtyNode, nullptr) && Usable;
        }
        Report.PhoneUsable = Report.PhoneUsable || Usable;
    }

    void modemManager(const std::vector<TUsbDeviceView>& Devices) {
        const bool Running = std::any_of(Processes.begin(), Processes.end(),
                                         [](const auto& P) { return P.Name == "ModemManager"; });
        if (!Running) {
            add(TFindingLevel::Ok, "ModemManager", "ModemManager is not running", Nothing);
            return;
        }
        bool AnyPort = false;
        for (const auto& D : Devices) {
            if (D.Virtual) {
                continue;
            }
            for (const auto* P : modemPorts(D)) {
                AnyPort = true;
                auto Flag = [](const std::map<std::string, std::string>& Props) {
                    auto It = Props.find("ID_MM_DEVICE_IGNORE");
                    return It != Props.end() && It->second == "1";
                };
                if (Flag(P->TtyProperties) || Flag(D.Properties)) {
                    add(TFindingLevel::Ok, "ModemManager",
                        "ModemManager runs and leaves " + P->TtyNode +
                            " alone (its ignore flag ID_MM_DEVICE_IGNORE is set)",
                        Nothing);
                } else {
                    add(TFindingLevel::Problem, "ModemManager",
                        "ModemManager runs and may take " + P->TtyNode +
                            " while the phone is switched: its ignore flag ID_MM_DEVICE_IGNORE is "
                            "not set",
                        RuleInstalled ? "The rule is installed but came after the phone: plug "
                                        "the phone in again, or run sudo udevadm trigger "
                                        "--subsystem-match=tty"
                                      : std::string(InstallRule));
                }
            }
        }
        if (!AnyPort) {
            add(RuleInstalled ? TFindingLevel::Ok : TFindingLevel::Note, "ModemManager",
                "ModemManager runs; no phone is in modem mode now",
                RuleInstalled ? std::string(Nothing)
                              : "Install the udev rule before plugging in a phone in modem "
                                "mode, so that ModemManager leaves its port alone");
        }
    }
};

}  // namespace

TDoctorReport RunDoctor(ISystemView& System, const std::string& ProgramVersions) {
    TDoctor D{System, {}, false, System.Processes()};
    const std::string Libusb = System.LibusbVersion();
    D.add(TFindingLevel::Ok, "versions",
          ProgramVersions + (Libusb.empty() ? "" : ", libusb " + Libusb),
          "Give this line with a report of a problem");
    D.rule();
    const std::vector<TUsbDeviceView> Devices = System.PhoneDevices();
    D.Report.Phones = static_cast<int>(Devices.size());
    if (Devices.empty()) {
        D.add(TFindingLevel::Problem, "phone", "no Motorola phone (USB vendor 22b8) is connected",
              "Plug the phone in with a data cable, switched on; lsusb should then list a device "
              "22b8:");
    }
    for (const auto& Device : Devices) {
        D.phone(Device);
    }
    D.modemManager(Devices);
    return D.Report;
}

std::string FormatFinding(const TDoctorFinding& F) {
    const char* Level = F.Level == TFindingLevel::Ok     ? "ok      "
                        : F.Level == TFindingLevel::Note ? "note    "
                                                         : "PROBLEM ";
    return Level + F.Topic + ": " + F.Text + ". " + F.Advice + ".";
}
