#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DebugType.h"
#include "DeviseList.h"
#include "USBCtrls.h"
#include "backend/Backend.h"

class TMotoP2KModemItem;
class TMotoP2KMode;

// P2K command codes.
inline constexpr uint16_t CmdReadSeem = 0x0020;
inline constexpr uint16_t CmdFileSystem = 0x004A;

// Sizes of the transaction buffers.
inline constexpr size_t P2KCommandBufferSize = 4112;
inline constexpr size_t P2KResponseBufferSize = 4101;
inline constexpr size_t P2KMaxPayload = 4088;    // 4112 - 16 header bytes - 8 zero bytes
inline constexpr size_t P2KMaxReplyData = 4083;  // 4101 - 18

using TP2KDebugEvent = std::function<void(TMotoP2KModemItem* AItem, const std::string& ADebugText,
                                          TDebugType ADebugType, bool ASubError)>;
using TNotifyEvent = std::function<void(void* Sender)>;

// File attributes: element k is bit k of one byte.
enum TP2KFileAttr { atBit0, atBit1, atBit2, atBit3, atBit4, atBit5, atBit6, atAny };
struct TP2KFileAttrs {
    uint8_t Bits = 0;
    bool Has(TP2KFileAttr A) const { return (Bits >> A) & 1u; }
    TP2KFileAttrs& Include(TP2KFileAttr A) {
        Bits = static_cast<uint8_t>(Bits | (1u << A));
        return *this;
    }
    static TP2KFileAttrs Of(std::initializer_list<TP2KFileAttr> Attrs) {
        TP2KFileAttrs S;
        for (auto A : Attrs) {
            S.Include(A);
        }
        return S;
    }
    friend bool operator==(TP2KFileAttrs, TP2KFileAttrs) = default;
};

// The model and the flex version a phone's seem data stand for: the model
// seem's characters without 0 and FF bytes; the flex seem packed (two digits
// a byte from nibbles of neighbouring bytes) or plain (every byte in hex).
std::string PhoneModelFromSeem(const uint8_t* Data, size_t Len);
std::string FlexVersionFromSeem(const uint8_t* Data, size_t Len);

// One listed phone file.
struct TP2KFile {
    int32_t Size = 0;
    TP2KFileAttrs Attributes;
    std::string Name;  // full phone path, 8-bit
};
using TP2KFiles = std::vector<TP2KFile>;

// True to go on, false to stop.
using TP2KFileCallback = std::function<bool(const TP2KFile& File)>;
using TP2KProgressCallback = std::function<bool(int32_t Done, int32_t Total)>;
// Where a complete download goes, decided once all of it is flushed to its
// temporary file (TempPath, closed, readable): the final local path, which
// may lie in another folder of the same file system, or an empty text to
// drop the file. May throw std::system_error for a local failure.
using TP2KPlaceCallback = std::function<std::string(const std::string& TempPath)>;

// One P2K phone: its command channel and every command it runs. Items are
// shared: an operation keeps its item alive until it returns, so a rescan run
// from a nested event loop can drop a gone phone from the list without
// freeing it under the running operation.
class TMotoP2KModemItem : public std::enable_shared_from_this<TMotoP2KModemItem> {
  public:
    TMotoP2KModemItem(const TUSBDevise& Info, IP2KTransport& Transport, IClock& Clock,
                      ILocalFiles& Files = PosixLocalFiles());
    ~TMotoP2KModemItem();
    TMotoP2KModemItem(const TMotoP2KModemItem&) = delete;
    TMotoP2KModemItem& operator=(const TMotoP2KModemItem&) = delete;

    const TUSBDevise& ModemInfo() const { return modemInfo_; }
    uint16_t PacketId() const { return packetId_; }
    const TP2KDebugEvent& OnDebugEvent() const { return onDebugEvent_; }
    void SetOnDebugEvent(TP2KDebugEvent Handler) { onDebugEvent_ = std::move(Handler); }

    // Command channel.
    bool OpenPhone();
    bool ClosePhone();
    bool IsOpen() const;
    bool SendCommand(uint16_t Cmd, const uint8_t* Data, uint16_t DataLen, uint8_t* Reply,
                     size_t ReplyCapacity, uint16_t& ReplyLen);
    void DoDebug(const std::string& Text, TDebugType Type, bool SubError = false);

