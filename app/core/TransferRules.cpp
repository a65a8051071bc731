#include "core/TransferRules.h"

#include <QFileInfo>

#include "MotoSysUtils.h"
#include "core/ListRules.h"
#include "core/PhoneText.h"

namespace {
constexpr int32_t SmallBlock = 1000;
constexpr int32_t LargeBlock = 4000;
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

std::optional<QString> localFileName(const std::string& PhoneName) {
    const QString name = phoneToUnicode(ExtractP2KFileName(PhoneName));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        return std::nullopt;
    }
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            return std::nullopt;
        }
    }
    if (name.toUtf8().size() > MaxFileNameBytes) {
        return std::nullopt;
    }
    return name;
}

std::optional<std::string> uploadPhoneName(const std::string& Folder, const QString& LocalPath) {
    const auto name = unicodeToPhone(QFileInfo(LocalPath).fileName());
    if (!name) {
        return std::nullopt;
    }
    return Folder + *name;
}
