#include <algorithm>

#include "MotoATMode.h"

TMotoATModemItem::TMotoATModemItem(const TUSBDevise& Info, ISerialPorts& Ports)
    : modemInfo_(Info), ports_(Ports) {}

TMotoATModemItem::~TMotoATModemItem() {
    // IsOpen closes a dead port by itself; a live one is closed here.
    if (IsOpen()) {
        ClosePhone();
    }
}

void TMotoATModemItem::DoDebug(const std::string& Text, TDebugType Type, bool SubError) {
    if (onDebugEvent_) {
        onDebugEvent_(this, Text, Type, SubError);
    }
}

bool TMotoATModemItem::IsOpen() {
    if (!handle_) {
        return false;
    }
    uint32_t baudRate = 0;
    if (handle_->GetCommState(baudRate) && baudRate > 0) {
        return true;
    }
    // The port no longer answers (the modem went away): close our end.
    ClosePhone();
    return false;
}

bool TMotoATModemItem::OpenPhone() {
    if (IsOpen()) {
        return true;
    }
    auto port = ports_.Open(modemInfo_.DevicePath);
    if (!port) {
        DoDebug("Open Phone Failed", dtError);
        return false;
    }
    // A dead port whose close failed is replaced; its object releases it.
    handle_ = std::move(port);
    SetTimeOut(timeOut_);
    DoDebug("Open Phone", dtInformation);
    return true;
}

bool TMotoATModemItem::ClosePhone() {
    if (handle_ && handle_->Close()) {
        handle_.reset();
        DoDebug("Phone Close", dtInformation);
        return true;
    }
    DoDebug("Close Phone Failed", dtError);
    return false;
}

int32_t TMotoATModemItem::WriteData(const uint8_t* Buffer, int32_t Count) {
    size_t written = 0;
    // A negative count or a missing buffer is refused rather than handed to
    // the port, which would read past the caller's memory.
    bool ok = handle_ && Count >= 0 && (Buffer != nullptr || Count == 0) &&
              handle_->Write(Buffer, static_cast<size_t>(Count), written);
    if (!ok) {
        DoDebug("Phone Write Data Failed", dtError, true);
        return 0;
    }
    DoDebug("Phone Write Data", dtInformation, true);
    return static_cast<int32_t>(std::min(written, static_cast<size_t>(Count)));
}

bool TMotoATModemItem::SendCommand(const std::string& Command) {
    const std::string line = Command + "\r\n";
    int32_t written =
        WriteData(reinterpret_cast<const uint8_t*>(line.data()), static_cast<int32_t>(line.size()));
    // A partly written line counts as sent; nothing is read back.
    if (written > 0) {
        DoDebug("Phone Send Command", dtInformation);
        return true;
    }
    DoDebug("Phone Send Command Failed", dtError);
    return false;
}

void TMotoATModemItem::SetTimeOut(int32_t Value) {
    // The port keeps milliseconds as unsigned 32-bit values.
    const uint32_t wanted = static_cast<uint32_t>(Value);
    TCommTimeouts current;
    if (handle_ && handle_->GetTimeouts(current) && current.ReadTotalTimeoutConstant == wanted) {
        return;
    }
    TCommTimeouts next;
    next.ReadIntervalTimeout = 0;
    next.ReadTotalTimeoutMultiplier = 0;
    next.ReadTotalTimeoutConstant = wanted;
    next.WriteTotalTimeoutMultiplier = 0;
    next.WriteTotalTimeoutConstant = wanted;
    if (!handle_ || !handle_->SetTimeouts(next)) {
        DoDebug("Phone Set TimeOut Failed", dtError);
        return;
    }
    TCommTimeouts readBack;
    if (!handle_->GetTimeouts(readBack)) {
        DoDebug("Phone Set TimeOut Failed - Error Get TimeOut", dtError);
        return;
    }
    if (readBack.ReadTotalTimeoutConstant == wanted) {
        DoDebug("Phone Set TimeOut", dtInformation);
    } else {
        DoDebug("Phone Set TimeOut Failed", dtError);
    }
    timeOut_ = static_cast<int32_t>(readBack.ReadTotalTimeoutConstant);
}

void TMotoATModemItem::SwitchMode(TATModeSwitch Mode) {
    const char* command;
    switch (Mode) {
        case amMode8:
            command = "AT+Mode=8";
            break;
        case amMode22:
            command = "AT+Mode=22";
            break;
        case amMode24:
            command = "AT+Mode=24";
            break;
        default:
            return;  // not a mode: nothing is written or reported
    }
    // The line is only written; the phone answers by re-attaching.
    if (SendCommand(command)) {
        DoDebug("Phone Switch", dtInformation);
    } else {
        DoDebug("Phone Switch Mode Failed - Error Send Command", dtError);
    }
}
