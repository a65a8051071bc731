// File-system commands: the list of a search and the raw file commands.

#include <algorithm>
#include <cstring>
#include <vector>

#include "MotoP2KMode.h"
#include "MotoSysUtils.h"

namespace {

// File-system sub-commands (first four payload bytes, big-endian).
constexpr uint8_t SubFileOpen = 0x00;
constexpr uint8_t SubFileRead = 0x01;
constexpr uint8_t SubFileWrite = 0x02;
constexpr uint8_t SubFileClose = 0x04;
constexpr uint8_t SubFileDelete = 0x05;
constexpr uint8_t SubListNext = 0x08;

constexpr uint8_t EntriesPerBatch = 3;
constexpr size_t ListHeadSize = 4;
constexpr size_t ListEntrySize = 268;
constexpr size_t ListNameSize = 260;
constexpr size_t ListReplyBuffer = ListHeadSize + EntriesPerBatch * ListEntrySize;  // 808

constexpr size_t MaxOpenName = 256;
constexpr int32_t MaxReadSize = 4096;
constexpr int32_t MaxWriteSize = 1024;

constexpr uint32_t AttrWordAny = 0xFF;

void putBE32(std::vector<uint8_t>& Out, uint32_t V) {
    Out.push_back(static_cast<uint8_t>(V >> 24));
    Out.push_back(static_cast<uint8_t>(V >> 16));
    Out.push_back(static_cast<uint8_t>(V >> 8));
    Out.push_back(static_cast<uint8_t>(V));
}

std::vector<uint8_t> subCommand(uint8_t Sub) {
    std::vector<uint8_t> p;
    putBE32(p, Sub);
    return p;
}

// Whether a one-byte-capacity reply carries a non-zero status: the phone
// answered but did not do what was asked.
bool refused(const uint8_t* Reply, uint16_t ReplyLen) {
    return ReplyLen > 0 && Reply[0] != 0;
}

TP2KFile decodeEntry(const uint8_t* E) {
    TP2KFile f;
    const auto* nul = static_cast<const uint8_t*>(std::memchr(E, 0, ListNameSize));
    const size_t nameLen = nul ? static_cast<size_t>(nul - E) : ListNameSize;
    f.Name.assign(reinterpret_cast<const char*>(E), nameLen);
    // The two attribute bytes are added, not or-ed; bit 7 of the sum and the
    // carry beyond it are not attributes.
    const unsigned sum = static_cast<unsigned>(E[260]) + E[261];
    f.Attributes.Bits = static_cast<uint8_t>(sum & 0x7F);
    f.Size = static_cast<int32_t>(static_cast<uint32_t>(E[264]) << 24 |
                                  static_cast<uint32_t>(E[265]) << 16 |
                                  static_cast<uint32_t>(E[266]) << 8 | E[267]);
    return f;
}

}  // namespace

bool TMotoP2KModemItem::GetFileList(int32_t Count, TP2KFiles* Files,
                                    const TP2KFileCallback& Callback) {
    if (Count < 1) {
        return false;
    }
    auto self = weak_from_this().lock();
    std::vector<uint8_t> request = subCommand(SubListNext);
    request.push_back(EntriesPerBatch);
    std::vector<uint8_t> reply(ListReplyBuffer);
    size_t stored = 0;
    bool stop = false;
    for (int32_t k = 1; k <= Count && !stop; ++k) {
        std::fill(reply.begin(), reply.end(), 0);
        uint16_t replyLen = 0;
        if (!fileSystemCommand(request.data(), request.size(), reply.data(), reply.size(),
                               replyLen)) {
            DoDebug("Get File List Phone Failed - Error Read Command", dtError);
            break;
        }
        const size_t entries =
            replyLen < ListHeadSize ? 0 : (replyLen - ListHeadSize) / ListEntrySize;
        for (size_t e = 0; e < entries && !stop; ++e) {
            const TP2KFile file = decodeEntry(&reply[ListHeadSize + e * ListEntrySize]);
            // One element per entry, as far as the caller's array reaches.
            if (Files != nullptr && stored < Files->size()) {
                (*Files)[stored++] = file;
            }
            if (Callback) {
                try {
                    stop = !Callback(file);
                } catch (...) {
                    // A failing callback does not end the listing.
                }
            }
        }
    }
    DoDebug("Get File List Phone", dtInformation);
    return true;
}

