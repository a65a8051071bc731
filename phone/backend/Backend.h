#pragma once

#include "backend/Clock.h"
#include "backend/DeviceSource.h"
#include "backend/LocalFiles.h"
#include "backend/P2KChannel.h"
#include "backend/SerialPort.h"

// Everything the phone library needs of the world, passed in by whoever
// builds the components: the real Linux layers or the virtual phone. Files
// is the real file system unless given.
struct TPhoneBackend {
    IDeviceSource& Devices;
    IP2KTransport& P2K;
    ISerialPorts& Serial;
    IClock& Clock;
    ILocalFiles& Files = PosixLocalFiles();
};
