#include "linux/UsbControlChannel.h"

#include <libusb.h>

#include <algorithm>
#include <cstring>

TSetupFields DecodeSetup(const uint8_t* Setup) {
    auto le16 = [Setup](int At) { return static_cast<uint16_t>(Setup[At] | (Setup[At + 1] << 8)); };
    return {Setup[0], Setup[1], le16(2), le16(4), le16(6)};
}

TExchangeResult MapLibusbResult(int Result) {
    if (Result >= 0) {
        return TExchangeResult::Ok;
    }
    if (Result == LIBUSB_ERROR_TIMEOUT) {
        return TExchangeResult::TimedOut;
    }
    return TExchangeResult::Failed;
}

TClaimOutcome ClassifyClaim(int ClaimResult, int KernelDriverActive) {
    if (ClaimResult == 0) {
        return TClaimOutcome::Claimed;
    }
    if (ClaimResult == LIBUSB_ERROR_BUSY && KernelDriverActive == 0) {
        return TClaimOutcome::HeldElsewhere;
    }
    return TClaimOutcome::Unclaimed;
}

TUsbControlChannel::TUsbControlChannel(std::unique_ptr<IUsbControlPipe> Pipe)
    : pipe_(std::move(Pipe)), buffer_(LinuxControlTransferLimit) {}

TUsbControlChannel::~TUsbControlChannel() {
    Close();
}

TExchangeResult TUsbControlChannel::ControlWrite(const uint8_t* Packet, size_t Length) {
    if (!pipe_ || !Packet || Length < 8) {
        return TExchangeResult::Failed;
    }
    TSetupFields S = DecodeSetup(Packet);
    // Only host-to-device requests, and only as much data as was given.
    if ((S.RequestType & LIBUSB_ENDPOINT_IN) != 0 || S.Length > Length - 8 ||
        S.Length > LinuxControlTransferLimit) {
        return TExchangeResult::Failed;
    }
    std::memcpy(buffer_.data(), Packet + 8, S.Length);
    int R = pipe_->Transfer(S, buffer_.data(), S.Length, P2KExchangeTimeoutMs);
    TExchangeResult Result = MapLibusbResult(R);
    // A device that took less than the data stage did not get the command.
    if (Result == TExchangeResult::Ok && R != S.Length) {
        return TExchangeResult::Failed;
    }
    return Result;
}

TExchangeResult TUsbControlChannel::ControlRead(const uint8_t* Setup, uint8_t* Out,
                                                size_t OutSize) {
    if (!pipe_ || !Setup || (!Out && OutSize > 0)) {
        return TExchangeResult::Failed;
    }
    TSetupFields S = DecodeSetup(Setup);
    if ((S.RequestType & LIBUSB_ENDPOINT_IN) == 0 || S.Length > LinuxControlTransferLimit) {
        return TExchangeResult::Failed;
    }
    // The transfer lands in our own page-sized buffer, so a data stage longer
    // than the caller's buffer never writes past it; the caller gets what fits.
    int R = pipe_->Transfer(S, buffer_.data(), S.Length, P2KExchangeTimeoutMs);
    TExchangeResult Result = MapLibusbResult(R);
    if (Result == TExchangeResult::Ok) {
        size_t Got = std::min<size_t>(static_cast<size_t>(R), S.Length);
        std::memcpy(Out, buffer_.data(), std::min(Got, OutSize));
    }
    return Result;
}

bool TUsbControlChannel::Close() {
    if (!pipe_) {
        return false;
    }
    bool Ok = pipe_->Close();
    pipe_.reset();
    return Ok;
}

bool TUsbControlChannel::Present() const {
    return pipe_ && pipe_->Present();
}