    // Phone information.
    bool ReadSeem(uint16_t Seem, uint16_t Record, uint16_t Offset, uint16_t Count, uint8_t* Dest,
                  size_t DestSize, uint16_t& Len);
    std::string GetPhoneModel();
    std::string GetFlexVersion();
    std::string GetDrives();
    int32_t GetFreeSpace(const std::string& Drive);
    int32_t GetFileCount(const std::string& Path);

    // File-system commands.
    bool GetFileList(int32_t Count, TP2KFiles* Files, const TP2KFileCallback& Callback);
    bool FileOpen(const std::string& Name, TP2KFileAttrs Attrs);
    int32_t FileRead(uint8_t* Buffer, int32_t Size);
    bool FileWrite(int32_t Count, const uint8_t* Data);
    bool FileClose();
    bool FileDelete(const std::string& Name);

    // Whole-file operations. Local names are UTF-8 paths. Local-file failures
    // throw std::system_error carrying the path.
    bool DeleteFile(const std::string& Name);
    // The file lands in a temporary file beside LocalName and takes its name
    // once complete and flushed; Place, when given, names another target
    // then, or drops the file.
    bool DownloadFile(const std::string& PhoneName, const std::string& LocalName, int32_t BlockSize,
                      int32_t ExpectedSize, const TP2KProgressCallback& Progress,
                      const TP2KPlaceCallback& Place = {});
    bool UploadFile(const std::string& LocalName, const std::string& PhoneName, int32_t BlockSize,
                    const TP2KProgressCallback& Progress);
    // True when the last DownloadFile returned true and the file's data and
    // name are known to be on the disk, so that the phone's copy may go.
    // A download whose folder could not be flushed returns true, not this.
    bool LastDownloadDurable() const { return lastDownloadDurable_; }
    // Where the last DownloadFile put its file; empty when it put none (it
    // failed, or Place dropped it).
    const std::string& LastDownloadPath() const { return lastDownloadPath_; }

  private:
    TUSBDevise modemInfo_;
    IP2KTransport& transport_;
    IClock& clock_;
    ILocalFiles& files_;
    std::unique_ptr<IP2KChannel> handle_;
    // Id of the last command sent: a 16-bit counter that wraps, as on the wire.
    uint16_t packetId_ = 0;
    TP2KDebugEvent onDebugEvent_;
    // Set by every SendCommand: whether its transaction failed. Lets a
    // download tell a failed exchange from a genuine short read.
    bool lastTransactionFailed_ = false;
    bool lastDownloadDurable_ = false;
    std::string lastDownloadPath_;

    // SendCommand with CmdFileSystem and a reply buffer; logs nothing.
    bool fileSystemCommand(const uint8_t* Payload, size_t PayloadLen, uint8_t* Reply,
                           size_t ReplyCapacity, uint16_t& ReplyLen);
};

// The P2K phones present, in the order they were found.
class TMotoP2KModemList : public TDeviseList<TMotoP2KModemItem> {
  public:
    // Runs a first Rescan.
    explicit TMotoP2KModemList(TPhoneBackend& Backend);
    TMotoP2KModemItem* AddDevise(const TUSBDevise& Devise);
    void Rescan();

  private:
    TPhoneBackend& backend_;
};

// The P2K link component: owns the list, keeps it in line with the bus and
// raises OnArrival and OnRemove.
class TMotoP2KMode : public IDeviceChangeSink {
  public:
    explicit TMotoP2KMode(TPhoneBackend& Backend);
    ~TMotoP2KMode() override;
    TMotoP2KMode(const TMotoP2KMode&) = delete;
    TMotoP2KMode& operator=(const TMotoP2KMode&) = delete;

    const std::string& About() const { return about_; }
    void SetAbout(const std::string& Value);
    TMotoP2KModemList& DeviseList() { return *deviseList_; }
    const TP2KDebugEvent& OnDebug() const { return onDebug_; }
    void SetOnDebug(TP2KDebugEvent Handler);

    TNotifyEvent OnArrival;
    TNotifyEvent OnRemove;

    // Rescan, re-apply OnDebug, then OnArrival or OnRemove.
    virtual void DeviceChange(uint32_t EventType, const TDevBroadcastHeader* EventData);
    // A device-change message; swallows every exception.
    void DeviceChangeMessage(uint32_t EventType, const TDevBroadcastHeader* EventData);
    // Entry point of the device source: the change as a device-change message.
    void DeviceChanged(TDeviceChange Change, const std::string& Name) override;

  private:
    TPhoneBackend& backend_;
    std::string about_;
    std::unique_ptr<TMotoP2KModemList> deviseList_;
    TP2KDebugEvent onDebug_;
};
