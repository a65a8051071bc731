#include <algorithm>

#include "sim/VirtualPhone.h"
#include "sim/VirtualPhoneText.h"

// The command table and the commands that ask the phone about itself: seems,
// drives, free space, and the file search with its list batches.

namespace {

constexpr uint16_t CmdReadSeem = 0x0020;
constexpr uint16_t CmdFileSystem = 0x004A;

constexpr uint32_t SubOpen = 0;
constexpr uint32_t SubRead = 1;
constexpr uint32_t SubWrite = 2;
constexpr uint32_t SubClose = 4;
constexpr uint32_t SubDelete = 5;
constexpr uint32_t SubSearch = 7;
constexpr uint32_t SubNextBatch = 8;
constexpr uint32_t SubDrives = 0x0A;
constexpr uint32_t SubFreeSpace = 0x0B;

constexpr uint8_t StatusError = 1;
constexpr size_t SeemRequestSize = 8;      // seem, record, offset, count: 16 bits each
constexpr uint16_t FreeSpaceTag = 0x0007;  // the unit that leads a free-space request
constexpr size_t ListHeadSize = 4;
constexpr size_t EntrySize = 268;
constexpr size_t EntryNameSize = 260;
constexpr size_t EntryAttrA = 260;
constexpr size_t EntryAttrB = 261;
constexpr size_t EntrySizeField = 264;
constexpr size_t MaxEntriesPerBatch = 3;
constexpr uint8_t GarbageNameByte = 'X';
constexpr uint8_t GarbageTailByte = 0xEE;

uint16_t be16(const uint8_t* P) {
    return uint16_t((P[0] << 8) | P[1]);
}

uint32_t be32(const uint8_t* P) {
    return (uint32_t(P[0]) << 24) | (uint32_t(P[1]) << 16) | (uint32_t(P[2]) << 8) | P[3];
}

void putBe32(uint8_t* P, uint32_t V) {
    P[0] = uint8_t(V >> 24);
    P[1] = uint8_t(V >> 16);
    P[2] = uint8_t(V >> 8);
    P[3] = uint8_t(V);
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

}  // namespace

const TVirtualPhone::TCommandHandler TVirtualPhone::commands_[] = {
    {CmdReadSeem, &TVirtualPhone::readSeem},
    {CmdFileSystem, &TVirtualPhone::fileSystem},
    {0, nullptr},
};

const TVirtualPhone::TSubCommandHandler TVirtualPhone::subCommands_[] = {
    {SubOpen, &TVirtualPhone::fileOpen},        {SubRead, &TVirtualPhone::fileRead},
    {SubWrite, &TVirtualPhone::fileWrite},      {SubClose, &TVirtualPhone::fileClose},
    {SubDelete, &TVirtualPhone::fileDelete},    {SubSearch, &TVirtualPhone::searchOpen},
    {SubNextBatch, &TVirtualPhone::searchNext}, {SubDrives, &TVirtualPhone::drives},
    {SubFreeSpace, &TVirtualPhone::freeSpace},  {0, nullptr},
};

TVirtualPhone::TReply TVirtualPhone::fileSystem(const uint8_t* Args, size_t N) {
    if (N < 4) {
        return errorStatus();
    }
    uint32_t sub = be32(Args);
    for (const TSubCommandHandler* h = subCommands_; h->Handler != nullptr; ++h) {
        if (h->SubCommand == sub) {
            return (this->*(h->Handler))(Args + 4, N - 4);
        }
    }
    return errorStatus();
}

TVirtualPhone::TReply TVirtualPhone::readSeem(const uint8_t* Args, size_t N) {
    if (N != SeemRequestSize) {
        return errorStatus();
    }
    uint16_t seem = be16(Args);
    uint16_t record = be16(Args + 2);
    size_t offset = be16(Args + 4);
    size_t count = be16(Args + 6);
    auto it = state_.Seems.find(TVirtualPhoneState::SeemKey(seem, record));
    if (it == state_.Seems.end() || offset > it->second.size()) {
        return errorStatus();
    }
    const std::vector<uint8_t>& bytes = it->second;
    // A count of 0 asks for the whole record from the offset on.
    size_t available = bytes.size() - offset;
    size_t n = count == 0 ? available : std::min(count, available);
    std::vector<uint8_t> reply{0};
    reply.insert(reply.end(), bytes.begin() + long(offset), bytes.begin() + long(offset + n));
    return reply;
}

TVirtualPhone::TReply TVirtualPhone::drives(const uint8_t*, size_t N) {
    if (N != 0) {
        return errorStatus();
    }
    std::vector<uint8_t> reply;
    for (size_t d = 0; d < state_.Drives.size(); ++d) {
        if (d != 0) {
            reply.push_back(0xFF);  // names are separated by the unit FFFE
            reply.push_back(0xFE);
        }
        for (char c : state_.Drives[d].Name) {
            uint16_t unit = CharToUnit(c);
            reply.push_back(uint8_t(unit >> 8));
            reply.push_back(uint8_t(unit));
        }
    }
    return reply;
}

TVirtualDrive* TVirtualPhone::driveOf(const std::string& Path) {
    // The drive is the path up to its second "/": "/a/x.jpg" is on "/a".
    if (Path.size() < 2 || Path[0] != '/') {
        return nullptr;
    }
    size_t end = Path.find('/', 1);
    std::string name = lower(Path.substr(0, end));
    for (TVirtualDrive& d : state_.Drives) {
        if (lower(d.Name) == name) {
            return &d;
        }
    }
    return nullptr;
}

TVirtualPhone::TReply TVirtualPhone::freeSpace(const uint8_t* Args, size_t N) {
    // 0007, the drive's units, 0000; what does not fit the request is cut.
    std::string drive;
    if (N < 2 || be16(Args) != FreeSpaceTag ||
        !DecodeUnits(Args + 2, (N - 2) & ~size_t(1), drive)) {
        return errorStatus();
    }
    TVirtualDrive* d = driveOf(drive);
    if (d == nullptr) {
        return std::vector<uint8_t>{};  // no such drive: nothing to tell
    }
    std::vector<uint8_t> reply(4);
    putBe32(reply.data(), uint32_t(d->FreeSpace));
    return reply;
}

TVirtualPhone::TReply TVirtualPhone::searchOpen(const uint8_t* Args, size_t N) {
    search_ = {};
    std::string folder, mask;
    if (!DecodeSearch(Args, N, folder, mask)) {
        return errorStatus();
    }
    search_.Active = true;
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    // Every file at or below the folder whose own name fits the mask.
    std::string prefix = lower(folder);
    for (const auto& [path, file] : state_.Files) {
        if (!faults_.SearchIgnoresFolder && lower(path.substr(0, prefix.size())) != prefix) {
            continue;
        }
        std::string name = path.substr(path.rfind('/') + 1);
        if (MaskMatches(mask, name)) {
            search_.Matches.push_back(path);
        }
    }
    size_t count = std::min<size_t>(search_.Matches.size(), 0xFFFF);
    return std::vector<uint8_t>{uint8_t(count >> 8), uint8_t(count)};
}

TVirtualPhone::TReply TVirtualPhone::searchNext(const uint8_t* Args, size_t N) {
    if (N != 1 || !search_.Active) {
        return errorStatus();
    }
    size_t wanted = std::min<size_t>(Args[0], MaxEntriesPerBatch);
    std::vector<uint8_t> reply(ListHeadSize, 0);
    size_t given = 0;
    while (given < wanted && search_.Next < search_.Matches.size()) {
        const std::string& path = search_.Matches[search_.Next++];
        auto it = state_.Files.find(path);
        if (it == state_.Files.end()) {
            continue;  // deleted since the search began
        }
        size_t at = reply.size();
        reply.resize(at + EntrySize, 0);
        uint8_t* e = &reply[at];
        std::copy_n(path.begin(), std::min(path.size(), EntryNameSize), e);
        if (faults_.ListNamesWithoutNul) {
            std::fill(e + std::min(path.size(), EntryNameSize), e + EntryNameSize, GarbageNameByte);
        }
        e[EntryAttrA] = it->second.AttrA;
        e[EntryAttrB] = it->second.AttrB;
        uint32_t size = uint32_t(std::min<size_t>(it->second.Data.size(), 0x7FFFFFFF));
        if (faults_.ListSizesTopBit) {
            size |= 0x80000000u;
        }
        putBe32(e + EntrySizeField, size);
        ++given;
    }
    reply[ListHeadSize - 1] = uint8_t(given);
    reply.insert(reply.end(), faults_.ListExtraBytes, GarbageTailByte);
    return reply;
}
