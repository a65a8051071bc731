#include "sim/VirtualPhone.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

// The wire side of the virtual phone: the three control transfers and the
// checks on them. The commands themselves live in VirtualPhoneCommands.cpp
// and VirtualPhoneFiles.cpp.

namespace {

constexpr uint8_t RequestTypeOut = 0x41;  // host to device, vendor, interface
constexpr uint8_t RequestTypeIn = 0xC1;   // device to host, vendor, interface
constexpr uint8_t RequestCommand = 0x02;
constexpr uint8_t RequestStatus = 0x00;
constexpr uint8_t RequestFetch = 0x01;
constexpr uint16_t CommandInterface = 8;
constexpr size_t HeaderSize = 8;        // P2K header ahead of the payload
constexpr size_t StatusSize = 8;        // status reply
constexpr size_t ResponseHead = 18;     // response bytes ahead of the data
constexpr size_t MaxResponse = 0xFFFF;  // wLength is 16 bits

struct TSetup {
    uint8_t RequestType;
    uint8_t Request;
    uint16_t Value;
    uint16_t Index;
    uint16_t Length;
};

TSetup parseSetup(const uint8_t* S) {
    return {S[0], S[1], uint16_t(S[2] | (S[3] << 8)), uint16_t(S[4] | (S[5] << 8)),
            uint16_t(S[6] | (S[7] << 8))};
}

uint16_t be16(const uint8_t* P) {
    return uint16_t((P[0] << 8) | P[1]);
}

void putBe16(uint8_t* P, uint16_t V) {
    P[0] = uint8_t(V >> 8);
    P[1] = uint8_t(V);
}

}  // namespace

TVirtualPhone::TVirtualPhone() : TVirtualPhone(DefaultVirtualPhoneState()) {}

TVirtualPhone::TVirtualPhone(TVirtualPhoneState State) : state_(std::move(State)) {}

bool TVirtualPhone::Gone() const {
    return faults_.DisappearAfter && transactions_ >= *faults_.DisappearAfter;
}

bool TVirtualPhone::ControlOut(const uint8_t* Setup, const uint8_t* Data, size_t Length) {
    if (Setup == nullptr || Gone() || faults_.FailWrites) {
        return false;
    }
    TSetup s = parseSetup(Setup);
    if (s.RequestType != RequestTypeOut || s.Request != RequestCommand || s.Value != 0 ||
        s.Index != CommandInterface || s.Length != Length || Length < HeaderSize ||
        Data == nullptr) {
        return false;
    }
    uint16_t packetId = be16(Data);
    uint16_t command = be16(Data + 2);
    uint16_t payloadLength = be16(Data + 4);
    if (payloadLength != Length - HeaderSize || be16(Data + 6) != 0) {
        return false;
    }
    if (faults_.DelayMicroseconds != 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(faults_.DelayMicroseconds));
    }
    const uint8_t* payload = Data + HeaderSize;
    if (keepReceived_) {
        received_.push_back({packetId, command, {payload, payload + payloadLength}});
    }
    // A new command replaces a reply nobody fetched.
    pending_ = {};
    reportedCount_ = 0;
    TReply reply = std::vector<uint8_t>{1};  // unknown command: a non-zero status
    for (const TCommandHandler* h = commands_; h->Handler != nullptr; ++h) {
        if (h->Command == command) {
            reply = (this->*(h->Handler))(payload, payloadLength);
            break;
        }
    }
    if (!reply) {
        return false;
    }
    pending_.Waiting = true;
    pending_.PacketId = packetId;
    pending_.Command = command;
    pending_.Data = std::move(*reply);
    if (faults_.EmptyReplies) {
        pending_.Data.clear();
    }
    if (faults_.PadRepliesTo && pending_.Data.size() < *faults_.PadRepliesTo) {
        pending_.Data.resize(std::min(*faults_.PadRepliesTo, MaxResponse - ResponseHead));
    }
    pending_.Data.resize(std::min(pending_.Data.size(), MaxResponse - ResponseHead));
    return true;
}

std::vector<uint8_t> TVirtualPhone::response() const {
    std::vector<uint8_t> r(ResponseHead + pending_.Data.size(), 0);
    putBe16(&r[0], 1);                       // packet count
    putBe16(&r[2], uint16_t(r.size() - 4));  // bytes that follow
    putBe16(&r[4], pending_.PacketId);
    putBe16(&r[6], pending_.Command);
    uint16_t length = uint16_t(pending_.Data.size());
    if (faults_.LengthLies) {
        length = length > 0 ? uint16_t(length - 1) : uint16_t(1);
    }
    putBe16(&r[14], faults_.ClaimedLength.value_or(length));
    std::copy(pending_.Data.begin(), pending_.Data.end(), r.begin() + ResponseHead);
    return r;
}

uint16_t TVirtualPhone::sizeField(uint8_t Count) const {
    // S such that the fetch length 2 * count + S + 4 is the response length.
    size_t total = ResponseHead + pending_.Data.size();
    size_t overhead = 2 * size_t(Count) + 4;
    return uint16_t(total > overhead ? total - overhead : 0);
}

int TVirtualPhone::ControlIn(const uint8_t* Setup, uint8_t* Out, size_t Capacity) {
    if (Setup == nullptr || Gone() || faults_.FailReads) {
        return -1;
    }
    TSetup s = parseSetup(Setup);
    if (s.RequestType != RequestTypeIn || s.Index != CommandInterface) {
        return -1;
    }
    if (s.Request == RequestStatus) {
        if (s.Value != 0 || s.Length != StatusSize) {
            return -1;
        }
        uint8_t status[StatusSize] = {};
        uint8_t count = faults_.ReadyCount.value_or(pending_.Waiting ? 1 : 0);
        uint16_t size = pending_.Waiting && count != 0 ? sizeField(count) : 0;
        status[5] = count;
        putBe16(&status[6], size);
        reportedCount_ = pending_.Waiting ? count : 0;
        reportedSize_ = size;
        size_t n = std::min(Capacity, StatusSize);
        if (n != 0) {
            std::memcpy(Out, status, n);
        }
        return int(n);
    }
    if (s.Request != RequestFetch) {
        return -1;
    }
    // A fetch must name the ready count just reported and ask for exactly the
    // length that count and size give.
    if (!pending_.Waiting || reportedCount_ == 0 || s.Value != reportedCount_ ||
        s.Length != uint16_t(2 * reportedCount_ + reportedSize_ + 4)) {
        return -1;
    }
    std::vector<uint8_t> r = response();
    size_t n = std::min(
        {Capacity, r.size(), size_t(s.Length), faults_.TruncateResponseTo.value_or(r.size())});
    if (n != 0) {
        std::memcpy(Out, r.data(), n);
    }
    pending_ = {};
    reportedCount_ = 0;
    ++transactions_;
    return int(n);
}
