// The doctor's findings, each on a made-up system.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "linux/Doctor.h"

namespace {

// A system as a test describes it: a phone in P2K mode, fully usable, with
// the rule installed and nothing else running, unless the test changes it.
struct TMadeUpSystem : ISystemView {
    std::vector<TUsbDeviceView> Devices;
    std::set<std::string> Files{"/usr/lib/udev/rules.d/70-snaprill.rules"};
    std::map<std::string, TNodeAccess> Nodes;
    std::vector<TProcessView> Running;

    std::vector<TUsbDeviceView> PhoneDevices() override { return Devices; }
    bool FileExists(const std::string& Path) override { return Files.contains(Path); }
    TNodeAccess Access(const std::string& Path) override {
        auto It = Nodes.find(Path);
        return It == Nodes.end() ? TNodeAccess{} : It->second;
    }
    std::string UserName() override { return "ann"; }
    bool IsRoot() override { return false; }
    std::vector<std::string> UserGroups() override { return {"ann", "plugdev"}; }
    std::vector<TProcessView> Processes() override { return Running; }
    std::string LibusbVersion() override { return "1.0.26"; }
};

TNodeAccess node(bool Read, bool Write, uint32_t Mode, std::string Group = "root") {
    return {true, Read, Write, S_IFCHR | Mode, "root", std::move(Group)};
}

TUsbDeviceView p2kPhone() {
    TUsbDeviceView D;
    D.VendorId = "22b8";
    D.ProductId = "4901";
    D.Product = "Motorola Phone (V3)";
    D.BusNum = "1";
    D.DevNum = "7";
    D.DevNode = "/dev/bus/usb/001/007";
    for (const char* N : {"00", "01", "08"}) {
        D.Interfaces.push_back(
            {N, std::string(N) == "08" ? "ff" : "0a", "", std::string("1-4:1.") + (N[1]), "", {}});
    }
    return D;
}

TUsbDeviceView modemPhone() {
    TUsbDeviceView D = p2kPhone();
    D.ProductId = "4902";
    D.DevNum = "6";
    D.DevNode = "/dev/bus/usb/001/006";
    D.Interfaces = {{"00", "02", "cdc_acm", "1-4:1.0", "/dev/ttyACM0", {}},
                    {"01", "0a", "cdc_acm", "1-4:1.1", "", {}}};
    return D;
}

TMadeUpSystem usable() {
    TMadeUpSystem S;
    S.Devices = {p2kPhone()};
    S.Nodes["/dev/bus/usb/001/007"] = node(true, true, 0660);
    return S;
}

// The findings of Topic, each as "level: text. Advice."
std::vector<std::string> findings(const TDoctorReport& R, const std::string& Topic) {
    std::vector<std::string> Out;
    for (const auto& F : R.Findings) {
        if (F.Topic == Topic) {
            Out.push_back(FormatFinding(F));
        }
    }
    return Out;
}

}  // namespace

