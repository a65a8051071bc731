#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/VirtualPhone.h"

// A minimal host written straight from the wire format, for driving the
// virtual phone with raw control transfers in tests.
namespace rawhost {

using Bytes = std::vector<uint8_t>;

inline Bytes setup(uint8_t Type, uint8_t Request, uint16_t Value, uint16_t Index, uint16_t Length) {
    return {Type,
            Request,
            uint8_t(Value),
            uint8_t(Value >> 8),
            uint8_t(Index),
            uint8_t(Index >> 8),
            uint8_t(Length),
            uint8_t(Length >> 8)};
}

// Header and payload of a command write.
inline Bytes commandData(uint16_t PacketId, uint16_t Command, const Bytes& Payload) {
    uint16_t n = uint16_t(Payload.size());
    Bytes d{uint8_t(PacketId >> 8),
            uint8_t(PacketId),
            uint8_t(Command >> 8),
            uint8_t(Command),
            uint8_t(n >> 8),
            uint8_t(n),
            0,
            0};
    d.insert(d.end(), Payload.begin(), Payload.end());
    return d;
}

inline bool command(TVirtualPhone& Phone, uint16_t PacketId, uint16_t Command,
                    const Bytes& Payload) {
    Bytes d = commandData(PacketId, Command, Payload);
    Bytes s = setup(0x41, 0x02, 0, 8, uint16_t(d.size()));
    return Phone.ControlOut(s.data(), d.data(), d.size());
}

// The 8-byte status reply, or nothing on a stall.
inline std::optional<Bytes> status(TVirtualPhone& Phone) {
    Bytes s = setup(0xC1, 0x00, 0, 8, 8);
    Bytes out(8, 0xAA);
    int n = Phone.ControlIn(s.data(), out.data(), out.size());
    if (n < 0) {
        return std::nullopt;
    }
    out.resize(size_t(n));
    return out;
}

inline uint16_t fetchLength(uint8_t Count, uint16_t Size) {
    return uint16_t(2 * Count + Size + 4);
}

inline std::optional<Bytes> fetch(TVirtualPhone& Phone, uint8_t Count, uint16_t Length,
                                  size_t Capacity = 0x10000) {
    Bytes s = setup(0xC1, 0x01, Count, 8, Length);
    Bytes out(Capacity, 0xAA);
    int n = Phone.ControlIn(s.data(), out.data(), out.size());
    if (n < 0) {
        return std::nullopt;
    }
    out.resize(size_t(n));
    return out;
}

// Write, poll once, fetch: the whole response, or nothing when any step fails
// or no reply is ready.
inline std::optional<Bytes> transactRaw(TVirtualPhone& Phone, uint16_t Command,
                                        const Bytes& Payload, uint16_t PacketId = 1) {
    if (!command(Phone, PacketId, Command, Payload)) {
        return std::nullopt;
    }
    auto st = status(Phone);
    if (!st || st->size() != 8 || ((*st)[5] != 1 && (*st)[5] != 2)) {
        return std::nullopt;
    }
    uint8_t count = (*st)[5];
    uint16_t size = uint16_t(((*st)[6] << 8) | (*st)[7]);
    return fetch(Phone, count, fetchLength(count, size));
}

// The reply data (L bytes from byte 18) of a transaction.
inline std::optional<Bytes> transact(TVirtualPhone& Phone, uint16_t Command, const Bytes& Payload) {
    auto r = transactRaw(Phone, Command, Payload);
    if (!r || r->size() < 18) {
        return std::nullopt;
    }
    size_t length = size_t(((*r)[14] << 8) | (*r)[15]);
    if (18 + length > r->size()) {
        return std::nullopt;
    }
    return Bytes(r->begin() + 18, r->begin() + 18 + long(length));
}

inline Bytes be32(uint32_t V) {
    return {uint8_t(V >> 24), uint8_t(V >> 16), uint8_t(V >> 8), uint8_t(V)};
}

inline Bytes cat(Bytes A, const Bytes& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

inline Bytes text(const std::string& S) {
    return Bytes(S.begin(), S.end());
}

// A file-system command (0x004A) with its sub-command.
inline std::optional<Bytes> fs(TVirtualPhone& Phone, uint32_t Sub, const Bytes& Args = {}) {
    return transact(Phone, 0x004A, cat(be32(Sub), Args));
}

// 8-bit phone text as 16-bit big-endian units the way the program sends it:
// "|" as FFFE, Yo (B8) as 0451, every other character as 00 and its code.
inline Bytes units(const std::string& S) {
    Bytes out;
    for (char c : S) {
        uint8_t b = uint8_t(c);
        uint16_t u = c == '|' ? 0xFFFE : b == 0xB8 ? 0x0451 : b;
        out.push_back(uint8_t(u >> 8));
        out.push_back(uint8_t(u));
    }
    return out;
}

inline uint32_t readBe32(const Bytes& B, size_t At) {
    return (uint32_t(B[At]) << 24) | (uint32_t(B[At + 1]) << 16) | (uint32_t(B[At + 2]) << 8) |
           B[At + 3];
}

}  // namespace rawhost
