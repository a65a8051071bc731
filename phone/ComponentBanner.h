#pragma once

#include <string>

// The About banner of the phone link components: a few lines in Russian,
// 8-bit code page 1251. It carries no function.
const std::string& ComponentBanner();
