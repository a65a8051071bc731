// What the importer adds to a download: the rate's bookkeeping per block,
// the download history read at start and asked per row, and the EXIF time
// of a picture read from its first 64 KB.

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "core/files/DownloadHistory.h"
#include "core/files/PictureTime.h"
#include "core/session/TransferRate.h"

namespace {

// One block of a transfer: 1000 bytes every millisecond, the window full.
void BM_RatePerBlock(benchmark::State& State) {
    int64_t now = 0;
    TTransferRate rate([&] { return now; });
    rate.Begin(int64_t{1} << 40);
    rate.FileBegins(int64_t{1} << 40);
    int64_t done = 0;
    for (auto _ : State) {
        now += 1;
        done += 1000;
        rate.FileProgress(done);
        benchmark::DoNotOptimize(rate.BytesPerSecond());
    }
}
BENCHMARK(BM_RatePerBlock);

TPhoneIdentity phone() {
    return {"E398", "R373_G_0E.30.49R", ""};
}
std::string pictureName(int64_t I) {
    return "/a/mobile/picture/Picture " + std::to_string(I) + ".jpg";
}

// A history of N pictures loaded, as the program does at start.
void BM_HistoryLoad(benchmark::State& State) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/history.txt";
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        for (int64_t i = 0; i < State.range(0); ++i) {
            f.write(historyLine(phone(), pictureName(i), 40000) + '\n');
        }
    }
    for (auto _ : State) {
        TDownloadHistory h;
        h.Load(path);
        benchmark::DoNotOptimize(h.Count());
    }
    State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_HistoryLoad)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A row asked about, as a listing and a download ask for every row.
void BM_HistoryContains(benchmark::State& State) {
    TDownloadHistory h;
    h.Load({});
    for (int64_t i = 0; i < State.range(0); ++i) {
        h.Record(phone(), pictureName(i), 40000);
    }
    int64_t i = 0;
    for (auto _ : State) {
        benchmark::DoNotOptimize(
            h.Contains(phone(), pictureName(i++ % (2 * State.range(0))), 40000));
    }
}
BENCHMARK(BM_HistoryContains)->Arg(100000);

// The EXIF time of a 1 MB picture without EXIF: the head read, the file untouched.
void BM_PictureTime(benchmark::State& State) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/p.jpg";
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(qsizetype{1024} * 1024, '\x11'));
    }
    for (auto _ : State) {
        benchmark::DoNotOptimize(applyPictureTime(path));
    }
}
BENCHMARK(BM_PictureTime)->Unit(benchmark::kMicrosecond);

}  // namespace
