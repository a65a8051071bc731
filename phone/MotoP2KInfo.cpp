// Information commands: seem records, model, flex version, drives, free
// space and file count.

#include <algorithm>
#include <cstring>
#include <vector>

#include "MotoP2KMode.h"
#include "MotoSysUtils.h"

namespace {

// File-system sub-commands of the information commands.
constexpr const char* SubSearchCount = "00000007";  // start a search, return its count
constexpr const char* SubFreeSpace = "0000000B0007";
constexpr uint8_t SubDriveList[4] = {0x00, 0x00, 0x00, 0x0A};

constexpr uint16_t SeemModel = 0x0117;
constexpr uint16_t SeemFlex = 0x0004;
constexpr size_t SeemReplyBuffer = 256;
constexpr size_t ModelBuffer = 35;
constexpr size_t FlexBuffer = 255;
constexpr size_t FreeSpacePayload = 14;

}  // namespace

std::string PhoneModelFromSeem(const uint8_t* Data, size_t Len) {
    std::string model;
    for (size_t i = 0; i < std::min(Len, ModelBuffer); ++i) {
        if (Data[i] != 0 && Data[i] != 0xFF) {
            model += static_cast<char>(Data[i]);
        }
    }
    return model;
}

std::string FlexVersionFromSeem(const uint8_t* Bytes, size_t Len) {
    uint8_t data[FlexBuffer] = {};
    Len = std::min(Len, FlexBuffer);
    if (Len > 0) {
        std::memcpy(data, Bytes, Len);
    }
    std::string version;
    if (data[0] == 8 || (data[0] == 7 && Len == 9)) {
        // Packed: each shown byte joins the high nibble of one data byte with
        // the low nibble of the next.
        for (int i = 1; i <= 7; ++i) {
            uint32_t hi = data[i];
            for (uint32_t b = 0; b <= 3; ++b) {
                hi = ClearBit(hi, b);
            }
            uint32_t lo = data[i + 1];
            for (uint32_t b = 4; b <= 7; ++b) {
                lo = ClearBit(lo, b);
            }
            version += IntToHex(hi | lo, 2);
        }
    } else {
        for (size_t i = 0; i < Len; ++i) {
            if (data[i] != 0 && data[i] != 0xFF) {
                version += IntToHex(data[i], 2);
            }
        }
    }
    return version;
}

bool TMotoP2KModemItem::fileSystemCommand(const uint8_t* Payload, size_t PayloadLen, uint8_t* Reply,
                                          size_t ReplyCapacity, uint16_t& ReplyLen) {
    ReplyLen = 0;
    if (PayloadLen > P2KMaxPayload) {
        lastTransactionFailed_ = true;
        return false;
    }
    return SendCommand(CmdFileSystem, Payload, static_cast<uint16_t>(PayloadLen), Reply,
                       ReplyCapacity, ReplyLen);
}

bool TMotoP2KModemItem::ReadSeem(uint16_t Seem, uint16_t Record, uint16_t Offset, uint16_t Count,
                                 uint8_t* Dest, size_t DestSize, uint16_t& Len) {
    Len = 0;
    if (!IsOpen()) {
        return false;
    }
    auto self = weak_from_this().lock();
    const uint8_t payload[8] = {static_cast<uint8_t>(Seem >> 8),   static_cast<uint8_t>(Seem),
                                static_cast<uint8_t>(Record >> 8), static_cast<uint8_t>(Record),
                                static_cast<uint8_t>(Offset >> 8), static_cast<uint8_t>(Offset),
                                static_cast<uint8_t>(Count >> 8),  static_cast<uint8_t>(Count)};
    // One byte more than a seem reply may be, so that an oversized reply is
    // seen as such instead of being cut to a valid-looking size.
    uint8_t reply[SeemReplyBuffer + 1] = {};
    uint16_t replyLen = 0;
    if (!SendCommand(CmdReadSeem, payload, sizeof payload, reply, sizeof reply, replyLen)) {
        DoDebug("Read Seem Phone Failed - Error Read Command", dtError);
        return false;
    }
    if (reply[0] != 0 || replyLen == 0 || replyLen > SeemReplyBuffer) {
        DoDebug("Read Seem Phone Failed - Error Read Command: no seem or access denided", dtError);
        return false;
    }
    // A seem longer than the caller's destination is cut to fit it.
    Len = static_cast<uint16_t>(std::min<size_t>(replyLen - 1u, Dest ? DestSize : 0));
    if (Len > 0) {
        std::memcpy(Dest, reply + 1, Len);
    }
    DoDebug("Read Seem Phone", dtInformation);
    return true;
}

