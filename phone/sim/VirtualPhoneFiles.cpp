#include <algorithm>

#include "sim/VirtualPhone.h"
#include "sim/VirtualPhoneText.h"

// The one open file: open, read, write, close, and delete.

namespace {

constexpr uint32_t OpenExisting = 0xFF;         // attribute word that opens a file for reading
constexpr uint32_t MaxCreateAttributes = 0x07;  // attribute bits a new file may carry
constexpr uint8_t StatusError = 1;

uint32_t be32(const uint8_t* P) {
    return (uint32_t(P[0]) << 24) | (uint32_t(P[1]) << 16) | (uint32_t(P[2]) << 8) | P[3];
}

std::vector<uint8_t> errorStatus() {
    return {StatusError};
}

std::string lower(std::string S) {
    for (char& c : S) {
        c = LowerChar(c);
    }
    return S;
}

// A file name as the open and delete commands carry it: 8-bit text, no NUL.
bool fileName(const uint8_t* Bytes, size_t N, std::string& Name) {
    Name.assign(reinterpret_cast<const char*>(Bytes), N);
    return !Name.empty() && Name.find('\0') == std::string::npos && Name.back() != '/';
}

}  // namespace

TVirtualPhone::TReply TVirtualPhone::fileOpen(const uint8_t* Args, size_t N) {
    open_ = {};  // opening always gives up the file opened before
    std::string name;
    if (N < 4 || !fileName(Args + 4, N - 4, name)) {
        return errorStatus();
    }
    uint32_t attributes = be32(Args);
    TVirtualDrive* drive = driveOf(name);
    if (drive == nullptr || name.find('/', 1) == std::string::npos) {
        return errorStatus();
    }
    auto it = state_.Files.find(name);
    if (attributes == OpenExisting) {
        if (it == state_.Files.end()) {
            return errorStatus();
        }
    } else if (attributes <= MaxCreateAttributes) {
        if (it == state_.Files.end() && !folderOf(name)) {
            return errorStatus();  // no folder to make the file in
        }
        // Create, or truncate what stands under that name.
        if (it != state_.Files.end()) {
            drive->FreeSpace += int32_t(it->second.Data.size());
        }
        TVirtualFile& file = state_.Files[name];
        file.Data.clear();
        file.AttrA = uint8_t(attributes);
        file.AttrB = 0;
        open_.Writing = true;
    } else {
        return errorStatus();
    }
    open_.IsOpen = true;
    open_.Name = name;
    return std::vector<uint8_t>{};
}

bool TVirtualPhone::folderOf(const std::string& Path) const {
    const size_t slash = Path.rfind('/');
    const std::string folder = lower(Path.substr(0, slash));
    if (folder.find('/', 1) == std::string::npos) {
        return true;  // the drive's root
    }
    for (const std::string& f : state_.Folders) {
        if (lower(f) == folder) {
            return true;
        }
    }
    // A folder that holds a file, at any depth, exists.
    const std::string prefix = folder + "/";
    for (const auto& [path, file] : state_.Files) {
        if (lower(path.substr(0, prefix.size())) == prefix) {
            return true;
        }
    }
    return false;
}

TVirtualPhone::TReply TVirtualPhone::fileRead(const uint8_t* Args, size_t N) {
    if (N != 4 || !open_.IsOpen || open_.Writing) {
        return std::vector<uint8_t>{};
    }
    ++open_.Reads;
    if (faults_.FailReadAtBlock && open_.Reads == *faults_.FailReadAtBlock) {
        if (faults_.BlockFailuresStall) {
            return std::nullopt;
        }
        return std::vector<uint8_t>{};
    }
    auto it = state_.Files.find(open_.Name);
    if (it == state_.Files.end()) {
        return std::vector<uint8_t>{};  // deleted while open
    }
    std::vector<uint8_t>& data = it->second.Data;
    size_t wanted = be32(Args);
    size_t start = std::min(open_.Position, data.size());
    size_t n = std::min(wanted, data.size() - start);
    std::vector<uint8_t> reply(data.begin() + long(start), data.begin() + long(start + n));
    open_.Position = start + n;
    if (faults_.ShrinkAfterReads && open_.Reads == *faults_.ShrinkAfterReads &&
        data.size() > faults_.ShrinkTo) {
        data.resize(faults_.ShrinkTo);
    }
    return reply;
}

TVirtualPhone::TReply TVirtualPhone::fileWrite(const uint8_t* Args, size_t N) {
    if (N < 4 || be32(Args) != N - 4 || !open_.IsOpen || !open_.Writing) {
        return errorStatus();
    }
    ++open_.Writes;
    if (faults_.FailWriteAtBlock && open_.Writes == *faults_.FailWriteAtBlock) {
        if (faults_.BlockFailuresStall) {
            return std::nullopt;
        }
        return errorStatus();
    }
    auto it = state_.Files.find(open_.Name);
    TVirtualDrive* drive = driveOf(open_.Name);
    if (it == state_.Files.end() || drive == nullptr) {
        return errorStatus();
    }
    if (faults_.DriveFullAfterWrites && open_.Writes > *faults_.DriveFullAfterWrites) {
        drive->FreeSpace = 0;
    }
    std::vector<uint8_t>& data = it->second.Data;
    size_t count = N - 4;
    size_t end = open_.Position + count;
    size_t growth = end > data.size() ? end - data.size() : 0;
    if (int64_t(growth) > int64_t(drive->FreeSpace)) {
        return errorStatus();  // the drive is full
    }
    data.resize(std::max(data.size(), end));
    std::copy_n(Args + 4, count, data.begin() + long(open_.Position));
    open_.Position = end;
    drive->FreeSpace -= int32_t(growth);
    return std::vector<uint8_t>{};
}

TVirtualPhone::TReply TVirtualPhone::fileClose(const uint8_t*, size_t N) {
    if (N != 0 || !open_.IsOpen) {
        return errorStatus();
    }
    open_ = {};
    return std::vector<uint8_t>{};
}

TVirtualPhone::TReply TVirtualPhone::fileDelete(const uint8_t* Args, size_t N) {
    std::string name;
    if (!fileName(Args, N, name)) {
        return errorStatus();
    }
    auto it = state_.Files.find(name);
    if (it == state_.Files.end() || faults_.FailDeletes) {
        return errorStatus();
    }
    if (TVirtualDrive* drive = driveOf(name)) {
        drive->FreeSpace += int32_t(it->second.Data.size());
    }
    state_.Files.erase(it);
    if (open_.IsOpen && open_.Name == name) {
        open_ = {};
    }
    return std::vector<uint8_t>{};
}