TEST(Doctor, EachFindingOnAMadeUpSystem) {
    struct TCase {
        const char* What;
        std::function<void(TMadeUpSystem&)> Change;
        const char* Topic;
        std::vector<std::string> Expected;  // every finding of Topic, in order
        bool Usable;
    };
    const TCase Cases[] = {
        {"all is well",
         [](TMadeUpSystem&) {},
         "udev rule",
         {"ok      udev rule: /usr/lib/udev/rules.d/70-snaprill.rules is installed. Nothing to "
          "do."},
         true},
        {"no rule",
         [](TMadeUpSystem& S) { S.Files.clear(); },
         "udev rule",
         {"PROBLEM udev rule: 70-snaprill.rules is not installed: without it only root may use a "
          "phone, and ModemManager may take its modem port. Install the udev rule (README, "
          "\"Phones\": copy resources/udev/70-snaprill.rules to /etc/udev/rules.d/, then sudo "
          "udevadm control --reload) and plug the phone in again."},
         true},
        {"rule where udev does not look",
         [](TMadeUpSystem& S) { S.Files = {"/usr/local/lib/udev/rules.d/70-snaprill.rules"}; },
         "udev rule",
         {"PROBLEM udev rule: /usr/local/lib/udev/rules.d/70-snaprill.rules is installed where "
          "udev does not read rules. Copy it to /etc/udev/rules.d/, run sudo udevadm control "
          "--reload and plug the phone in again."},
         true},
        {"the phone seen",
         [](TMadeUpSystem&) {},
         "phone",
         {"ok      phone: 22b8:4901 \"Motorola Phone (V3)\" on bus 1, address 7: P2K mode "
          "(command interface 08); interfaces 00, 01, 08. Nothing to do."},
         true},
        {"no phone",
         [](TMadeUpSystem& S) { S.Devices.clear(); },
         "phone",
         {"PROBLEM phone: no Motorola phone (USB vendor 22b8) is connected. Plug the phone in "
          "with a data cable, switched on; lsusb should then list a device 22b8:."},
         false},
        {"a phone in neither mode",
         [](TMadeUpSystem& S) {
             S.Devices[0].Interfaces = {{"00", "08", "usb-storage", "", "", {}}};
         },
         "phone",
         {"note    phone: 22b8:4901 \"Motorola Phone (V3)\" on bus 1, address 7 is neither in P2K "
          "nor in modem mode (interfaces 00). Choose the data connection on the phone, or unplug "
          "it and plug it in again."},
         false},
        {"no write permission",
         [](TMadeUpSystem& S) { S.Nodes["/dev/bus/usb/001/007"] = node(true, false, 0664); },
         "access",
         {"PROBLEM access: you (ann, in groups ann, plugdev) cannot write /dev/bus/usb/001/007 "
          "(22b8:4901 \"Motorola Phone (V3)\"): it is crw-rw-r-- root:root. Install the udev rule "
          "(README, \"Phones\": copy resources/udev/70-snaprill.rules to /etc/udev/rules.d/, then "
          "sudo udevadm control --reload) and plug the phone in again."},
         false},
        {"no node",
         [](TMadeUpSystem& S) { S.Nodes.clear(); },
         "access",
         {"PROBLEM access: /dev/bus/usb/001/007 (22b8:4901 \"Motorola Phone (V3)\") does not "
          "exist. Plug the phone in again; if it stays missing, udev did not make the node (see "
          "journalctl -u systemd-udevd)."},
         false},
        {"a modem port of a group the user is not in",
         [](TMadeUpSystem& S) {
             S.Devices = {modemPhone()};
             S.Nodes["/dev/bus/usb/001/006"] = node(true, true, 0660);
             S.Nodes["/dev/ttyACM0"] = node(false, false, 0660, "dialout");
         },
         "access",
         {"ok      access: you can read and write /dev/bus/usb/001/006 (22b8:4902 \"Motorola "
          "Phone (V3)\"). Nothing to do.",
          "PROBLEM access: you (ann, in groups ann, plugdev) cannot read and write /dev/ttyACM0 "
          "(22b8:4902 \"Motorola Phone (V3)\"): it is crw-rw---- root:dialout. Install the udev "
          "rule (README, \"Phones\": copy resources/udev/70-snaprill.rules to /etc/udev/rules.d/, "
          "then sudo udevadm control --reload) and plug the phone in again, or add yourself to "
          "the group dialout (sudo usermod -aG dialout ann, then log in again)."},
         false},
        {"a kernel driver on the command interface",
         [](TMadeUpSystem& S) { S.Devices[0].Interfaces[2].Driver = "moto_p2k"; },
         "kernel driver",
         {"PROBLEM kernel driver: the kernel driver moto_p2k is bound to the command interface "
          "(interface 8) of 22b8:4901 \"Motorola Phone (V3)\", and may take the phone's replies. "
          "Unbind it: echo -n 1-4:1.8 | sudo tee /sys/bus/usb/drivers/moto_p2k/unbind."},
         true},
        {"no kernel driver",
         [](TMadeUpSystem&) {},
         "kernel driver",
         {"ok      kernel driver: no kernel driver is bound to the command interface (interface "
          "8) of 22b8:4901 \"Motorola Phone (V3)\". Nothing to do."},
         true},
        {"another program holds the phone",
         [](TMadeUpSystem& S) {
             S.Running = {{4242, "snaprill", {"/dev/bus/usb/001/007"}}};
         },
         "held",
         {"PROBLEM held: /dev/bus/usb/001/007 (22b8:4901 \"Motorola Phone (V3)\") is held open by "
          "process 4242 (snaprill). End that program or let it finish: one program at a time "
          "talks to a phone (a Snaprill window holds its phone while it runs)."},
         false},
        {"a program not ours claimed the interface",
         [](TMadeUpSystem& S) { S.Devices[0].Interfaces[2].Driver = "usbfs"; },
         "held",
         {"PROBLEM held: another program has claimed the command interface 1-4:1.8 of 22b8:4901 "
          "\"Motorola Phone (V3)\", and it is not one of yours. Find it with sudo lsof "
          "/dev/bus/usb/001/007 and end it."},
         false},
        {"ModemManager is not running",
         [](TMadeUpSystem&) {},
         "ModemManager",
         {"ok      ModemManager: ModemManager is not running. Nothing to do."},
         true},
        {"ModemManager without the ignore flag",
         [](TMadeUpSystem& S) {
             S.Devices = {modemPhone()};
             S.Nodes["/dev/bus/usb/001/006"] = node(true, true, 0660);
             S.Nodes["/dev/ttyACM0"] = node(true, true, 0660);
             S.Running = {{77, "ModemManager", {}}};
         },
         "ModemManager",
         {"PROBLEM ModemManager: ModemManager runs and may take /dev/ttyACM0 while the phone is "
          "switched: its ignore flag ID_MM_DEVICE_IGNORE is not set. The rule is installed but "
          "came after the phone: plug the phone in again, or run sudo udevadm trigger "
          "--subsystem-match=tty."},
         true},
        {"ModemManager with the ignore flag",
         [](TMadeUpSystem& S) {
             S.Devices = {modemPhone()};
             S.Devices[0].Interfaces[0].TtyProperties["ID_MM_DEVICE_IGNORE"] = "1";
             S.Nodes["/dev/bus/usb/001/006"] = node(true, true, 0660);
             S.Nodes["/dev/ttyACM0"] = node(true, true, 0660);
             S.Running = {{77, "ModemManager", {}}};
         },
         "ModemManager",
         {"ok      ModemManager: ModemManager runs and leaves /dev/ttyACM0 alone (its ignore "
          "flag ID_MM_DEVICE_IGNORE is set). Nothing to do."},
         true},
        {"versions",
         [](TMadeUpSystem&) {},
         "versions",
         {"ok      versions: Snaprill 0.21, Qt 6.4.2, libusb 1.0.26. Give this line with a report "
          "of a problem."},
         true},
        {"a virtual phone is usable as it is",
         [](TMadeUpSystem& S) {
             TUsbDeviceView V;
             V.Virtual = true;
             V.VirtualName = "demo";
             V.Interfaces = {{"08", "ff", "", "", "", {}}};
             S.Devices = {V};
         },
         "phone",
         {"ok      phone: virtual phone \"demo\": P2K mode (command interface 08); "
          "interfaces 08. Nothing to do."},
         true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.What);
        TMadeUpSystem S = usable();
        C.Change(S);
        const TDoctorReport R = RunDoctor(S, "Snaprill 0.21, Qt 6.4.2");
        EXPECT_EQ(findings(R, C.Topic), C.Expected);
        EXPECT_EQ(R.PhoneUsable, C.Usable);
    }
}
