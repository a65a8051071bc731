#include "sim/VirtualPhoneFolder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "sim/VirtualPhoneText.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* IniName = "phone.ini";
constexpr size_t MaxIniSize = size_t{64} * 1024;

std::string trim(const std::string& S) {
    size_t b = S.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) {
        return {};
    }
    size_t e = S.find_last_not_of(" \t\r\n");
    return S.substr(b, e - b + 1);
}

std::string lowerAscii(std::string S) {
    for (char& c : S) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return S;
}

bool hidden(const fs::path& P) {
    std::string name = P.filename().string();
    return name.empty() || name[0] == '.';
}

bool endsWith(const std::string& S, const std::string& Tail) {
    return S.size() >= Tail.size() && S.compare(S.size() - Tail.size(), Tail.size(), Tail) == 0;
}

std::string readSmallFile(const fs::path& P) {
    std::error_code ec;
    if (!fs::is_regular_file(P, ec) || fs::file_size(P, ec) > MaxIniSize || ec) {
        return {};
    }
    std::ifstream in(P, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool readFile(const fs::path& P, std::vector<uint8_t>& Data) {
    std::ifstream in(P, std::ios::binary);
    if (!in) {
        return false;
    }
    Data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The sorted subfolders of a folder (or, with Traces, its trace files),
// without hidden ones; empty on any error.
std::vector<fs::path> subfolders(const fs::path& Folder, bool Traces = false) {
    std::vector<fs::path> out;
    std::error_code ec;
    fs::directory_iterator it(Folder, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (hidden(it->path())) {
            continue;
        }
        if (Traces ? it->is_regular_file(typeError) &&
                         endsWith(it->path().filename().string(), TVirtualPhoneFolder::TraceSuffix)
                   : it->is_directory(typeError)) {
            out.push_back(it->path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

void loadDrive(const fs::path& DriveFolder, const std::string& Drive, TVirtualPhoneState& State) {
    std::error_code ec;
    fs::recursive_directory_iterator it(DriveFolder, fs::directory_options::skip_permission_denied,
                                        ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        std::error_code typeError;
        if (hidden(p)) {
            if (it->is_directory(typeError)) {
                it.disable_recursion_pending();
            }
            continue;
        }
        if (it->is_directory(typeError)) {
            // An empty folder is a folder of the phone too: files may go there.
            std::string relative, phoneRelative;
            relative = fs::relative(p, DriveFolder, typeError).generic_string();
            if (!typeError && Utf8ToPhoneText(relative, phoneRelative)) {
                State.Folders.insert(Drive + "/" + phoneRelative);
            }
            continue;
        }
        if (!it->is_regular_file(typeError) ||
            it->file_size(typeError) > TVirtualPhoneFolder::MaxFileSize || typeError) {
            continue;
        }
        std::string relative, phoneRelative;
        relative = fs::relative(p, DriveFolder, typeError).generic_string();
        if (typeError || !Utf8ToPhoneText(relative, phoneRelative)) {
            continue;
        }
        TVirtualFile file;
        if (readFile(p, file.Data)) {
            State.Files[Drive + "/" + phoneRelative] = std::move(file);
        }
    }
}

}  // namespace

TVirtualPhoneSettings ParseVirtualPhoneIni(const std::string& Text) {
    TVirtualPhoneSettings s;
    std::istringstream lines(Text);
    std::string line;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[') {
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        std::string key = lowerAscii(trim(line.substr(0, eq)));
        std::string value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (key == "model") {
            std::string text;
            if (Utf8ToPhoneText(value, text)) {
                s.Model = text;
            }
        } else if (key == "firmware" || key == "flex") {
            s.Firmware = value;
        } else if (key == "flexform") {
            std::string form = lowerAscii(value);
            if (form == "packed" || form == "plain") {
                s.PackedFlex = form == "packed";
            }
        } else if (key == "serial") {
            s.Serial = value;
        } else if (key == "delay") {
            char* end = nullptr;
            const unsigned long v = std::strtoul(value.c_str(), &end, 10);
            // At most a minute: a transaction waits five seconds for a reply.
            if (!value.empty() && value[0] != '-' && end != nullptr && *end == '\0' && v <= 60000) {
                s.DelayMilliseconds = uint32_t(v);
            }
        } else if (key == "freespace") {
            char* end = nullptr;
            long long v = std::strtoll(value.c_str(), &end, 10);
            if (!value.empty() && end != nullptr && *end == '\0' && v >= INT32_MIN &&
                v <= INT32_MAX) {
                s.FreeSpace = int32_t(v);
            }
        }
    }
    return s;
}

TVirtualPhoneState LoadVirtualPhone(const fs::path& PhoneFolder) {
    TVirtualPhoneSettings settings = ParseVirtualPhoneIni(readSmallFile(PhoneFolder / IniName));
    TVirtualPhoneState state;
    state.UsbSerial = settings.Serial;
    state.SetSeem(SeemModel, 1, ModelSeemBytes(settings.Model));
    state.SetSeem(SeemFlex, 1,
                  settings.PackedFlex ? PackedFlexSeemBytes(settings.Firmware)
                                      : PlainFlexSeemBytes(settings.Firmware));
    for (const fs::path& driveFolder : subfolders(PhoneFolder)) {
        std::string letter;
        if (!Utf8ToPhoneText(driveFolder.filename().string(), letter) || letter.empty()) {
            continue;
        }
        std::string drive = "/" + letter;
        state.Drives.push_back({drive, settings.FreeSpace});
        AddStandardFolders(state, drive);
        loadDrive(driveFolder, drive, state);
    }
    if (state.Drives.empty()) {
        state.Drives.push_back({"/a", settings.FreeSpace});
        AddStandardFolders(state, "/a");
    }
    return state;
}

TVirtualPhoneFolder::TVirtualPhoneFolder(TVirtualDeviceSource& Devices, fs::path Folder,
                                         TModemStarter StartModem)
    : devices_(Devices), folder_(std::move(Folder)), startModem_(std::move(StartModem)) {}

TVirtualPhoneFolder::~TVirtualPhoneFolder() {
    for (auto& [folder, entry] : entries_) {
        remove(entry);
    }
}

std::optional<fs::path> TVirtualPhoneFolder::FromEnvironment() {
    const char* value = std::getenv(EnvironmentVariable);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return fs::path(value);
}

void TVirtualPhoneFolder::remove(TEntry& Entry) {
    // Stop the modem first, so that it cannot attach the phone afterwards.
    Entry.ModemHandle.reset();
    if (Entry.Replay) {
        Entry.Replay.reset();  // unplugs whichever side is plugged
        return;
    }
    devices_.UnplugModem(Entry.Name);
    devices_.UnplugPhone(Entry.Name);
}

bool TVirtualPhoneFolder::Rescan() {
    std::set<std::string> present;
    bool changed = false;
    for (const fs::path& sub : subfolders(folder_)) {
        std::string folderName = sub.filename().string();
        present.insert(folderName);
        if (entries_.count(folderName) != 0) {
            continue;
        }
        TEntry entry;
        entry.Modem = endsWith(folderName, ModemSuffix);
        entry.Name = entry.Modem
                         ? folderName.substr(0, folderName.size() - std::string(ModemSuffix).size())
                         : folderName;
        if (entry.Name.empty() || (entry.Modem && !startModem_)) {
            continue;  // no name, or nobody to play the modem: the phone stays away
        }
        entry.Phone = std::make_shared<TVirtualPhone>(LoadVirtualPhone(sub));
        entry.Phone->Faults().DelayMicroseconds =
            ParseVirtualPhoneIni(readSmallFile(sub / IniName)).DelayMilliseconds * 1000u;
        if (entry.Modem) {
            entry.ModemHandle = startModem_(entry.Name, entry.Phone, devices_);
            if (!entry.ModemHandle) {
                continue;
            }
        } else if (devices_.PlugPhone(entry.Name, entry.Phone).empty()) {
            continue;  // a phone of that name is plugged already
        }
        entries_.emplace(folderName, std::move(entry));
        changed = true;
    }
    for (const fs::path& file : subfolders(folder_, true)) {
        const std::string fileName = file.filename().string();
        present.insert(fileName);
        if (entries_.count(fileName) != 0) {
            continue;
        }
        TEntry entry;
        // A file that is no trace is told of once and kept as an empty entry,
        // so that it is not read again until it changes name.
        if (loadTrace(file, entry)) {
            changed = true;
        }
        entries_.emplace(fileName, std::move(entry));
    }
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (present.count(it->first) != 0) {
            ++it;
            continue;
        }
        remove(it->second);
        it = entries_.erase(it);
        changed = true;
    }
    return changed;
}

bool TVirtualPhoneFolder::loadTrace(const fs::path& File, TEntry& Entry) {
    const std::string fileName = File.filename().string();
    const std::string name = fileName.substr(0, fileName.size() - std::string(TraceSuffix).size());
    std::string text, error;
    std::error_code ec;
    if (name.empty() || fs::file_size(File, ec) > MaxFileSize || ec) {
        error = "it is empty or too large";
    } else {
        std::ifstream in(File, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        text = content.str();
    }
    std::shared_ptr<TTraceReplay> replay =
        error.empty() ? TTraceReplay::FromText(text, fileName, error) : nullptr;
    if (replay) {
        replay->SetOnFailure(onReplayMessage_);
        auto rig = std::make_shared<TReplayPhoneRig>(devices_, name, replay);
        if (rig->IsValid()) {
            Entry.Name = name;
            Entry.Replay = std::move(rig);
            return true;
        }
        error = "a phone of that name is plugged, or its modem could not start";
    }
    if (onReplayMessage_) {
        onReplayMessage_("the trace " + File.string() + " is not replayed: " + error);
    }
    return false;
}

std::vector<std::string> TVirtualPhoneFolder::Names() const {
    std::vector<std::string> names;
    for (const auto& [folder, entry] : entries_) {
        if (!entry.Name.empty()) {
            names.push_back(entry.Name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::shared_ptr<TTraceReplay> TVirtualPhoneFolder::Replay(const std::string& Name) const {
    for (const auto& [file, entry] : entries_) {
        if (entry.Name == Name && entry.Replay) {
            return entry.Replay->Replay();
        }
    }
    return nullptr;
}

std::shared_ptr<TVirtualPhone> TVirtualPhoneFolder::Phone(const std::string& Name) const {
    for (const auto& [folder, entry] : entries_) {
        if (entry.Name == Name) {
            return entry.Phone;
        }
    }
    return nullptr;
}

std::optional<fs::path> TVirtualPhoneFolder::FolderOf(const std::string& DevicePath) const {
    for (const auto& [folder, entry] : entries_) {
        if (!entry.Replay && TVirtualDeviceSource::PhonePath(entry.Name) == DevicePath) {
            return folder_ / folder;
        }
    }
    return std::nullopt;
}
