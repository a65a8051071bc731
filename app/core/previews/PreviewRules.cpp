#include "core/previews/PreviewRules.h"

#include <QCryptographicHash>
#include <algorithm>
#include <array>
#include <cctype>

namespace {

// JPEG markers: every segment begins with 0xFF and its code.
constexpr uint8_t Prefix = 0xFF;
constexpr uint8_t StartOfImage = 0xD8;

uint8_t at(const QByteArray& B, qsizetype I) {
    return static_cast<uint8_t>(B[I]);
}

bool startsWith(const QByteArray& Head, const char* Magic, qsizetype Length) {
    return Head.size() >= Length && std::equal(Magic, Magic + Length, Head.constData());
}

}  // namespace

bool isPreviewPicture(const std::string& PhoneName) {
    const size_t dot = PhoneName.find_last_of("./");
    if (dot == std::string::npos || PhoneName[dot] != '.') {
        return false;
    }
    std::string ext = PhoneName.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
    static const std::array<const char*, 5> Pictures = {"jpg", "jpeg", "png", "gif", "bmp"};
    return std::find(Pictures.begin(), Pictures.end(), ext) != Pictures.end();
}

TImageSignature imageSignature(const QByteArray& Head) {
    if (Head.size() < 8) {
        return TImageSignature::NeedMore;
    }
    if (at(Head, 0) == Prefix && at(Head, 1) == StartOfImage && at(Head, 2) == Prefix) {
        return TImageSignature::Jpeg;
    }
    if (startsWith(Head, "\x89PNG\r\n\x1a\n", 8)) {
        return TImageSignature::Png;
    }
    if (startsWith(Head, "GIF87a", 6) || startsWith(Head, "GIF89a", 6)) {
        return TImageSignature::Gif;
    }
    if (startsWith(Head, "BM", 2)) {
        return TImageSignature::Bmp;
    }
    return TImageSignature::Unknown;
}

QString phoneIdentity(const std::string& HardwareId, const QString& PhoneEntry) {
    // A phone that did not answer is listed as " []".
    if (PhoneEntry.trimmed() == QStringLiteral("[]") || PhoneEntry.trimmed().isEmpty()) {
        return {};
    }
    return QString::fromLatin1(HardwareId) + QLatin1Char('\n') + PhoneEntry;
}

QString previewKey(const QString& Identity, const std::string& PhoneName, int32_t Size) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(Identity.toUtf8());
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(QByteArrayView(PhoneName.data(), qsizetype(PhoneName.size())));
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(QByteArray::number(Size));
    return QString::fromLatin1(hash.result().toHex());
}

bool isPreviewKey(const QString& Text) {
    return Text.size() == 40 && std::all_of(Text.begin(), Text.end(), [](QChar C) {
               return (C >= QLatin1Char('0') && C <= QLatin1Char('9')) ||
                      (C >= QLatin1Char('a') && C <= QLatin1Char('f'));
           });
}
