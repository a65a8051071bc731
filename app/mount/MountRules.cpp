#include "mount/MountRules.h"

#include <QString>
#include <cerrno>

#include "core/files/TransferRules.h"

int errnoOf(const TFileOutcome& Outcome) {
    switch (Outcome.Result) {
        case TFileResult::Done:
            return 0;
        case TFileResult::NoRoom:
            return ENOSPC;
        case TFileResult::BadName:
            return EILSEQ;
        case TFileResult::LocalFailed:
            return Outcome.LocalError > 0 ? Outcome.LocalError : EIO;
        case TFileResult::Busy:
            return EBUSY;
        case TFileResult::Stopped:
            return EINTR;
        case TFileResult::PhoneFailed:
        case TFileResult::PhoneLost:
            break;
    }
    return EIO;
}

std::variant<std::string, int> newPhonePath(const std::string& Folder, const std::string& Name) {
    // The upload's own rule, on the name as the phone keeps it: composed
    // letters, for a name typed decomposed.
    const QString name = QString::fromStdString(Name).normalized(QString::NormalizationForm_C);
    const std::optional<std::string> path = name.isEmpty() || name.contains(QLatin1Char('/'))
                                                ? std::nullopt
                                                : uploadPhoneName(Folder, name);
    if (!path) {
        return EILSEQ;
    }
    if (path->size() > MaxPhonePath) {
        return ENAMETOOLONG;
    }
    return *path;
}

bool listingDue(bool Changed, uint32_t ListedAtMs, uint32_t NowMs, int RefreshSeconds) {
    if (Changed) {
        return true;
    }
    const uint32_t age = NowMs - ListedAtMs;
    return RefreshSeconds <= 0 || age > static_cast<uint32_t>(RefreshSeconds) * 1000u;
}
