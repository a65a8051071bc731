#include "mount/MountRules.h"

#include <QString>
#include <cerrno>

#include "core/files/PhoneText.h"

namespace {
// The longest phone path the phone's file commands take.
constexpr size_t MaxPhonePath = 255;
}  // namespace

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
    // The phone keeps composed letters: a name typed decomposed is stored composed.
    const std::optional<std::string> bytes =
        unicodeToPhone(QString::fromStdString(Name).normalized(QString::NormalizationForm_C));
    if (!bytes || bytes->empty()) {
        return EILSEQ;
    }
    const std::string path = Folder + *bytes;
    if (path.size() > MaxPhonePath) {
        return ENAMETOOLONG;
    }
    return path;
}

bool listingDue(bool Changed, uint32_t ListedAtMs, uint32_t NowMs, int RefreshSeconds) {
    if (Changed) {
        return true;
    }
    const uint32_t age = NowMs - ListedAtMs;
    return RefreshSeconds <= 0 || age > static_cast<uint32_t>(RefreshSeconds) * 1000u;
}
