#pragma once

#include <memory>
#include <string>
#include <vector>

#include "MotoATMode.h"
#include "support/FakeDeviceSource.h"

// Collects the lines an AT item reports.
struct TATLogLine {
    TMotoATModemItem* Item;
    std::string Text;
    TDebugType Type;
    bool SubError;
};

struct TATLog {
    std::vector<TATLogLine> Lines;

    TATDebugEvent Handler() {
        return [this](TMotoATModemItem* Item, const std::string& Text, TDebugType Type,
                      bool SubError) {
            Lines.push_back({Item, Text, Type, SubError});
        };
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& l : Lines) {
            texts.push_back(l.Text);
        }
        return texts;
    }
    void Clear() { Lines.clear(); }
};

// A scripted port whose every answer a test can choose.
struct TFakePortState {
    bool Live = true;
    uint32_t BaudRate = 115200;
    bool FailGetTimeouts = false;
    bool FailSetTimeouts = false;
    bool FailSecondGetTimeouts = false;  // only the read-back after a set fails
    // When set, the port keeps this read constant whatever it is given.
    bool ClampRead = false;
    uint32_t ClampReadTo = 0;
    bool FailWrite = false;
    size_t WriteLimit = SIZE_MAX;  // bytes taken per write
    bool FailClose = false;
    TCommTimeouts Timeouts;
    std::vector<uint8_t> Wire;
    int Writes = 0;
    int Opens = 0;
    int Closes = 0;
    bool SetSinceGet = false;
};

class TFakeSerialPort final : public ISerialPort {
  public:
    explicit TFakeSerialPort(TFakePortState& State) : s_(State) {}
    bool GetCommState(uint32_t& BaudRate) override {
        BaudRate = s_.BaudRate;
        return s_.Live;
    }
    bool GetTimeouts(TCommTimeouts& Timeouts) override {
        if (s_.FailGetTimeouts || (s_.FailSecondGetTimeouts && s_.SetSinceGet)) {
            return false;
        }
        Timeouts = s_.Timeouts;
        return true;
    }
    bool SetTimeouts(const TCommTimeouts& Timeouts) override {
        if (s_.FailSetTimeouts) {
            return false;
        }
        s_.Timeouts = Timeouts;
        if (s_.ClampRead) {
            s_.Timeouts.ReadTotalTimeoutConstant = s_.ClampReadTo;
        }
        s_.SetSinceGet = true;
        return true;
    }
    bool Write(const uint8_t* Data, size_t Count, size_t& Written) override {
        ++s_.Writes;
        Written = 0;
        if (s_.FailWrite) {
            return false;
        }
        Written = std::min(Count, s_.WriteLimit);
        s_.Wire.insert(s_.Wire.end(), Data, Data + Written);
        return true;
    }
    bool Close() override {
        ++s_.Closes;
        return !s_.FailClose;
    }

  private:
    TFakePortState& s_;
};

class TFakeSerialPorts final : public ISerialPorts {
  public:
    TFakePortState State;
    bool FailOpen = false;
    std::string LastPath;
    std::unique_ptr<ISerialPort> Open(const std::string& DevicePath) override {
        LastPath = DevicePath;
        if (FailOpen) {
            return nullptr;
        }
        ++State.Opens;
        return std::make_unique<TFakeSerialPort>(State);
    }
};

inline TUSBDevise ModemDevise(uint32_t DevInst, const std::string& Path) {
    TUSBDevise d;
    d.DevInst = DevInst;
    d.DevicePath = Path;
    d.DeviceDesc = "Motorola USB Modem";
    return d;
}

// A device source whose devices and broadcasts the test scripts. Broadcasts
// go straight to the registered sinks, as a dispatch on the GUI thread would.
class TScriptedDeviceSource final : public test::TFakeDeviceSource {
  public:
    void Add(const std::string& ClassGuid, uint32_t DevInst, const std::string& Path,
             const std::string& Desc) {
        TDeviseInterface i;
        i.DevInst = DevInst;
        i.DevicePath = Path;
        i.Properties.Description = Desc;
        Present[ClassGuid].push_back(i);
    }
    void Remove(uint32_t DevInst) {
        for (auto& [guid, interfaces] : Present) {
            std::erase_if(interfaces,
                          [&](const TDeviseInterface& I) { return I.DevInst == DevInst; });
        }
    }
    void Broadcast(TDeviceChange Change) { Fire(Change); }
};

class TNoP2KTransport final : public IP2KTransport {
  public:
    std::unique_ptr<IP2KChannel> Open(const std::string&) override { return nullptr; }
};
