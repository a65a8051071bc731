#include "core/program/WindowTitle.h"

const char* const WindowTitle = "Snaprill v0.21 by Brenwick";
const char* const ApplicationTitle = "Snaprill";
