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

class TMotoATModemItem;

using TATDebugEvent = std::function<void(TMotoATModemItem* AItem, const std::string& ADebugText,
                                         TDebugType ADebugType, bool ASubError)>;
using TATNotifyEvent = std::function<void(void* Sender)>;

enum TATModeSwitch { amMode8 = 0, amMode22 = 1, amMode24 = 2 };

inline constexpr const char* ATModemNameFilter = "Motorola USB Modem";

// One phone attached as a USB modem: a write-only serial port.
class TMotoATModemItem {
  public:
    TMotoATModemItem(const TUSBDevise& Info, ISerialPorts& Ports);
    ~TMotoATModemItem();
    TMotoATModemItem(const TMotoATModemItem&) = delete;
    TMotoATModemItem& operator=(const TMotoATModemItem&) = delete;

    const TUSBDevise& ModemInfo() const { return modemInfo_; }
    int32_t TimeOut() const { return timeOut_; }
    void SetTimeOut(int32_t Value);
    const TATDebugEvent& OnDebugEvent() const { return onDebugEvent_; }
    void SetOnDebugEvent(TATDebugEvent Handler) { onDebugEvent_ = std::move(Handler); }

    bool IsOpen();
    bool OpenPhone();
    bool ClosePhone();
    int32_t WriteData(const uint8_t* Buffer, int32_t Count);
    bool SendCommand(const std::string& Command);
    void SwitchMode(TATModeSwitch Mode);
    void DoDebug(const std::string& Text, TDebugType Type, bool SubError = false);

  private:
    TUSBDevise modemInfo_;
    ISerialPorts& ports_;
    std::unique_ptr<ISerialPort> handle_;
    int32_t timeOut_ = 0;
    TATDebugEvent onDebugEvent_;
};

class TMotoATModemList : public TDeviseList<TMotoATModemItem> {
  public:
    // Runs a first Rescan.
    explicit TMotoATModemList(TPhoneBackend& Backend);
    TMotoATModemItem* AddDevise(const TUSBDevise& Devise);
    void Rescan();

  private:
    TPhoneBackend& backend_;
};

class TMotoATMode : public IDeviceChangeSink {
  public:
    explicit TMotoATMode(TPhoneBackend& Backend);
    ~TMotoATMode() override;
    TMotoATMode(const TMotoATMode&) = delete;
    TMotoATMode& operator=(const TMotoATMode&) = delete;

    const std::string& About() const { return about_; }
    void SetAbout(const std::string& Value);
    TMotoATModemList& DeviseList() { return *deviseList_; }
    const TATDebugEvent& OnDebug() const { return onDebug_; }
    void SetOnDebug(TATDebugEvent Handler);

    TATNotifyEvent OnArrival;
    TATNotifyEvent OnRemove;

    virtual void DeviceChange(uint32_t EventType, const TDevBroadcastHeader* EventData);
    // A device-change message; swallows every exception.
    void DeviceChangeMessage(uint32_t EventType, const TDevBroadcastHeader* EventData);
    // Entry point of the device source: the change as a device-change message.
    void DeviceChanged(TDeviceChange Change, const std::string& Name) override;

  private:
    TPhoneBackend& backend_;
    std::string about_;
    std::unique_ptr<TMotoATModemList> deviseList_;
    TATDebugEvent onDebug_;
};