bool TMotoP2KModemItem::FileOpen(const std::string& Name, TP2KFileAttrs Attrs) {
    refusedReply_ = false;
    if (Name.size() > MaxOpenName) {
        DoDebug("File Open Phone Failed - File name isn`t normal", dtError);
        return false;
    }
    uint32_t word = 0;
    if (Attrs == TP2KFileAttrs::Of({atAny})) {
        word = AttrWordAny;
    } else {
        if (Attrs.Has(atBit3) || Attrs.Has(atBit4) || Attrs.Has(atBit5) || Attrs.Has(atBit6)) {
            DoDebug("File Open Phone Failed - Attribute File isn`t normal", dtError);
            return false;
        }
        word = Attrs.Bits & 0x07u;
    }
    auto self = weak_from_this().lock();
    std::vector<uint8_t> payload = subCommand(SubFileOpen);
    putBE32(payload, word);
    payload.insert(payload.end(), Name.begin(), Name.end());
    uint8_t reply[1] = {};
    uint16_t replyLen = 0;
    if (!fileSystemCommand(payload.data(), payload.size(), reply, sizeof reply, replyLen)) {
        DoDebug("File Open Phone Failed - Error Read Command", dtError);
        return false;
    }
    // A phone answers a file it cannot open (no such file to read, no such
    // folder to write in) with a non-zero status byte: no file is open then.
    if (refused(reply, replyLen)) {
        refusedReply_ = true;
        DoDebug("File Open Phone Failed - Phone refused", dtError);
        return false;
    }
    DoDebug("File Open Phone", dtInformation);
    return true;
}

int32_t TMotoP2KModemItem::FileRead(uint8_t* Buffer, int32_t Size) {
    if (Size < 0 || Size > MaxReadSize) {
        DoDebug("File Read Phone Failed - BuffSize isn`t normal (0 > Buffer Size > 4096)", dtError);
        return 0;
    }
    auto self = weak_from_this().lock();
    std::vector<uint8_t> payload = subCommand(SubFileRead);
    putBE32(payload, static_cast<uint32_t>(Size));
    uint16_t replyLen = 0;
    // The reply never lands past the Size bytes the caller asked for; one
    // reply carries at most P2KMaxReplyData of them.
    if (!fileSystemCommand(payload.data(), payload.size(), Buffer,
                           Buffer ? static_cast<size_t>(Size) : 0, replyLen)) {
        DoDebug("File Read Phone Failed - Error Read Command", dtError);
        return 0;
    }
    DoDebug("File Read Phone", dtInformation);
    return replyLen;
}

bool TMotoP2KModemItem::FileWrite(int32_t Count, const uint8_t* Data) {
    refusedReply_ = false;
    if (Count < 0 || Count > MaxWriteSize || (Count > 0 && Data == nullptr)) {
        DoDebug("File Write Phone Failed - Count isn`t normal (0 > Count > 1024)", dtError);
        return false;
    }
    auto self = weak_from_this().lock();
    std::vector<uint8_t> payload = subCommand(SubFileWrite);
    putBE32(payload, static_cast<uint32_t>(Count));
    payload.insert(payload.end(), Data, Data + Count);
    uint8_t reply[1] = {};
    uint16_t replyLen = 0;
    if (!fileSystemCommand(payload.data(), payload.size(), reply, sizeof reply, replyLen)) {
        DoDebug("File Write Phone Failed - Error Read Command", dtError);
        return false;
    }
    // A block the phone did not store (its drive is full) is answered with a
    // non-zero status byte; going on would leave a hole in the file.
    if (refused(reply, replyLen)) {
        refusedReply_ = true;
        DoDebug("File Write Phone Failed - Phone refused", dtError);
        return false;
    }
    DoDebug("File Write Phone", dtInformation);
    return true;
}

bool TMotoP2KModemItem::FileClose() {
    auto self = weak_from_this().lock();
    std::vector<uint8_t> payload = subCommand(SubFileClose);
    uint8_t reply[1] = {};
    uint16_t replyLen = 0;
    if (!fileSystemCommand(payload.data(), payload.size(), reply, sizeof reply, replyLen)) {
        DoDebug("File Close Phone Failed - Error Read Command", dtError);
        return false;
    }
    DoDebug("File Close Phone", dtInformation);
    return replyLen == 0;
}

bool TMotoP2KModemItem::FileDelete(const std::string& Name) {
    auto self = weak_from_this().lock();
    std::vector<uint8_t> payload = subCommand(SubFileDelete);
    payload.insert(payload.end(), Name.begin(), Name.end());
    uint8_t reply[2] = {};
    uint16_t replyLen = 0;
    if (!fileSystemCommand(payload.data(), payload.size(), reply, sizeof reply, replyLen)) {
        DoDebug("File Delete Phone Failed - Error Read Command", dtError);
        return false;
    }
    DoDebug("File Delete Phone", dtInformation);
    return replyLen == 0;
}

TFileLookup TMotoP2KModemItem::LookUpFile(const std::string& Name, int32_t& Size) {
    Size = 0;
    auto self = weak_from_this().lock();
    const uint64_t errors = errors_;
    const int32_t count = GetFileCount(ExtractP2KFileDir(Name) + "|" + ExtractP2KFileName(Name));
    if (errors_ != errors) {
        return TFileLookup::Failed;
    }
    const std::string wanted = UpperCaseText1251(Name);
    bool found = false;
    int32_t seen = 0;
    GetFileList(count, nullptr, [&](const TP2KFile& File) {
        ++seen;
        if (UpperCaseText1251(File.Name) == wanted) {
            found = true;
            Size = File.Size;
        }
        return !found && seen < count;
    });
    if (found) {
        return TFileLookup::Listed;
    }
    return errors_ != errors ? TFileLookup::Failed : TFileLookup::Missing;
}
