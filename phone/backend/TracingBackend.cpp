#include "backend/TracingBackend.h"

#include <algorithm>

#include "MotoP2KMode.h"
#include "backend/TraceDevice.h"

namespace {

// Command codes and the sub-commands whose data are file contents.
constexpr uint16_t FileSystemCommand = 0x004A;
constexpr uint16_t ReadSeemCommand = 0x0020;
constexpr uint32_t SubFileRead = 1;
constexpr uint32_t SubFileWrite = 2;
constexpr uint16_t ModelSeem = 0x0117;
constexpr uint16_t FlexSeem = 0x0004;

constexpr size_t SetupSize = 8;
constexpr size_t HeaderSize = 8;
constexpr size_t ResponseHead = 18;
constexpr size_t StatusSize = 8;
// A file write's payload: the sub-command and the count, then the data.
constexpr size_t FileWriteHead = 8;

uint16_t le16(const uint8_t* P) {
    return static_cast<uint16_t>(P[0] | (P[1] << 8));
}

uint16_t be16(const uint8_t* P) {
    return static_cast<uint16_t>((P[0] << 8) | P[1]);
}

uint32_t be32(const uint8_t* P) {
    return static_cast<uint32_t>(P[0]) << 24 | static_cast<uint32_t>(P[1]) << 16 |
           static_cast<uint32_t>(P[2]) << 8 | P[3];
}

std::string hex4(uint16_t V) {
    const uint8_t B[2] = {static_cast<uint8_t>(V >> 8), static_cast<uint8_t>(V)};
    return HexBytes(B, 2);
}

const char* resultName(TExchangeResult R) {
    switch (R) {
        case TExchangeResult::Ok:
            return "ok";
        case TExchangeResult::Failed:
            return "failed";
        case TExchangeResult::TimedOut:
            return "timeout";
    }
    return "failed";
}

// File contents: as they are, or as their length and SHA-256.
void addData(TTraceEvent& E, const TTraceLog& Log, bool FileData, const uint8_t* Data,
             size_t Size) {
    if (FileData && !Log.KeepData()) {
        E.Add("data-len", Size);
        E.Add("data-sha256", Sha256Hex(Data, Size));
    } else {
        E.AddHex("data", Data, Size);
    }
}

// One opened command channel: every exchange traced around the real one.
class TTracingChannel final : public IP2KChannel {
  public:
    TTracingChannel(std::unique_ptr<IP2KChannel> Inner, TTraceLog& Log, std::string Path)
        : inner_(std::move(Inner)), log_(Log), path_(std::move(Path)) {}
    ~TTracingChannel() override { log_.Flush(); }

    TExchangeResult ControlWrite(const uint8_t* Packet, size_t Length) override {
        exchange_ = log_.NextExchange();
        fileRead_ = false;
        seem_ = 0;
        TTraceEvent E("p2k", "request");
        E.Add("n", exchange_);
        if (Packet != nullptr && Length >= SetupSize + HeaderSize) {
            describeRequest(E, Packet, Length);
        } else if (Packet != nullptr) {
            E.AddHex("packet", Packet, Length);
        }
        const TExchangeResult R = inner_->ControlWrite(Packet, Length);
        E.Add("result", resultName(R));
        log_.Write(E);
        return R;
    }

    TExchangeResult ControlRead(const uint8_t* Setup, uint8_t* Out, size_t OutSize) override {
        const TExchangeResult R = inner_->ControlRead(Setup, Out, OutSize);
        if (Setup == nullptr) {
            return R;
        }
        const size_t window = std::min<size_t>(le16(Setup + 6), Out ? OutSize : 0);
        const bool status = Setup[1] == 0;
        TTraceEvent E("p2k", status ? "status" : "reply");
        E.Add("n", exchange_);
        E.AddHex("setup", Setup, SetupSize);
        E.Add("result", resultName(R));
        if (R != TExchangeResult::Ok) {
            if (status) {
                log_.WriteRepeatable(E);
            } else {
                log_.Write(E);
            }
            return R;
        }
        if (status) {
            E.AddHex("answer", Out, std::min(window, StatusSize));
            if (window >= StatusSize) {
                E.Add("ready", Out[5]);
                E.Add("size", be16(Out + 6));
            }
            log_.WriteRepeatable(E);
            return R;
        }
        E.AddHex("head", Out, std::min(window, ResponseHead));
        if (window >= 16) {
            E.Add("len", be16(Out + 14));
        }
        if (window > ResponseHead) {
            addData(E, log_, fileRead_, Out + ResponseHead, window - ResponseHead);
        }
        log_.Write(E);
        if (seem_ != 0 && window > ResponseHead) {
            notePhone(Out, window);
        }
        return R;
    }

