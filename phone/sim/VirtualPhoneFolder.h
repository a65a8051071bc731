#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/ReplayPhone.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualPhone.h"

// The program's virtual phones, kept in a folder (named by the environment
// variable SNAPRILL_VIRTUAL_PHONES). Each subfolder is one phone:
//
//   <folder>/<name>/phone.ini   model, firmware, free space, serial (all optional)
//   <folder>/<name>/a/...       the files of drive /a, folders included
//   <folder>/<name>/b/...       drive /b, and so on
//   <folder>/<name>/.snaprill-lock   the claim of the program that has the
//                               phone open (see PhoneFolderClaim.h)
//
// phone.ini holds "key = value" lines (sections and ";" or "#" comments are
// ignored, keys are case-blind):
//   Model = Virtual One         the model seem's text (UTF-8)
//   Firmware = 0A4A5A6A7A8A9B   hex digits of the flex version
//   FlexForm = packed | plain   how the flex seem is stored (packed by default)
//   FreeSpace = 4194304         free bytes of every drive
//   Serial = SN0042             the USB serial number (none by default)
//   Delay = 4                   milliseconds every transaction takes (0 by
//                               default), as a slow link (benchmarks, tests)
//
// A subfolder whose name ends in ".modem" is a phone that starts in modem
// mode: its modem is started through the modem hook, and the phone (name
// without ".modem") is handed over to be attached in P2K mode when the modem
// is told to switch.
//
// A file whose name ends in ".trace" is a phone replayed from a wire trace
// (see TTraceReplay): it is listed as the traced device, in the traced mode,
// and answers as the traced phone did.
//
// Files are read into the phone when it is plugged; changes made through the
// phone stay in memory. Names the phone's 8-bit text cannot hold (characters
// outside ASCII and Cyrillic), hidden entries and files over MaxFileSize are
// left out.

struct TVirtualPhoneSettings {
    std::string Model = "Virtual P2K";
    std::string Firmware = "0A4A5A6A7A8A9B";
    bool PackedFlex = true;
    int32_t FreeSpace = 8 * 1024 * 1024;
    std::string Serial;
    uint32_t DelayMilliseconds = 0;
};

// Reads phone.ini text; unknown keys and bad values keep the defaults.
TVirtualPhoneSettings ParseVirtualPhoneIni(const std::string& Text);
// The state of the phone in one subfolder. A phone without drive folders
// gets an empty drive /a.
TVirtualPhoneState LoadVirtualPhone(const std::filesystem::path& PhoneFolder);

class TVirtualPhoneFolder {
  public:
    static constexpr uintmax_t MaxFileSize = uintmax_t{64} * 1024 * 1024;
    static constexpr const char* ModemSuffix = ".modem";
    static constexpr const char* TraceSuffix = ".trace";
    static constexpr const char* EnvironmentVariable = "SNAPRILL_VIRTUAL_PHONES";

    // Starts the modem of a phone that begins in modem mode: plugs a modem
    // into Devices and, when the modem is told to switch, unplugs it and plugs
    // Phone under Name. The returned handle keeps the modem alive; dropping it
    // stops the modem. A null handle means the modem could not start.
    using TModemStarter = std::function<std::shared_ptr<void>(const std::string& Name,
                                                              std::shared_ptr<TVirtualPhone> Phone,
                                                              TVirtualDeviceSource& Devices)>;

    TVirtualPhoneFolder(TVirtualDeviceSource& Devices, std::filesystem::path Folder,
                        TModemStarter StartModem = {});
    // Unplugs every phone and modem it plugged.
    ~TVirtualPhoneFolder();
    TVirtualPhoneFolder(const TVirtualPhoneFolder&) = delete;
    TVirtualPhoneFolder& operator=(const TVirtualPhoneFolder&) = delete;

    // The folder the environment names, when it names one.
    static std::optional<std::filesystem::path> FromEnvironment();

    // Plugs the phones whose subfolders appeared since the last rescan and
    // unplugs those whose subfolders went. True when anything changed. A
    // missing or unreadable folder counts as empty.
    bool Rescan();

    const std::filesystem::path& Folder() const { return folder_; }
    // Names of the phones present, sorted (without ".modem").
    std::vector<std::string> Names() const;
    std::shared_ptr<TVirtualPhone> Phone(const std::string& Name) const;
    // The subfolder of the phone at DevicePath (a P2K phone's path); none
    // for a phone of no subfolder of this folder (a replayed trace's too).
    std::optional<std::filesystem::path> FolderOf(const std::string& DevicePath) const;
    // The replay of the trace file Name.trace; nullptr when there is none.
    std::shared_ptr<TTraceReplay> Replay(const std::string& Name) const;
    // Told of a trace file that is not a trace, and of a replay that ended
    // on a request that differs from its trace (one line each).
    void SetOnReplayMessage(std::function<void(const std::string&)> Handler) {
        onReplayMessage_ = std::move(Handler);
    }

  private:
    struct TEntry {
        std::string Name;
        bool Modem = false;
        std::shared_ptr<TVirtualPhone> Phone;
        std::shared_ptr<void> ModemHandle;
        std::shared_ptr<TReplayPhoneRig> Replay;
    };
    // Reads a trace file into an entry; false when it is not a replayable trace.
    bool loadTrace(const std::filesystem::path& File, TEntry& Entry);
    void remove(TEntry& Entry);

    TVirtualDeviceSource& devices_;
    std::filesystem::path folder_;
    TModemStarter startModem_;
    std::map<std::string, TEntry> entries_;  // by subfolder or trace file name
    std::function<void(const std::string&)> onReplayMessage_;
};
