#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/VirtualPhoneState.h"

// The device side of a P2K phone's command interface (interface 8), written
// from the wire format alone. It takes vendor control transfers exactly as a
// USB device sees them (the 8-byte setup packet, then the data stage) and
// refuses, by stalling, whatever a phone would not accept. It depends on
// nothing but the standard library, so it can sit behind the program's
// channel seam or behind a USB gadget.
//
// Transfers it accepts (setup fields little-endian, P2K fields big-endian):
//
//   Command write   41 02 0000 0008 wLength   data = 8-byte header + N payload
//                   header: packet id (2), command (2), N (2), 00 00;
//                   wLength must be 8 + N and the data stage must be wLength.
//   Status poll     C1 00 0000 0008 0008      8 bytes back:
//                   0-4  zero
//                   5    ready count: 1 while a reply waits, else 0
//                   6-7  size S, big-endian, so that 2 * count + S + 4 is the
//                        exact length of the response (S = L + 12 for count 1)
//   Response fetch  C1 01 count 0008 wLength  wValue must be the ready count
//                   just reported and wLength 2 * count + S + 4; the response:
//                   0-1   packet count (1)
//                   2-3   bytes that follow this field (14 + L)
//                   4-5   packet id of the command answered
//                   6-7   command code echoed
//                   8-9   0x0000
//                   10-13 0x00000000
//                   14-15 data length L
//                   16-17 0x0000
//                   18..  L bytes of reply data
//
// Anything else (other request types or codes, wIndex other than 8, a fetch
// with nothing waiting, a header that disagrees with the setup) stalls.
//
// Commands answered: 0x0020 read seem; 0x004A file system, whose first four
// payload bytes are a big-endian sub-command: 0 open, 1 read, 2 write,
// 4 close, 5 delete, 7 open a search and count, 8 next list batch, 0x0A
// drives, 0x0B free space. Unknown commands and sub-commands answer one
// non-zero status byte.
//
// Not thread-safe: one caller at a time.

// Ways to make the phone misbehave, for tests. The defaults are a healthy phone.
struct TVirtualPhoneFaults {
    // Byte 5 of every status reply, when set (0 or 3 never make a reply ready;
    // 2 is a ready count a phone may use, and S follows it).
    std::optional<uint8_t> ReadyCount;
    // Every reply carries no data (L = 0).
    bool EmptyReplies = false;
    // The length field (bytes 14-15) claims this value while the response
    // holds only the real data.
    std::optional<uint16_t> ClaimedLength;
    // The length field lies about the data it comes with: one byte short,
    // or one byte for an empty reply.
    bool LengthLies = false;
    // Reply data padded to this many bytes (zero-filled) when longer: an
    // oversized reply.
    std::optional<size_t> PadRepliesTo;
    // The response fetch delivers at most this many bytes (a short response;
    // under 18 it ends before the length field).
    std::optional<size_t> TruncateResponseTo;
    // Command writes stall.
    bool FailWrites = false;
    // Status polls and response fetches stall.
    bool FailReads = false;
    // After this many completed transactions (response fetched) every
    // transfer stalls, as when the phone has left the bus.
    std::optional<uint32_t> DisappearAfter;
    // Pause, in microseconds, added to every command write (benchmarks).
    uint32_t DelayMicroseconds = 0;

    // The open file shrinks to ShrinkTo bytes after this many reads of it.
    std::optional<uint32_t> ShrinkAfterReads;
    size_t ShrinkTo = 0;
    // The k-th read (1-based) since the file was opened fails.
    std::optional<uint32_t> FailReadAtBlock;
    // The k-th write (1-based) since the file was opened fails; nothing is stored.
    std::optional<uint32_t> FailWriteAtBlock;
    // How those block failures show: true stalls the command write (the
    // exchange fails); false answers it, a read with no data and a write with
    // a non-zero status byte.
    bool BlockFailuresStall = true;
    // Every delete is answered with an error status; nothing is deleted.
    bool FailDeletes = false;

    // Garbage in list replies.
    bool SearchIgnoresFolder = false;  // every file is found, whole names included
    bool ListNamesWithoutNul = false;  // names fill all 260 bytes with no NUL
    bool ListSizesTopBit = false;      // sizes get bit 31 set
    // Extra bytes appended to every list reply, so its length is not 4 + 268 n.
    size_t ListExtraBytes = 0;
};

