#pragma once

// Pictures as phone cameras write them, with and without the thumbnail an
// EXIF block embeds, and the file-system traffic a phone received, read
// back: which files were opened, how many blocks each gave, and whether
// each was closed.

#include <QByteArray>
#include <QDateTime>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "JpegPicture.h"
#include "MotoP2KMode.h"
#include "sim/VirtualPhone.h"

namespace test {

inline const QDateTime PictureTaken(QDate(2007, 6, 12), QTime(18, 7, 30));

// A 640x480 camera picture of about Bytes bytes (at least its encoding),
// with an EXIF block (date, "E398", and a 160x120 thumbnail when Thumbnail).
inline std::vector<uint8_t> cameraPicture(uint32_t Seed, bool Thumbnail, qsizetype Bytes = 0) {
    const QImage image = drawLandscape(640, 480, Seed, QStringLiteral("2007-06-12"));
    QByteArray jpeg = Bytes > 0 ? jpegOfSize(image, Bytes) : encodeJpeg(image, 85);
    const QByteArray thumb =
        Thumbnail ? encodeJpeg(drawLandscape(160, 120, Seed, {}), 75) : QByteArray();
    jpeg = withExif(jpeg, PictureTaken, QStringLiteral("E398"), thumb);
    return {jpeg.begin(), jpeg.end()};
}

inline uint32_t fileSubCommand(const TVirtualPhone::TReceived& R) {
    const auto& p = R.Payload;
    if (R.Command != CmdFileSystem || p.size() < 4) {
        return 0xFFFFFFFFu;
    }
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// One opening of a file and what followed until its close.
struct TFileVisit {
    std::string Name;
    int Reads = 0;
    bool Closed = false;
};

// The files the phone opened from its command From on, in order.
inline std::vector<TFileVisit> fileVisits(const TVirtualPhone& Phone, size_t From = 0) {
    std::vector<TFileVisit> out;
    const auto& all = Phone.Received();
    for (size_t i = From; i < all.size(); ++i) {
        const uint32_t sub = fileSubCommand(all[i]);
        if (sub == 0 && all[i].Payload.size() > 8) {
            out.push_back({std::string(all[i].Payload.begin() + 8, all[i].Payload.end())});
        } else if (sub == 1 && !out.empty()) {
            ++out.back().Reads;
        } else if (sub == 4 && !out.empty()) {
            out.back().Closed = true;
        }
    }
    return out;
}

// The commands received from From on, without their packet ids: what two
// runs of the same command must agree on.
inline std::vector<std::pair<uint16_t, std::vector<uint8_t>>> commandsFrom(
    const TVirtualPhone& Phone, size_t From) {
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> out;
    const auto& all = Phone.Received();
    for (size_t i = From; i < all.size(); ++i) {
        out.emplace_back(all[i].Command, all[i].Payload);
    }
    return out;
}

}  // namespace test