std::string TMotoP2KModemItem::GetPhoneModel() {
    if (!IsOpen()) {
        return {};
    }
    auto self = weak_from_this().lock();
    uint8_t data[ModelBuffer] = {};
    uint16_t len = 0;
    if (!ReadSeem(SeemModel, 1, 0, 0, data, sizeof data, len)) {
        DoDebug("Get Phone Model Failed - Error Read Seem Phone", dtError);
        return {};
    }
    DoDebug("GetPhone Model", dtInformation);
    return PhoneModelFromSeem(data, len);
}

std::string TMotoP2KModemItem::GetFlexVersion() {
    if (!IsOpen()) {
        return {};
    }
    auto self = weak_from_this().lock();
    uint8_t data[FlexBuffer] = {};
    uint16_t len = 0;
    if (!ReadSeem(SeemFlex, 1, 0, 9, data, sizeof data, len)) {
        DoDebug("Get Phone Flex version Failed - Error Read Seem Phone", dtError);
        return {};
    }
    DoDebug("Get Phone Flex version", dtInformation);
    return FlexVersionFromSeem(data, len);
}

std::string TMotoP2KModemItem::GetDrives() {
    if (!IsOpen()) {
        return {};
    }
    auto self = weak_from_this().lock();
    // One spare zero byte after the largest reply: the byte after the data
    // counts as 0 when looking for the FF FE separator.
    std::vector<uint8_t> reply(P2KMaxReplyData + 1, 0);
    uint16_t replyLen = 0;
    if (!fileSystemCommand(SubDriveList, sizeof SubDriveList, reply.data(), P2KMaxReplyData,
                           replyLen)) {
        DoDebug("Get Drives Phone Failed - Error Read Command", dtError);
        return {};
    }
    DoDebug("Get Drives Phone", dtInformation);
    std::string hex;
    for (size_t i = 0; i < replyLen; ++i) {
        const uint8_t b = reply[i];
        if (b == 0 || b == 0xFE) {
            continue;
        }
        if (b == 0xFF && reply[i + 1] == 0xFE) {
            hex += "000D000A";  // FF FE separates two drive names
        } else {
            hex += IntToHex(b, 4);
        }
    }
    return HexToText(hex);
}

int32_t TMotoP2KModemItem::GetFreeSpace(const std::string& Drive) {
    if (!IsOpen()) {
        return 0;
    }
    if (Drive.empty() || Drive == std::string(1, '\0')) {
        return 0;
    }
    auto self = weak_from_this().lock();
    std::vector<uint8_t> payload =
        HexToBytes(std::string(SubFreeSpace) + TextToHex(Drive) + "0000", FreeSpacePayload);
    payload.resize(FreeSpacePayload, 0);
    uint8_t reply[4] = {};
    uint16_t replyLen = 0;
    if (!fileSystemCommand(payload.data(), payload.size(), reply, sizeof reply, replyLen)) {
        DoDebug("Get Free Spase Phone Failed - Error Read Command", dtError);
        return 0;
    }
    DoDebug("Get Free Spase Phone", dtInformation);
    const uint32_t v = static_cast<uint32_t>(reply[0]) << 24 |
                       static_cast<uint32_t>(reply[1]) << 16 |
                       static_cast<uint32_t>(reply[2]) << 8 | reply[3];
    return static_cast<int32_t>(v);
}

int32_t TMotoP2KModemItem::GetFileCount(const std::string& Path) {
    if (!IsOpen()) {
        return 0;
    }
    auto self = weak_from_this().lock();
    const std::string hex = std::string(SubSearchCount) + TextToHex(Path) + "0000";
    std::vector<uint8_t> payload = HexToBytes(hex, hex.size() / 2);
    // One byte more than a valid reply, so a longer one is seen as wrong.
    uint8_t reply[3] = {};
    uint16_t replyLen = 0;
    if (!fileSystemCommand(payload.data(), payload.size(), reply, sizeof reply, replyLen)) {
        DoDebug("Get File Count Phone Failed - Error Read Command", dtError);
        return 0;
    }
    if (replyLen != 2) {
        DoDebug("Get File Count Phone Failed - Error Recv Data", dtError);
        return 0;
    }
    DoDebug("Get File Count Phone", dtInformation);
    return reply[0] * 256 + reply[1];
}