    bool Close() override {
        const bool Ok = inner_->Close();
        TTraceEvent E("p2k", "close");
        E.Add("path", path_).Add("result", Ok ? "ok" : "failed");
        log_.Write(E);
        return Ok;
    }

  private:
    void describeRequest(TTraceEvent& E, const uint8_t* Packet, size_t Length) {
        E.AddHex("setup", Packet, SetupSize);
        const uint8_t* header = Packet + SetupSize;
        const uint16_t command = be16(header + 2);
        const size_t count = std::min<size_t>(be16(header + 4), Length - SetupSize - HeaderSize);
        const uint8_t* payload = header + HeaderSize;
        E.Add("id", hex4(be16(header)));
        E.Add("cmd", hex4(command));
        if (header[6] != 0 || header[7] != 0) {
            E.AddHex("reserved", header + 6, 2);
        }
        const uint32_t sub = command == FileSystemCommand && count >= 4 ? be32(payload) : ~0u;
        fileRead_ = sub == SubFileRead;
        if (command == ReadSeemCommand && count >= 2) {
            seem_ = be16(payload);
        }
        if (sub == SubFileWrite && count >= FileWriteHead) {
            E.AddHex("payload", payload, FileWriteHead);
            addData(E, log_, true, payload + FileWriteHead, count - FileWriteHead);
        } else {
            E.AddHex("payload", payload, count);
        }
    }

    // The model and firmware, from the replies the phone gave for them.
    void notePhone(const uint8_t* Out, size_t Window) {
        const size_t announced = be16(Out + 14);
        const size_t got = std::min(announced, Window - ResponseHead);
        const uint8_t* data = Out + ResponseHead;
        if (got < 1 || data[0] != 0) {
            return;
        }
        TTraceEvent E("phone", "info");
        if (seem_ == ModelSeem) {
            E.Add("model", PhoneModelFromSeem(data + 1, got - 1));
        } else if (seem_ == FlexSeem) {
            E.Add("firmware", FlexVersionFromSeem(data + 1, got - 1));
        } else {
            return;
        }
        log_.Write(E);
    }

    std::unique_ptr<IP2KChannel> inner_;
    TTraceLog& log_;
    std::string path_;
    uint64_t exchange_ = 0;
    bool fileRead_ = false;
    uint16_t seem_ = 0;
};

class TTracingPort final : public ISerialPort {
  public:
    TTracingPort(std::unique_ptr<ISerialPort> Inner, TTraceLog& Log, std::string Path)
        : inner_(std::move(Inner)), log_(Log), path_(std::move(Path)) {}

    bool GetCommState(uint32_t& BaudRate) override { return inner_->GetCommState(BaudRate); }
    bool GetTimeouts(TCommTimeouts& Timeouts) override { return inner_->GetTimeouts(Timeouts); }
    bool SetTimeouts(const TCommTimeouts& Timeouts) override {
        return inner_->SetTimeouts(Timeouts);
    }
    bool Write(const uint8_t* Data, size_t Count, size_t& Written) override {
        const bool Ok = inner_->Write(Data, Count, Written);
        TTraceEvent E("at", "write");
        E.Add("n", log_.NextExchange()).Add("path", path_);
        E.Add("line", Data ? std::string(reinterpret_cast<const char*>(Data), Count) : "");
        E.Add("written", Written).Add("result", Ok ? "ok" : "failed");
        log_.Write(E);
        return Ok;
    }
    bool Close() override {
        const bool Ok = inner_->Close();
        TTraceEvent E("at", "close");
        E.Add("path", path_).Add("result", Ok ? "ok" : "failed");
        log_.Write(E);
        return Ok;
    }

  private:
    std::unique_ptr<ISerialPort> inner_;
    TTraceLog& log_;
    std::string path_;
};

}  // namespace

std::string TraceClassName(const std::string& InterfaceGuid) {
    if (InterfaceGuid == P2KInterfaceGuid) {
        return "p2k";
    }
    if (InterfaceGuid == UsbDeviceInterfaceGuid) {
        return "modem";
    }
    return InterfaceGuid;
}

