// The host side of the USB test, run inside the test VM against the emulated
// phone: only the real Linux backend (udev source and monitor, libusb
// channel, termios port) and the phone library. Prints one line per check
// and ends with "N passed, N failed".
//
//   snaprill_usb_host DIR      (DIR as given to the emulated phone)
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "MotoATMode.h"
#include "MotoP2KMode.h"
#include "USBCtrls.h"
#include "UsbTestPhone.h"
#include "linux/LinuxBackend.h"

namespace fs = std::filesystem;

namespace {

int Passed = 0;
int Failed = 0;

bool check(bool Ok, const std::string& What) {
    (Ok ? Passed : Failed)++;
    std::printf("%s %s\n", Ok ? "ok  " : "FAIL", What.c_str());
    std::fflush(stdout);
    return Ok;
}

bool contains(const std::string& S, const std::string& Part) {
    return S.find(Part) != std::string::npos;
}

std::vector<uint8_t> readFile(const fs::path& P) {
    std::ifstream F(P, std::ios::binary);
    return {std::istreambuf_iterator<char>(F), std::istreambuf_iterator<char>()};
}

double secondsSince(std::chrono::steady_clock::time_point Start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// How long a wait for the emulated phone may take at most. The VM emulates
// its processor and may share the machine with builds and another VM, so
// the deadline is far beyond what a quiet run needs; every wait ends as
// soon as what it waits for is there.
constexpr int DeadlineMs = 120000;

// Hears every change message of one class and writes down its kind.
struct TKindLog : IDeviceChangeSink {
    std::vector<std::string>* Log;
    std::string Tag;
    TKindLog(std::vector<std::string>* L, std::string T) : Log(L), Tag(std::move(T)) {}
    void DeviceChanged(TDeviceChange Change, const std::string& Name) override {
        const TDevBroadcastHeader Header = DeviceChangeHeader(P2KInterfaceGuid, Name);
        int Kind = GetDeviceChangeKind(DeviceChangeEventType(Change), &Header);
        if (Kind != 0) {
            Log->push_back(Tag + std::to_string(Kind));
        }
    }
};

// Runs the event loop the program would run: waits on the source's
// descriptor and dispatches, until Done or the time is up.
bool pumpUntil(IDeviceSource& Devices, const std::function<bool()>& Done, int TimeoutMs) {
    auto Start = std::chrono::steady_clock::now();
    while (!Done()) {
        if (secondsSince(Start) * 1000 > TimeoutMs) {
            return false;
        }
        pollfd P{Devices.EventFd(), POLLIN, 0};
        if (P.fd < 0) {
            usleep(100000);
            continue;
        }
        if (poll(&P, 1, 100) > 0) {
            Devices.DispatchPending();
        }
    }
    return true;
}

std::string logText(const std::vector<std::string>& Log) {
    std::string S;
    for (const auto& X : Log) {
        S += (S.empty() ? "" : " ") + X;
    }
    return S;
}

size_t indexOf(const std::vector<std::string>& Log, const std::string& Entry) {
    for (size_t I = 0; I < Log.size(); ++I) {
        if (Log[I] == Entry) {
            return I;
        }
    }
    return Log.size();
}

}  // namespace

int main(int Argc, char** Argv) {
    if (Argc < 2) {
        std::fprintf(stderr, "usage: %s DIR\n", Argv[0]);
        return 2;
    }
    const fs::path Dir = Argv[1];
    const fs::path Local = Dir / "local";
    fs::create_directories(Local);

    TLinuxBackend Linux;
    TPhoneBackend& Backend = Linux.Backend();
    IDeviceSource& Devices = Backend.Devices;
    IP2KTransport& Transport = Backend.P2K;
    check(Devices.EventFd() >= 0, "the udev monitor is listening");

    std::vector<std::string> Kinds;  // "AT2", "P2K1": class and change kind, in order
    TKindLog AtKinds(&Kinds, "AT"), P2KKinds(&Kinds, "P2K");
    Devices.RegisterNotify(UsbDeviceInterfaceGuid, &AtKinds);
    Devices.RegisterNotify(P2KInterfaceGuid, &P2KKinds);

    std::vector<std::string> Raised;  // component events, in order
    TMotoATMode AT(Backend);
    TMotoP2KMode P2K(Backend);
    AT.OnArrival = [&](void*) { Raised.push_back("AT arrival"); };
    AT.OnRemove = [&](void*) { Raised.push_back("AT remove"); };
    P2K.OnArrival = [&](void*) { Raised.push_back("P2K arrival"); };
    P2K.OnRemove = [&](void*) { Raised.push_back("P2K remove"); };

    // 1. The phone in modem mode, and the switch to P2K mode.
    pumpUntil(
        Devices, [&] { return AT.DeviseList().Count() > 0; }, DeadlineMs);
    if (!check(AT.DeviseList().Count() == 1,
               "one modem listed (" + std::to_string(AT.DeviseList().Count()) + ")")) {
        return std::printf("%d passed, %d failed\n", Passed, Failed + 1), 1;
    }
    {
        auto Modem = AT.DeviseList().Hold(0);
        const TUSBDevise& Info = Modem->ModemInfo();
        check(contains(Info.DeviceDesc, "Motorola USB Modem"),
              "modem DeviceDesc \"" + Info.DeviceDesc + "\"");
        check(Info.DevicePath.rfind("/dev/ttyACM", 0) == 0, "modem DevicePath " + Info.DevicePath);
        check(Info.Driver == "cdc_acm", "modem Driver \"" + Info.Driver + "\"");
        check(Modem->OpenPhone(), "modem port opens");
        Kinds.clear();
        Raised.clear();
        Modem->SwitchMode(amMode8);
    }
    std::string Received;
    pumpUntil(
        Devices,
        [&] {
            auto B = readFile(Dir / "modem-received.bin");
            Received.assign(B.begin(), B.end());
            return Received.size() >= 11;
        },
        DeadlineMs);
    check(Received == "AT+Mode=8\r\n", "the phone received the eleven bytes AT+Mode=8 CR LF (" +
                                           std::to_string(Received.size()) + " bytes)");

    // 2. Removal of the modem, then arrival of the P2K phone.
    bool Arrived = pumpUntil(
        Devices, [&] { return AT.DeviseList().Count() == 0 && P2K.DeviseList().Count() == 1; },
        DeadlineMs);
    check(Arrived, "the modem left and the P2K phone arrived");
    size_t AtGone = indexOf(Kinds, "AT2"), P2KCame = indexOf(Kinds, "P2K1");
    check(AtGone < P2KCame && P2KCame < Kinds.size(),
          "change kinds: modem removal (2) before P2K arrival (1): " + logText(Kinds));
    size_t AtRemove = indexOf(Raised, "AT remove"), P2KArrive = indexOf(Raised, "P2K arrival");
    check(AtRemove < P2KArrive && P2KArrive < Raised.size(),
          "components raised OnRemove then OnArrival: " + logText(Raised));
    if (P2K.DeviseList().Count() != 1) {
        return std::printf("%d passed, %d failed\n", Passed, Failed), 1;
    }

    // 3. The P2K phone's record.
    TMotoP2KModemItem* First = P2K.DeviseList().Items(0);
    const TUSBDevise Info = First->ModemInfo();
    check(contains(Info.DeviceDesc, "Test Command Interface"),
          "P2K DeviceDesc \"" + Info.DeviceDesc + "\"");
    TUSBDevises Filtered;
    GetUSBDevises(Devices, P2KInterfaceGuid, "test command interface", Filtered);
    check(Filtered.size() == 1, "the name filter finds exactly one phone");
    P2K.DeviseList().Rescan();
    check(P2K.DeviseList().Count() == 1 && P2K.DeviseList().Items(0) == First &&
              First->ModemInfo().DevInst == Info.DevInst && Filtered.size() == 1 &&
              Filtered[0].DevInst == Info.DevInst,
          "DevInst stable across rescans");
    check(Info.HardwareID == "USB\\VID_22B8&PID_4901", "HardwareID " + Info.HardwareID);
    check(Info.Mfg == "Motorola Inc.", "Mfg \"" + Info.Mfg + "\"");
    check(Info.CompatibleIDs == "USB\\Class_FF&SubClass_00&Prot_00",
          "CompatibleIDs " + Info.CompatibleIDs);
    check(Info.BusNumber != 0 && !Info.LocationInformation.empty() &&
              Info.EnumeratorName == "USB" &&
              Info.PhysicalDeviceObjectName.rfind("/dev/bus/usb/", 0) == 0,
          "bus " + std::to_string(Info.BusNumber) + ", location " + Info.LocationInformation +
              ", node " + Info.PhysicalDeviceObjectName);
    check(Info.DevicePath.rfind("/sys/", 0) == 0, "P2K DevicePath " + Info.DevicePath);

    // 4 and 6. Phone commands through libusb, with the largest blocks.
    auto Phone = P2K.DeviseList().Hold(0);
    check(Phone->OpenPhone(), "OpenPhone");
    GetUSBDevises(Devices, P2KInterfaceGuid, "Test Command Interface", Filtered);
    check(Filtered.size() == 1 && Filtered[0].Driver == "usbfs",
          "the claimed interface shows its driver: \"" +
              (Filtered.empty() ? std::string() : Filtered[0].Driver) + "\"");
    check(Phone->GetPhoneModel() == UsbTestPhone::Model, "GetPhoneModel");
    check(Phone->GetFlexVersion() == UsbTestPhone::Flex,
          "GetFlexVersion \"" + Phone->GetFlexVersion() + "\"");
    std::string Drives = Phone->GetDrives();
    check(contains(Drives, "/a") && contains(Drives, "/b"), "GetDrives");
    check(Phone->GetFreeSpace("/a/") == UsbTestPhone::FreeSpaceA, "GetFreeSpace");
    int32_t Count = Phone->GetFileCount(UsbTestPhone::PictureMask);
    check(Count == UsbTestPhone::PictureCount, "GetFileCount " + std::to_string(Count));
    // The caller sizes the list; the phone fills it from the search just counted.
    TP2KFiles Files(static_cast<size_t>(std::max(Count, 0)));
    int Seen = 0;
    check(Phone->GetFileList(Count, &Files,
                             [&](const TP2KFile&) {
                                 ++Seen;
                                 return true;
                             }) &&
              Seen == UsbTestPhone::PictureCount,
          "GetFileList gives " + std::to_string(Seen) + " entries");
    bool Listed = false, SmallListed = false;
    for (const auto& F : Files) {
        Listed |= F.Name == UsbTestPhone::BigFile && F.Size == int32_t(UsbTestPhone::BigSize);
        SmallListed |=
            F.Name == UsbTestPhone::SmallFile && F.Size == int32_t(UsbTestPhone::SmallSize);
    }
    check(Listed && SmallListed, "the list holds both pictures with their sizes");

    fs::path Small = Local / "small.jpg";
    Phone->DownloadFile(UsbTestPhone::SmallFile, Small.string(), 4000, UsbTestPhone::SmallSize,
                        nullptr);
    check(readFile(Small) == UsbTestPhone::Pattern(UsbTestPhone::SmallSize, 1),
          "DownloadFile of the small file in 4000-byte blocks: bytes equal");

    fs::path Big = Local / "big.jpg";
    auto Start = std::chrono::steady_clock::now();
    Phone->DownloadFile(UsbTestPhone::BigFile, Big.string(), 4000, UsbTestPhone::BigSize, nullptr);
    double Seconds = secondsSince(Start);
    check(readFile(Big) == UsbTestPhone::Pattern(UsbTestPhone::BigSize, 2),
          "DownloadFile of the big file in 4000-byte blocks: bytes equal");
    // The blocks are counted whole: the last one may be short.
    const size_t BigBlocks = (UsbTestPhone::BigSize + 3999) / 4000;
    std::printf("THROUGHPUT %zu bytes in %.3f s = %.1f KB/s (%.2f ms per 4000-byte block)\n",
                UsbTestPhone::BigSize, Seconds, UsbTestPhone::BigSize / 1024.0 / Seconds,
                Seconds * 1000 / static_cast<double>(BigBlocks));

    fs::path Up = Local / "up.jpg";
    auto UpBytes = UsbTestPhone::Pattern(2500, 9);
    std::ofstream(Up, std::ios::binary)
        .write(reinterpret_cast<const char*>(UpBytes.data()), std::streamsize(UpBytes.size()));
    const std::string UpName = "/a/mobile/picture/up.jpg";
    std::vector<int32_t> Steps;
    Phone->UploadFile(Up.string(), UpName, 1000, [&](int32_t Done, int32_t) {
        Steps.push_back(Done);
        return true;
    });
    check(Steps == std::vector<int32_t>{1000, 2000, 2500}, "UploadFile in 1000-byte blocks");
    check(Phone->GetFileCount(UsbTestPhone::PictureMask) == 3, "the phone has the uploaded file");
    fs::path Back = Local / "back.jpg";
    Phone->DownloadFile(UpName, Back.string(), 4000, 0, nullptr);
    check(readFile(Back) == UpBytes, "the uploaded file reads back equal");
    check(Phone->DeleteFile(UpName), "DeleteFile");
    check(Phone->GetFileCount(UsbTestPhone::PictureMask) == 2, "the deleted file is gone");
    // usbfs carries at most 4096 bytes per control transfer: a 4096-byte read
    // needs a longer fetch, which fails as a whole and brings no data.
    check(Phone->FileOpen(UsbTestPhone::BigFile, TP2KFileAttrs::Of({atAny})), "FileOpen");
    std::vector<uint8_t> Page(4096, 0xEE);
    int32_t Got = Phone->FileRead(Page.data(), 4096);
    check(Got == 0, "a read beyond the usbfs limit brings no data (" + std::to_string(Got) + ")");
    check(Phone->FileClose() && Phone->GetFileCount(UsbTestPhone::PictureMask) == 2,
          "the phone answers after it");
    check(Phone->ClosePhone() && !Phone->IsOpen(), "ClosePhone");

    // The cost of one bare control transfer on this bus, to read the
    // throughput above against: a block takes three transfers and the
    // 1 ms pause once the reply is ready.
    if (auto Channel = Transport.Open(Info.DevicePath)) {
        const uint8_t Poll[9] = {0xC1, 0x00, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00, 0x00};
        uint8_t Status[8];
        const int Polls = 200;
        int Ok = 0;
        auto PollStart = std::chrono::steady_clock::now();
        for (int I = 0; I < Polls; ++I) {
            Ok += Channel->ControlRead(Poll, Status, sizeof Status) == TExchangeResult::Ok;
        }
        double PollSeconds = secondsSince(PollStart);
        check(Ok == Polls, "status polls through a second channel: " + std::to_string(Ok));
        std::printf("CONTROL TRANSFER %.3f ms each (%d status polls)\n", PollSeconds * 1000 / Polls,
                    Polls);
        check(Channel->Close(), "the second channel closes");
    } else {
        check(false, "a second channel opens");
    }

    // 5. Unplugged in the middle of a download.
    check(Phone->OpenPhone(), "OpenPhone again");
    pid_t Gadget = 0;
    std::ifstream(Dir / "pid") >> Gadget;
    fs::remove(Dir / "armed");
    check(Gadget > 0 && kill(Gadget, SIGUSR1) == 0, "the phone is told to leave mid-transfer");
    // The phone says when it has taken the signal in.
    const bool Armed = pumpUntil(
        Devices, [&] { return fs::exists(Dir / "armed"); }, DeadlineMs);
    check(Armed, "the phone armed its leaving");
    fs::path Cut = Local / "cut.jpg";
    int Blocks = 0;
    bool Result = Phone->DownloadFile(UsbTestPhone::BigFile, Cut.string(), 4000,
                                      UsbTestPhone::BigSize, [&](int32_t, int32_t) {
                                          ++Blocks;
                                          return true;
                                      });
    check(!Result, "the cut download ends with false after " + std::to_string(Blocks) + " blocks");
    check(!fs::exists(Cut), "no local file is left");
    bool Stray = false;
    for (const auto& E : fs::directory_iterator(Local)) {
        std::string Name = E.path().filename().string();
        if (Name != "small.jpg" && Name != "big.jpg" && Name != "up.jpg" && Name != "back.jpg") {
            Stray = true;
            std::printf("     stray file %s\n", Name.c_str());
        }
    }
    check(!Stray, "no temporary file is left");
    Raised.clear();
    bool Removed = pumpUntil(
        Devices, [&] { return P2K.DeviseList().Count() == 0; }, DeadlineMs);
    check(Removed, "the rescan removes the gone phone");
    check(indexOf(Raised, "P2K remove") < Raised.size(), "OnRemove raised: " + logText(Raised));
    Phone.reset();
    check(true, "the gone phone's item is freed without a crash");

    std::printf("%d passed, %d failed\n", Passed, Failed);
    return Failed == 0 ? 0 : 1;
}
