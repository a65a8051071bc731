#pragma once

#include <string>

#include "backend/DeviceSource.h"
#include "backend/TraceFormat.h"

// An interface as a trace holds it ("usb device"): its class (p2k or
// modem), identity, path and every property Linux gave for it, so that a
// replay can list the same interface again.
TTraceEvent TraceDeviceEvent(const std::string& ClassName, const TDeviseInterface& Device);
// The interface a "usb device" line describes; fields it lacks stay empty.
TDeviseInterface DeviceFromTrace(const TTraceEvent& Event);
