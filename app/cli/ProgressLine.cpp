#include "cli/ProgressLine.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "backend/Clock.h"
#include "cli/CliReport.h"

namespace {

constexpr uint32_t SpeedAfterMs = 300;  // a speed measured over less says nothing

QString duration(int64_t Seconds) {
    const int64_t h = Seconds / 3600;
    const int64_t m = Seconds / 60 % 60;
    const int64_t s = Seconds % 60;
    const QString mmss = QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
    return h > 0 ? QStringLiteral("%1:%2").arg(h).arg(mmss.rightJustified(5, QLatin1Char('0')))
                 : mmss;
}

}  // namespace

QString progressText(const TProgressFile& File, int Index, int Count, int64_t Done, int64_t Total,
                     double BytesPerSecond, int64_t SecondsLeft, int Width) {
    QString tail = QStringLiteral("  %1/%2").arg(humanSize(Done), humanSize(Total));
    if (BytesPerSecond >= 0) {
        tail += QStringLiteral("  %1/s").arg(humanSize(static_cast<int64_t>(BytesPerSecond)));
        tail += QStringLiteral("  %1 left").arg(duration(SecondsLeft));
    }
    const QString head = QStringLiteral("[%1/%2] ").arg(Index + 1).arg(Count);
    // The name gives way first, from its start: its end tells files apart.
    QString name = shownText(File.Name);
    const int room = Width - static_cast<int>(head.size() + tail.size());
    if (name.size() > room) {
        name = room > 3 ? QStringLiteral("...") + name.right(room - 3) : QString();
    }
    return (head + name + tail).left(Width);
}

TProgressLine::TProgressLine(std::ostream& Err, IClock& Clock, int Width, bool Enabled)
    : err_(Err), clock_(Clock), width_(Width > 10 ? Width - 1 : 79), enabled_(Enabled) {}

void TProgressLine::Begin(std::vector<TProgressFile> Files) {
    files_ = std::move(Files);
    totalBytes_ = 0;
    for (const TProgressFile& f : files_) {
        totalBytes_ += f.Size;
    }
    bytesBefore_ = 0;
    moved_ = 0;
    index_ = -1;
    done_ = 0;
    startMs_ = clock_.TickCount();
}

void TProgressLine::SetFile(int Index) {
    if (Index < 0 || Index >= static_cast<int>(files_.size()) || Index == index_) {
        return;
    }
    bytesBefore_ = 0;
    for (int i = 0; i < Index; ++i) {
        bytesBefore_ += files_[static_cast<size_t>(i)].Size;
    }
    index_ = Index;
    done_ = 0;
    draw(true);
}

void TProgressLine::SetBytes(int64_t Done) {
    if (Done > done_) {
        moved_ += Done - done_;
    }
    done_ = Done;
    draw(false);
}

void TProgressLine::End() {
    Erase();
    files_.clear();
    index_ = -1;
}

void TProgressLine::Erase() {
    if (shown_) {
        err_ << "\r\033[K";
        err_.flush();
        shown_ = false;
    }
}

void TProgressLine::draw(bool Now) {
    if (!enabled_ || index_ < 0) {
        return;
    }
    const uint32_t now = clock_.TickCount();
    if (!Now && shown_ && now - drawnMs_ < RedrawMs) {
        return;
    }
    drawnMs_ = now;
    const uint32_t elapsed = now - startMs_;
    double speed = -1;
    int64_t left = 0;
    if (elapsed >= SpeedAfterMs && moved_ > 0) {
        speed = static_cast<double>(moved_) * 1000.0 / elapsed;
        const int64_t remaining = std::max<int64_t>(totalBytes_ - bytesBefore_ - done_, 0);
        left = std::llround(static_cast<double>(remaining) / speed);
    }
    err_ << '\r'
         << progressText(files_[static_cast<size_t>(index_)], index_,
                         static_cast<int>(files_.size()), bytesBefore_ + done_, totalBytes_, speed,
                         left, width_)
                .toStdString()
         << "\033[K";
    err_.flush();
    shown_ = true;
}
