#include "core/session/TransferRate.h"

#include <algorithm>
#include <cmath>

TTransferRate::TTransferRate(TNow Now, int64_t WindowMs)
    : now_(std::move(Now)), windowMs_(std::max<int64_t>(WindowMs, 1)) {}

void TTransferRate::Begin(int64_t TotalBytes) {
    total_ = std::max<int64_t>(TotalBytes, 0);
    moved_ = 0;
    accounted_ = 0;
    fileListed_ = 0;
    fileDone_ = 0;
    inFile_ = false;
    samples_.clear();
    sample();
}

void TTransferRate::FileBegins(int64_t ListedBytes) {
    FileEnds();
    inFile_ = true;
    fileListed_ = std::max<int64_t>(ListedBytes, 0);
    fileDone_ = 0;
}

void TTransferRate::FileProgress(int64_t Done) {
    // A file's progress only grows; a phone that says otherwise moves nothing.
    if (!inFile_ || Done <= fileDone_) {
        return;
    }
    moved_ += Done - fileDone_;
    fileDone_ = Done;
    sample();
}

void TTransferRate::FileEnds() {
    // Moved or not, the file's listed bytes are no longer waited for.
    if (inFile_) {
        accounted_ += fileListed_;
    }
    inFile_ = false;
    fileListed_ = 0;
    fileDone_ = 0;
}

void TTransferRate::sample() {
    const int64_t t = now_();
    samples_.emplace_back(t, moved_);
    // Keep one sample at or before the window's start, none older.
    while (samples_.size() > 2 && samples_[1].first <= t - windowMs_) {
        samples_.pop_front();
    }
}

std::optional<double> TTransferRate::BytesPerSecond() const {
    if (samples_.empty()) {
        return std::nullopt;
    }
    const int64_t t = now_();
    // The latest sample at or before the window's start, or the oldest.
    auto from = samples_.begin();
    for (auto it = samples_.begin(); it != samples_.end() && it->first <= t - windowMs_; ++it) {
        from = it;
    }
    const int64_t span = t - from->first;
    if (span < MinSpanMs) {
        return std::nullopt;
    }
    return static_cast<double>(moved_ - from->second) * 1000.0 / static_cast<double>(span);
}

int64_t TTransferRate::BytesLeft() const {
    // Bytes beyond a file's listed size move but were never waited for.
    const int64_t current = inFile_ ? std::min(fileDone_, fileListed_) : 0;
    return std::max<int64_t>(total_ - accounted_ - current, 0);
}

std::optional<int64_t> TTransferRate::SecondsLeft() const {
    const std::optional<double> rate = BytesPerSecond();
    if (!rate || *rate <= 0.0) {
        return std::nullopt;
    }
    return static_cast<int64_t>(std::ceil(static_cast<double>(BytesLeft()) / *rate));
}

QString formatTimeLeft(int64_t Seconds) {
    const int64_t s = std::max<int64_t>(Seconds, 0);
    const QChar zero = QLatin1Char('0');
    if (s < 3600) {
        return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, zero);
    }
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, zero)
        .arg(s % 60, 2, 10, zero);
}