std::string TraceClassGuid(const std::string& Name) {
    if (Name == "p2k") {
        return P2KInterfaceGuid;
    }
    if (Name == "modem") {
        return UsbDeviceInterfaceGuid;
    }
    return Name;
}

// Tells of each change before the sink hears of it.
class TTracingDeviceSource::TSink final : public IDeviceChangeSink {
  public:
    TSink(IDeviceChangeSink* Inner, TTraceLog& Log, std::string Class)
        : inner_(Inner), log_(Log), class_(std::move(Class)) {}
    void DeviceChanged(TDeviceChange Change, const std::string& Name) override {
        TTraceEvent E("usb", Change == TDeviceChange::Arrival ? "arrival" : "removal");
        E.Add("class", class_).Add("name", Name);
        log_.Write(E);
        inner_->DeviceChanged(Change, Name);
    }

  private:
    IDeviceChangeSink* inner_;
    TTraceLog& log_;
    std::string class_;
};

TTracingDeviceSource::TTracingDeviceSource(IDeviceSource& Inner, TTraceLog& Log)
    : inner_(Inner), log_(Log) {}

TTracingDeviceSource::~TTracingDeviceSource() = default;

std::vector<TDeviseInterface> TTracingDeviceSource::Enumerate(const std::string& InterfaceGuid) {
    std::vector<TDeviseInterface> found = inner_.Enumerate(InterfaceGuid);
    const std::string name = TraceClassName(InterfaceGuid);
    auto& listed = listed_[InterfaceGuid];
    std::set<std::pair<uint32_t, std::string>> now;
    for (const TDeviseInterface& D : found) {
        now.insert({D.DevInst, D.DevicePath});
        if (!listed.contains({D.DevInst, D.DevicePath})) {
            log_.Write(TraceDeviceEvent(name, D));
        }
    }
    for (const auto& [inst, path] : listed) {
        if (!now.contains({inst, path})) {
            TTraceEvent E("usb", "gone");
            E.Add("class", name).Add("inst", inst).Add("path", path);
            log_.Write(E);
        }
    }
    listed = std::move(now);
    return found;
}

bool TTracingDeviceSource::RegisterNotify(const std::string& InterfaceGuid,
                                          IDeviceChangeSink* Sink) {
    if (Sink == nullptr) {
        return inner_.RegisterNotify(InterfaceGuid, nullptr);
    }
    auto adapter = std::make_unique<TSink>(Sink, log_, TraceClassName(InterfaceGuid));
    if (!inner_.RegisterNotify(InterfaceGuid, adapter.get())) {
        return false;
    }
    if (auto it = sinks_.find(Sink); it != sinks_.end()) {
        retired_.push_back(std::move(it->second));
    }
    sinks_[Sink] = std::move(adapter);
    return true;
}

void TTracingDeviceSource::UnregisterNotify(IDeviceChangeSink* Sink) {
    auto it = sinks_.find(Sink);
    if (it == sinks_.end()) {
        return;
    }
    inner_.UnregisterNotify(it->second.get());
    retired_.push_back(std::move(it->second));
    sinks_.erase(it);
}

std::unique_ptr<IP2KChannel> TTracingP2KTransport::Open(const std::string& DevicePath) {
    std::unique_ptr<IP2KChannel> channel = inner_.Open(DevicePath);
    TTraceEvent E("p2k", "open");
    E.Add("path", DevicePath);
    E.Add("result", channel ? "ok" : inner_.HeldElsewhere(DevicePath) ? "held" : "failed");
    log_.Write(E);
    if (!channel) {
        return nullptr;
    }
    return std::make_unique<TTracingChannel>(std::move(channel), log_, DevicePath);
}

std::unique_ptr<ISerialPort> TTracingSerialPorts::Open(const std::string& DevicePath) {
    std::unique_ptr<ISerialPort> port = inner_.Open(DevicePath);
    TTraceEvent E("at", "open");
    E.Add("path", DevicePath).Add("result", port ? "ok" : "failed");
    log_.Write(E);
    if (!port) {
        return nullptr;
    }
    return std::make_unique<TTracingPort>(std::move(port), log_, DevicePath);
}

TTracedBackend::TTracedBackend(TPhoneBackend& Inner, TTraceLog& Log)
    : devices_(Inner.Devices, Log),
      transport_(Inner.P2K, Log),
      ports_(Inner.Serial, Log),
      backend_{devices_, transport_, ports_, Inner.Clock, Inner.Files} {}
