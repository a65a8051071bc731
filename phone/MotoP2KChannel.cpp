// The command channel of one P2K phone: open, close and the command
// transaction that every phone command runs.

#include <algorithm>
#include <cstring>
#include <vector>

#include "MotoP2KMode.h"

namespace {

// USB setup bytes of the three exchanges.
constexpr uint8_t ReqTypeVendorOut = 0x41;  // host to device, vendor, interface
constexpr uint8_t ReqTypeVendorIn = 0xC1;   // device to host, vendor, interface
constexpr uint8_t ReqCommand = 0x02;
constexpr uint8_t ReqStatus = 0x00;
constexpr uint8_t ReqFetch = 0x01;
constexpr uint8_t P2KInterface = 8;

constexpr size_t SetupSize = 8;
constexpr size_t HeaderSize = 8;
constexpr size_t ReadSetupSize = 9;
constexpr size_t ReplyDataOffset = 18;
constexpr uint32_t ReplyDeadlineMs = 2000;

void putLE16(uint8_t* P, uint16_t V) {
    P[0] = static_cast<uint8_t>(V & 0xFF);
    P[1] = static_cast<uint8_t>(V >> 8);
}

void putBE16(uint8_t* P, uint16_t V) {
    P[0] = static_cast<uint8_t>(V >> 8);
    P[1] = static_cast<uint8_t>(V & 0xFF);
}

// True while Now has not passed Deadline; robust to the tick count wrapping.
bool notAbove(uint32_t Now, uint32_t Deadline) {
    return static_cast<int32_t>(Now - Deadline) <= 0;
}

}  // namespace

TMotoP2KModemItem::TMotoP2KModemItem(const TUSBDevise& Info, IP2KTransport& Transport,
                                     IClock& Clock, ILocalFiles& Files)
    : modemInfo_(Info), transport_(Transport), clock_(Clock), files_(Files) {}

TMotoP2KModemItem::~TMotoP2KModemItem() {
    if (IsOpen()) {
        ClosePhone();
    }
}

bool TMotoP2KModemItem::IsOpen() const {
    return handle_ != nullptr;
}

bool TMotoP2KModemItem::OpenPhone() {
    if (IsOpen()) {
        return true;
    }
    handle_ = transport_.Open(modemInfo_.DevicePath);
    if (!handle_) {
        DoDebug("Open Phone Failed", dtError, false);
        return false;
    }
    DoDebug("Open Phone", dtInformation, false);
    return true;
}

bool TMotoP2KModemItem::ClosePhone() {
    if (!handle_ || !handle_->Close()) {
        DoDebug("Close Phone Failed", dtError, false);
        return false;
    }
    handle_.reset();
    DoDebug("Close Phone", dtInformation, false);
    return true;
}

bool TMotoP2KModemItem::IsPresent() const {
    return handle_ != nullptr && handle_->Present();
}

void TMotoP2KModemItem::DoDebug(const std::string& Text, TDebugType Type, bool SubError) {
    errors_ += Type == dtError ? 1 : 0;
    if (onDebugEvent_) {
        onDebugEvent_(this, Text, Type, SubError);
    }
}

bool TMotoP2KModemItem::SendCommand(uint16_t Cmd, const uint8_t* Data, uint16_t DataLen,
                                    uint8_t* Reply, size_t ReplyCapacity, uint16_t& ReplyLen) {
    ReplyLen = 0;
    lastTransactionFailed_ = true;
    // A payload that does not fit the command buffer is refused before the
    // phone sees anything.
    if (DataLen > P2KMaxPayload || (DataLen > 0 && Data == nullptr)) {
        return false;
    }

    ++packetId_;
    if (!handle_) {
        return false;  // nothing to write to: the write fails
    }
    std::vector<uint8_t> packet(P2KCommandBufferSize, 0);
    packet[0] = ReqTypeVendorOut;
    packet[1] = ReqCommand;
    putLE16(&packet[2], 0);
    putLE16(&packet[4], P2KInterface);
    putLE16(&packet[6], static_cast<uint16_t>(DataLen + HeaderSize));
    putBE16(&packet[8], packetId_);
    putBE16(&packet[10], Cmd);
    putBE16(&packet[12], DataLen);
    putBE16(&packet[14], 0);
    if (DataLen > 0) {
        std::memcpy(&packet[SetupSize + HeaderSize], Data, DataLen);
    }

    // A write whose completion wait times out has usually reached the phone;
    // the poll below finds out whether it answers.
    if (handle_->ControlWrite(packet.data(), DataLen + SetupSize + HeaderSize + 2) ==
        TExchangeResult::Failed) {
        return false;
    }

    uint8_t status[ReadSetupSize] = {ReqTypeVendorIn, ReqStatus, 0, 0, P2KInterface, 0, 8, 0, 0};
    std::vector<uint8_t> response(P2KResponseBufferSize, 0);
    const uint32_t deadline = clock_.TickCount() + ReplyDeadlineMs;
    bool ready = false;
    do {
        if (handle_->ControlRead(status, response.data(), response.size()) == TExchangeResult::Ok &&
            (response[5] == 1 || response[5] == 2)) {
            ready = true;
            clock_.Sleep(1);
            break;
        }
    } while (notAbove(clock_.TickCount(), deadline));
    if (!ready) {
        return false;
    }

    const uint8_t count = response[5];
    const uint16_t size = static_cast<uint16_t>((response[6] << 8) | response[7]);
    uint8_t fetch[ReadSetupSize] = {ReqTypeVendorIn, ReqFetch, 0, 0, P2KInterface, 0, 0, 0, 0};
    putLE16(&fetch[2], count);
    putLE16(&fetch[6], static_cast<uint16_t>(2 * count + size + 4));
    // A fetch that fails leaves no reply: taking the zero-filled buffer as
    // one would read as an empty answer (a file read would look like its
    // end), so the transaction fails. The copy below stays inside both
    // buffers whatever the length field claims.
    if (handle_->ControlRead(fetch, response.data(), response.size()) != TExchangeResult::Ok) {
        return false;
    }

    const size_t announced = static_cast<size_t>((response[14] << 8) | response[15]);
    const size_t n = std::min({announced, P2KMaxReplyData, Reply ? ReplyCapacity : size_t{0}});
    if (n > 0) {
        std::memcpy(Reply, &response[ReplyDataOffset], n);
    }
    ReplyLen = static_cast<uint16_t>(n);
    lastTransactionFailed_ = false;
    return true;
}
