#include "core/files/TransferRules.h"

#include <QFileInfo>
#include <QStringList>

#include "MotoSysUtils.h"
#include "core/files/ListRules.h"
#include "core/files/PhoneText.h"

namespace {
constexpr int32_t SmallBlock = 1000;
constexpr int32_t LargeBlock = LargestReadBlock;
constexpr qsizetype MaxFileNameBytes = 255;
}  // namespace

int32_t downloadBlockSize(TManagerMode Mode, bool Overwrite) {
    return Mode == mmPhotoManager && !Overwrite ? SmallBlock : LargeBlock;
}

TDownloadStep downloadStep(TManagerMode Mode, bool Overwrite, bool LocalExists, bool Excluded) {
    if (Mode != mmPhotoManager) {
        return LocalExists ? TDownloadStep::AskReplace : TDownloadStep::Fetch;
    }
    // Without overwriting, an existing file is reported even for an
    // excluded row.
    if (!Overwrite && LocalExists) {
        return TDownloadStep::SkipExisting;
    }
    return Excluded ? TDownloadStep::SkipExcluded : TDownloadStep::Fetch;
}

bool isSafeLocalName(const QString& Name) {
    if (Name.isEmpty() || Name == QLatin1String(".") || Name == QLatin1String("..")) {
        return false;
    }
    for (QChar c : Name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u == '/') {
            return false;
        }
    }
    return Name.toUtf8().size() <= MaxFileNameBytes;
}

std::optional<QString> localFileName(const std::string& PhoneName) {
    const QString name = phoneToUnicode(ExtractP2KFileName(PhoneName));
    if (!isSafeLocalName(name)) {
        return std::nullopt;
    }
    return name;
}

std::optional<QString> localMirrorPath(const std::string& PhoneName) {
    // Decoded first: "/" is the same byte in the phone's code page and here.
    QStringList parts = phoneToUnicode(PhoneName).split(QLatin1Char('/'));
    if (parts.size() > 1 && parts.front().isEmpty()) {
        parts.removeFirst();  // the root of the phone's path
    }
    for (const QString& part : parts) {
        if (!isSafeLocalName(part)) {
            return std::nullopt;
        }
    }
    return parts.join(QLatin1Char('/'));
}

std::optional<std::string> uploadPhoneName(const std::string& Folder, const QString& LocalPath) {
    const auto name = unicodeToPhone(QFileInfo(LocalPath).fileName());
    if (!name) {
        return std::nullopt;
    }
    return Folder + *name;
}
