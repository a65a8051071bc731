#include "sim/VirtualP2KTransport.h"

#include <cstring>

namespace {

constexpr size_t SetupSize = 8;

}  // namespace

// One opened virtual phone. It keeps the phone alive while open, and fails
// every exchange once that plug of the phone is gone.
class TVirtualP2KChannel final : public IP2KChannel {
  public:
    TVirtualP2KChannel(TVirtualP2KTransport& Transport, std::string Path,
                       std::shared_ptr<IVirtualP2KDevice> Phone, uint64_t Generation)
        : transport_(Transport),
          path_(std::move(Path)),
          phone_(std::move(Phone)),
          generation_(Generation) {
        ++transport_.openChannels_;
    }
    ~TVirtualP2KChannel() override { release(); }

    TExchangeResult ControlWrite(const uint8_t* Packet, size_t Length) override {
        if (!begin(TVirtualP2KTransport::TExchange::Write) || Packet == nullptr ||
            Length < SetupSize) {
            return TExchangeResult::Failed;
        }
        // The data stage is as long as the setup says; the caller's buffer
        // may hold more (trailing zeros) but never less.
        size_t dataLength = size_t(Packet[6] | (Packet[7] << 8));
        if (Length - SetupSize < dataLength) {
            return TExchangeResult::Failed;
        }
        return phone_->ControlOut(Packet, Packet + SetupSize, dataLength) ? TExchangeResult::Ok
                                                                          : TExchangeResult::Failed;
    }

    TExchangeResult ControlRead(const uint8_t* Setup, uint8_t* Out, size_t OutSize) override {
        if (!begin(TVirtualP2KTransport::TExchange::Read) || Setup == nullptr || Out == nullptr) {
            return TExchangeResult::Failed;
        }
        return phone_->ControlIn(Setup, Out, OutSize) >= 0 ? TExchangeResult::Ok
                                                           : TExchangeResult::Failed;
    }

    bool Close() override {
        if (!open_) {
            return false;
        }
        release();
        return true;
    }

  private:
    bool begin(TVirtualP2KTransport::TExchange Kind) {
        if (!open_) {
            return false;
        }
        uint64_t index = transport_.exchanges_++;
        if (transport_.hook_) {
            transport_.hook_(Kind, path_, index);
        }
        return transport_.devices_.IsPlugged(path_, generation_);
    }

    void release() {
        if (open_) {
            open_ = false;
            --transport_.openChannels_;
        }
    }

    TVirtualP2KTransport& transport_;
    std::string path_;
    std::shared_ptr<IVirtualP2KDevice> phone_;
    uint64_t generation_;
    bool open_ = true;
};

void TVirtualP2KTransport::SetHeldElsewhere(const std::string& DevicePath, bool Held) {
    if (Held) {
        held_.insert(DevicePath);
    } else {
        held_.erase(DevicePath);
    }
}

bool TVirtualP2KTransport::HeldElsewhere(const std::string& DevicePath) const {
    return held_.contains(DevicePath) && devices_.DeviceAt(DevicePath) != nullptr;
}

std::unique_ptr<IP2KChannel> TVirtualP2KTransport::Open(const std::string& DevicePath) {
    if (held_.contains(DevicePath)) {
        return nullptr;
    }
    uint64_t generation = 0;
    std::shared_ptr<IVirtualP2KDevice> phone = devices_.DeviceAt(DevicePath, &generation);
    if (!phone) {
        return nullptr;
    }
    return std::make_unique<TVirtualP2KChannel>(*this, DevicePath, std::move(phone), generation);
}
