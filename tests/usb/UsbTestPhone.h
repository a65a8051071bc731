#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/VirtualPhoneState.h"

// The phone both sides of the USB test agree on: the emulated phone serves
// it, the host test knows what it must find.
namespace UsbTestPhone {

inline constexpr const char* Model = "V3";
inline constexpr const char* Flex = "0A1B2C3D4E5F60";
inline constexpr int32_t FreeSpaceA = 1234567;
inline constexpr const char* SmallFile = "/a/mobile/picture/small.jpg";
inline constexpr size_t SmallSize = 5000;
// Large enough to time the download and to cut the phone off in the middle.
inline constexpr const char* BigFile = "/a/mobile/picture/big.jpg";
inline constexpr size_t BigSize = 400000;
inline constexpr const char* PictureMask = "/a/mobile/picture/|*.jpg";
inline constexpr int PictureCount = 2;

// Deterministic file contents: every byte depends on its offset and a seed.
inline std::vector<uint8_t> Pattern(size_t Size, uint32_t Seed) {
    std::vector<uint8_t> Out(Size);
    uint32_t X = Seed * 2654435761u + 1;
    for (auto& B : Out) {
        X = X * 1103515245u + 12345u;
        B = static_cast<uint8_t>(X >> 16);
    }
    return Out;
}

inline TVirtualPhoneState State() {
    TVirtualPhoneState S = DefaultVirtualPhoneState();
    S.SetSeem(SeemModel, 1, ModelSeemBytes(Model));
    S.SetSeem(SeemFlex, 1, PackedFlexSeemBytes(Flex));
    for (auto& D : S.Drives) {
        if (D.Name == "/a") {
            D.FreeSpace = FreeSpaceA;
        }
    }
    S.Files[SmallFile].Data = Pattern(SmallSize, 1);
    S.Files[BigFile].Data = Pattern(BigSize, 2);
    S.Files["/a/mobile/audio/ring.mid"].Data = Pattern(300, 3);
    return S;
}

}  // namespace UsbTestPhone