// The device side of a command interface, as the virtual channel drives it:
// a virtual phone, or a phone replayed from a wire trace.
class IVirtualP2KDevice {
  public:
    virtual ~IVirtualP2KDevice() = default;
    // Host-to-device transfer: Setup is the 8-byte setup packet, Data its data
    // stage of Length bytes. False means the device stalls it.
    virtual bool ControlOut(const uint8_t* Setup, const uint8_t* Data, size_t Length) = 0;
    // Device-to-host transfer: the device writes at most Capacity bytes (and
    // at most wLength) to Out. Returns the bytes produced, or -1 for a stall.
    virtual int ControlIn(const uint8_t* Setup, uint8_t* Out, size_t Capacity) = 0;
};

class TVirtualPhone : public IVirtualP2KDevice {
  public:
    TVirtualPhone();
    explicit TVirtualPhone(TVirtualPhoneState State);

    bool ControlOut(const uint8_t* Setup, const uint8_t* Data, size_t Length) override;
    int ControlIn(const uint8_t* Setup, uint8_t* Out, size_t Capacity) override;

    TVirtualPhoneState& State() { return state_; }
    const TVirtualPhoneState& State() const { return state_; }
    TVirtualPhoneFaults& Faults() { return faults_; }

    // Transactions whose response was fetched.
    uint32_t Transactions() const { return transactions_; }
    // True once DisappearAfter has been reached.
    bool Gone() const;
    // Every command received, as (command, payload): for tests that check bytes.
    struct TReceived {
        uint16_t PacketId;
        uint16_t Command;
        std::vector<uint8_t> Payload;
    };
    const std::vector<TReceived>& Received() const { return received_; }
    void KeepReceived(bool Keep) { keepReceived_ = Keep; }

    // Path of the file the last open opened, empty when none is open.
    const std::string& OpenFileName() const { return open_.Name; }

  private:
    // Reply data, or nothing when the phone stalls the command write.
    using TReply = std::optional<std::vector<uint8_t>>;
    using THandler = TReply (TVirtualPhone::*)(const uint8_t* Args, size_t N);
    struct TCommandHandler {
        uint16_t Command;
        THandler Handler;
    };
    struct TSubCommandHandler {
        uint32_t SubCommand;
        THandler Handler;
    };
    static const TCommandHandler commands_[];
    static const TSubCommandHandler subCommands_[];

    struct TOpenFile {
        bool IsOpen = false;
        bool Writing = false;
        std::string Name;
        size_t Position = 0;
        uint32_t Reads = 0;
        uint32_t Writes = 0;
    };
    struct TSearch {
        bool Active = false;
        std::vector<std::string> Matches;  // full paths, in listing order
        size_t Next = 0;
    };
    struct TPending {
        bool Waiting = false;
        uint16_t PacketId = 0;
        uint16_t Command = 0;
        std::vector<uint8_t> Data;
    };

    // Command handlers; Args/N are the payload (after the sub-command for
    // the file-system ones).
    TReply readSeem(const uint8_t* Args, size_t N);
    TReply fileSystem(const uint8_t* Args, size_t N);
    TReply fileOpen(const uint8_t* Args, size_t N);
    TReply fileRead(const uint8_t* Args, size_t N);
    TReply fileWrite(const uint8_t* Args, size_t N);
    TReply fileClose(const uint8_t* Args, size_t N);
    TReply fileDelete(const uint8_t* Args, size_t N);
    TReply searchOpen(const uint8_t* Args, size_t N);
    TReply searchNext(const uint8_t* Args, size_t N);
    TReply drives(const uint8_t* Args, size_t N);
    TReply freeSpace(const uint8_t* Args, size_t N);

    TVirtualDrive* driveOf(const std::string& Path);
    std::vector<uint8_t> response() const;
    uint16_t sizeField(uint8_t Count) const;

    TVirtualPhoneState state_;
    TVirtualPhoneFaults faults_;
    TOpenFile open_;
    TSearch search_;
    TPending pending_;
    uint8_t reportedCount_ = 0;
    uint16_t reportedSize_ = 0;
    uint32_t transactions_ = 0;
    std::vector<TReceived> received_;
    bool keepReceived_ = true;
};
