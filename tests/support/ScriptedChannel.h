#pragma once

// A P2K channel for tests: records every exchange byte for byte and answers
// each command with the next scripted reply.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "backend/P2KChannel.h"

namespace test {

struct TScriptedReply {
    std::vector<uint8_t> Data;
    uint8_t Ready = 1;                    // byte 5 of the status reply
    std::optional<uint16_t> LengthField;  // bytes 14-15; Data.size() when unset
    TExchangeResult Write = TExchangeResult::Ok;
    TExchangeResult Status = TExchangeResult::Ok;
    TExchangeResult Fetch = TExchangeResult::Ok;
};

// One command as the phone received it.
struct TSentCommand {
    std::vector<uint8_t> Packet;  // the whole write, setup included
    uint16_t PacketId() const { return static_cast<uint16_t>(Packet[8] << 8 | Packet[9]); }
    uint16_t Cmd() const { return static_cast<uint16_t>(Packet[10] << 8 | Packet[11]); }
    std::vector<uint8_t> Payload() const {
        size_t n = static_cast<size_t>(Packet[12] << 8 | Packet[13]);
        return {Packet.begin() + 16, Packet.begin() + 16 + static_cast<std::ptrdiff_t>(n)};
    }
};

class TScriptedPhone : public IP2KTransport {
  public:
    // Replies given in order; once they run out each command gets
    // DefaultReply, or the result of Handler when one is set.
    std::deque<TScriptedReply> Replies;
    TScriptedReply DefaultReply;
    std::function<TScriptedReply(const TSentCommand&)> Handler;

    std::vector<TSentCommand> Sent;
    std::vector<std::vector<uint8_t>> ReadSetups;
    std::set<std::string> Present{"/dev/p2k0"};
    int Opens = 0;
    int Closes = 0;
    bool CloseFails = false;
    // What every open channel answers when asked whether its device is there.
    bool Attached = true;

    std::unique_ptr<IP2KChannel> Open(const std::string& DevicePath) override {
        if (!Present.count(DevicePath)) {
            return nullptr;
        }
        ++Opens;
        return std::make_unique<Channel>(*this);
    }

    // Payloads of the commands received, in order.
    std::vector<std::vector<uint8_t>> Payloads() const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& s : Sent) {
            out.push_back(s.Payload());
        }
        return out;
    }

  private:
    class Channel : public IP2KChannel {
      public:
        explicit Channel(TScriptedPhone& Phone) : phone_(Phone) {}
        TExchangeResult ControlWrite(const uint8_t* Packet, size_t Length) override {
            TSentCommand c{{Packet, Packet + Length}};
            phone_.Sent.push_back(c);
            if (!phone_.Replies.empty()) {
                current_ = phone_.Replies.front();
                phone_.Replies.pop_front();
            } else if (phone_.Handler) {
                current_ = phone_.Handler(c);
            } else {
                current_ = phone_.DefaultReply;
            }
            return current_.Write;
        }
        TExchangeResult ControlRead(const uint8_t* Setup, uint8_t* Out, size_t OutSize) override {
            phone_.ReadSetups.emplace_back(Setup, Setup + 9);
            if (Setup[1] == 0x00) {  // status poll
                if (current_.Status != TExchangeResult::Ok) {
                    return current_.Status;
                }
                uint8_t st[8] = {};
                st[5] = current_.Ready;
                const uint16_t size = static_cast<uint16_t>(current_.Data.size() + 8);
                st[6] = static_cast<uint8_t>(size >> 8);
                st[7] = static_cast<uint8_t>(size);
                std::memcpy(Out, st, std::min(OutSize, sizeof st));
                return TExchangeResult::Ok;
            }
            if (current_.Fetch != TExchangeResult::Ok) {
                return current_.Fetch;
            }
            std::vector<uint8_t> r(18 + current_.Data.size(), 0);
            const uint16_t len =
                current_.LengthField.value_or(static_cast<uint16_t>(current_.Data.size()));
            r[14] = static_cast<uint8_t>(len >> 8);
            r[15] = static_cast<uint8_t>(len);
            std::copy(current_.Data.begin(), current_.Data.end(), r.begin() + 18);
            std::memcpy(Out, r.data(), std::min(OutSize, r.size()));
            return TExchangeResult::Ok;
        }
        bool Close() override {
            if (phone_.CloseFails) {
                return false;
            }
            ++phone_.Closes;
            return true;
        }
        bool Present() const override { return phone_.Attached; }

      private:
        TScriptedPhone& phone_;
        TScriptedReply current_;
    };
};

inline TScriptedReply Reply(std::vector<uint8_t> Data) {
    TScriptedReply r;
    r.Data = std::move(Data);
    return r;
}

inline std::vector<uint8_t> Bytes(const std::string& S) {
    return {S.begin(), S.end()};
}

}  // namespace test
