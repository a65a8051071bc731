#pragma once

// A P2K phone whose every answer comes from the fuzz input: each command
// write, status poll and response fetch takes its outcome, ready count,
// reply bytes and length field from the stream. An input that runs out
// leaves a healthy phone giving empty replies, so every loop ends.

#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "MotoP2KMode.h"
#include "backend/Clock.h"

// Stops the run with a message: libFuzzer keeps the input as a finding.
#define FUZZ_CHECK(Cond)                                                                  \
    do {                                                                                  \
        if (!(Cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #Cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace fuzz {

// A new folder for a target's scratch files, removed when the program
// ends. In memory when it can be, since every run writes and flushes files.
inline std::string MakeScratchDir(const std::string& Name) {
    static std::vector<std::string> made;
    std::string t =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/" + Name + "-XXXXXX";
    FUZZ_CHECK(mkdtemp(t.data()) != nullptr);
    if (made.empty())
        std::atexit([] {
            for (const auto& d : made)
                std::filesystem::remove_all(d);
        });
    made.push_back(t);
    return t;
}

// What the phone was sent and what it delivered, for the checks.
struct TExchangeLog {
    struct TCommand {
        uint16_t Cmd = 0;
        std::vector<uint8_t> Payload;
        bool Answered = false;       // the fetch completed
        std::vector<uint8_t> Reply;  // bytes 18.. of the response buffer, all 4083
        uint16_t LengthField = 0;    // bytes 14-15 as delivered
    };
    std::vector<TCommand> Commands;
};

class TFuzzPhone final : public IP2KTransport {
  public:
    explicit TFuzzPhone(FuzzedDataProvider& In) : in_(In) {}
    TExchangeLog Log;

    std::unique_ptr<IP2KChannel> Open(const std::string&) override {
        return std::make_unique<Channel>(*this);
    }

  private:
    // Response buffer as the client holds it: the status reply, then the
    // fetch written over it.
    static constexpr size_t ResponseSize = P2KResponseBufferSize;

    class Channel final : public IP2KChannel {
      public:
        explicit Channel(TFuzzPhone& Phone) : phone_(Phone) {}

        TExchangeResult ControlWrite(const uint8_t* Packet, size_t Length) override {
            FUZZ_CHECK(Length >= 16 && Length <= P2KCommandBufferSize);
            const size_t n = size_t(Packet[12] << 8 | Packet[13]);
            FUZZ_CHECK(n + 18 == Length);  // header length, payload and two trailing bytes
            FUZZ_CHECK(size_t(Packet[6] | Packet[7] << 8) == n + 8);
            TExchangeLog::TCommand c;
            c.Cmd = uint16_t(Packet[10] << 8 | Packet[11]);
            c.Payload.assign(Packet + 16, Packet + 16 + n);
            phone_.Log.Commands.push_back(std::move(c));
            shadow_.assign(ResponseSize, 0);
            return result();
        }

        TExchangeResult ControlRead(const uint8_t* Setup, uint8_t* Out, size_t OutSize) override {
            FUZZ_CHECK(Setup != nullptr && Out != nullptr);
            FUZZ_CHECK(OutSize == ResponseSize);
            const TExchangeResult r = result();
            if (r != TExchangeResult::Ok)
                return r;
            std::vector<uint8_t> data;
            if (Setup[1] == 0x00) {  // status poll: 8 bytes, ready count and size
                data.assign(8, 0);
                const uint8_t ready = phone_.in_.ConsumeIntegral<uint8_t>();
                data[5] = ready == 0 ? 1 : ready;  // an empty input is ready at once
                const uint16_t size = phone_.in_.ConsumeIntegral<uint16_t>();
                data[6] = uint8_t(size >> 8);
                data[7] = uint8_t(size);
            } else {  // response fetch
                const size_t length = phone_.in_.ConsumeIntegralInRange<size_t>(0, 4200);
                const std::vector<uint8_t> body = phone_.in_.ConsumeBytes<uint8_t>(length);
                data.assign(18 + body.size(), 0);
                std::copy(body.begin(), body.end(), data.begin() + 18);
                const bool lie = phone_.in_.ConsumeBool();
                const uint16_t field =
                    lie ? phone_.in_.ConsumeIntegral<uint16_t>() : uint16_t(body.size());
                data[14] = uint8_t(field >> 8);
                data[15] = uint8_t(field);
                // A response cut short by the device.
                if (phone_.in_.ConsumeBool())
                    data.resize(phone_.in_.ConsumeIntegralInRange<size_t>(0, data.size()));
            }
            const size_t n = std::min(OutSize, data.size());
            std::memcpy(Out, data.data(), n);
            std::memcpy(shadow_.data(), data.data(), std::min(n, shadow_.size()));
            if (Setup[1] == 0x01 && !phone_.Log.Commands.empty()) {
                auto& c = phone_.Log.Commands.back();
                c.Answered = true;
                c.LengthField = uint16_t(shadow_[14] << 8 | shadow_[15]);
                c.Reply.assign(shadow_.begin() + 18, shadow_.end());
            }
            return TExchangeResult::Ok;
        }

        bool Close() override { return true; }
        bool Present() const override { return true; }

      private:
        // Mostly completed exchanges; failures and time-outs when the input says so.
        TExchangeResult result() {
            const uint8_t v = phone_.in_.ConsumeIntegral<uint8_t>();
            if (v == 0xFF)
                return TExchangeResult::Failed;
            if (v == 0xFE)
                return TExchangeResult::TimedOut;
            return TExchangeResult::Ok;
        }

        TFuzzPhone& phone_;
        std::vector<uint8_t> shadow_ = std::vector<uint8_t>(ResponseSize, 0);
    };

    FuzzedDataProvider& in_;
};

// An opened item over a fuzzed phone. The clock moves 100 ms at every look,
// so a poll that never sees a ready reply gives up after 20 exchanges.
struct TFuzzItem {
    explicit TFuzzItem(FuzzedDataProvider& In) : Phone(In), Clock(100) {
        TUSBDevise d;
        d.DevInst = 1;
        d.DevicePath = "fuzz:p2k";
        Item = std::make_shared<TMotoP2KModemItem>(d, Phone, Clock);
        Item->SetOnDebugEvent([](TMotoP2KModemItem*, const std::string& Text, TDebugType, bool) {
            FUZZ_CHECK(!Text.empty());
        });
        FUZZ_CHECK(Item->OpenPhone());
    }
    TFuzzPhone Phone;
    TFakeClock Clock;
    std::shared_ptr<TMotoP2KModemItem> Item;
};

}  // namespace fuzz
