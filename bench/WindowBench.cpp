// The main window against virtual phones: listing into the file list,
// selecting every row, the exclusion list look-up, start-up to a listed
// phone, and the window's own share of a download on a slow phone.
//
// The window runs on the offscreen platform; its handlers are called
// directly, as the controls would call them. Benchmarks that let the window
// handle its events (painting included) report real time.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "BenchApp.h"
#include "MotoP2KMode.h"
#include "WindowRig.h"
#include "core/files/ExcludeIndex.h"
#include "core/files/ListRules.h"
#include "core/files/TransferRules.h"
#include "support/Controls.h"
#include "support/VirtualRig.h"

namespace {

std::string pictureName(int Index) {
    return "/a/mobile/picture/img" + std::to_string(Index) + ".jpg";
}

// Pictures img0.jpg .. img<Count-1>.jpg of Bytes bytes each.
TVirtualPhoneState picturesPhone(int Count, size_t Bytes) {
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    for (int i = 0; i < Count; ++i) {
        s.Files[pictureName(i)] = {test::FileBytes(Bytes, static_cast<unsigned>(i) + 1), 0, 0};
    }
    return s;
}

QByteArray modeSettings(int Mode) {
    return Mode == mmFileManager ? QByteArray("[General]\nmode=1\n") : QByteArray("[General]\n");
}

benchmark::Counter perRowMicroseconds(int64_t Rows) {
    return benchmark::Counter(static_cast<double>(Rows) * 1e-6,
                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// One re-list of the chosen phone: the list emptied, the files listed
// (one message pump per file) and the rows put in the list.
void BM_WindowList(benchmark::State& State, int Mode) {
    const int files = static_cast<int>(State.range(0));
    TWindowRig rig(picturesPhone(files, 3), modeSettings(Mode));
    TForm1& form = rig.Open();
    if (rig.Rows() != files) {
        State.SkipWithError("the window did not list every file at start");
        return;
    }
    int64_t rows = 0;
    for (auto _ : State) {
        test::control<QToolButton>(form, "idRefresh")->click();
        rows += rig.Rows();
    }
    if (rig.Rows() != files) {
        State.SkipWithError("a refresh did not list every file");
    }
    State.counters["rows"] = files;
    State.counters["rows/s"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
    State.counters["us/row"] = perRowMicroseconds(rows);
}
BENCHMARK_CAPTURE(BM_WindowList, PhotoManager, static_cast<int>(mmPhotoManager))
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_WindowList, FileManager, static_cast<int>(mmFileManager))
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Select all on a 10,000-row list: the model follows the selection and the
// status panel sums it; the pending repaint is handled within the iteration.
void BM_SelectAll10000(benchmark::State& State) {
    constexpr int Files = 10000;
    TWindowRig rig(picturesPhone(Files, 3), modeSettings(mmPhotoManager));
    TForm1& form = rig.Open();
    if (rig.Rows() != Files) {
        State.SkipWithError("the window did not list every file");
        return;
    }
    QCoreApplication::processEvents();
    for (auto _ : State) {
        test::control<QTreeView>(form, "ListView1")->clearSelection();
        test::control<QTreeView>(form, "ListView1")->selectAll();
        QCoreApplication::processEvents();
    }
    if (form.session().Rows().SelectedCount() != Files) {
        State.SkipWithError("select all did not select every row");
    }
    State.counters["rows"] = Files;
    State.counters["us/row"] = perRowMicroseconds(static_cast<int64_t>(State.iterations()) * Files);
}
BENCHMARK(BM_SelectAll10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Exclusion list look-ups, as every listed picture makes one: names in
// another letter case (hits) and names not listed (misses), cycling through
// more names than the cache holds at the larger sizes.
void BM_ExcludeLookup(benchmark::State& State, bool Hits) {
    const int n = static_cast<int>(State.range(0));
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        names.push_back("/a/mobile/picture/IMG_" + std::to_string(100000 + i) + ".jpg");
    }
    TExcludeIndex index;
    index.Assign(names);

    constexpr size_t Queries = 4096;
    std::vector<std::string> queries;
    queries.reserve(Queries);
    uint32_t x = 12345;
    for (size_t q = 0; q < Queries; ++q) {
        x = x * 1103515245u + 12345u;
        const int i = static_cast<int>((x >> 8) % static_cast<uint32_t>(n));
        queries.push_back(Hits ? "/A/MOBILE/PICTURE/img_" + std::to_string(100000 + i) + ".JPG"
                               : "/a/mobile/picture/IMG_" + std::to_string(900000 + i) + ".jpg");
    }
    size_t q = 0;
    int64_t found = 0;
    for (auto _ : State) {
        found += index.Contains(queries[q]) ? 1 : 0;
        q = (q + 1) % Queries;
    }
    if (found != (Hits ? static_cast<int64_t>(State.iterations()) : 0)) {
        State.SkipWithError("look-ups answered wrongly");
    }
    State.counters["names"] = n;
}
BENCHMARK_CAPTURE(BM_ExcludeLookup, Hit, true)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK_CAPTURE(BM_ExcludeLookup, Miss, false)->Arg(1000)->Arg(10000)->Arg(100000);

// From creating the window to a listed phone of 1,000 pictures, then the
// window destroyed. "listed_ms" is the creation alone.
void BM_StartToListed1000(benchmark::State& State) {
    constexpr int Files = 1000;
    TWindowRig rig(picturesPhone(Files, 3), modeSettings(mmPhotoManager));
    double listedSeconds = 0;
    bool listedAll = true;
    for (auto _ : State) {
        const auto start = std::chrono::steady_clock::now();
        rig.Open();
        listedSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        listedAll = listedAll && rig.Rows() == Files;
        rig.Form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    if (!listedAll) {
        State.SkipWithError("the window did not list every picture");
    }
    State.counters["listed_ms"] =
        benchmark::Counter(listedSeconds * 1e3, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StartToListed1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// 100 pictures of 50 KB from a phone that takes a fixed time per transaction,
// downloaded by the window (Photo Manager, overwriting, every row selected)
// and, in the same iteration, by the phone item alone with the same block
// size and no progress callback. The iteration time is the window's; the
// share is the part of the window's time the direct download does not spend.
void BM_DownloadWindowVsDirect(benchmark::State& State) {
    const int files = static_cast<int>(State.range(0));
    constexpr size_t PictureBytes = size_t{50} * 1024;
    const auto delayMicroseconds = static_cast<uint32_t>(State.range(1));
    TWindowRig rig(picturesPhone(files, PictureBytes),
                   QByteArray("[General]\noverwrite=1\ndelete=0\ndownload=0\n"));
    // Both sides save into memory.
    QTemporaryDir windowFolder(memoryFolder());
    QTemporaryDir direct(memoryFolder());
    rig.Config.PicturesDir = windowFolder.path() + QStringLiteral("/");
    TForm1& form = rig.Open();
    if (rig.Rows() != files) {
        State.SkipWithError("the window did not list every picture");
        return;
    }
    test::control<QTreeView>(form, "ListView1")->selectAll();
    const std::shared_ptr<TMotoP2KModemItem> item = form.session().P2K().DeviseList().Hold(0);
    if (!item || !item->IsOpen()) {
        State.SkipWithError("the window left no open phone");
        return;
    }
    const int32_t block = downloadBlockSize(mmPhotoManager, true);
    rig.Phone->Faults().DelayMicroseconds = delayMicroseconds;

    double windowSeconds = 0;
    double directSeconds = 0;
    uint64_t windowTransactions = 0;
    uint64_t directTransactions = 0;
    bool ok = true;
    using TClock = std::chrono::steady_clock;
    for (auto _ : State) {
        uint32_t before = rig.Phone->Transactions();
        auto start = TClock::now();
        test::control<QToolButton>(form, "idDownload")->click();
        const double window = std::chrono::duration<double>(TClock::now() - start).count();
        windowTransactions += rig.Phone->Transactions() - before;

        before = rig.Phone->Transactions();
        start = TClock::now();
        for (int i = 0; i < files; ++i) {
            const std::string local =
                QFile::encodeName(direct.filePath(QStringLiteral("img%1.jpg").arg(i)))
                    .toStdString();
            ok = item->DownloadFile(pictureName(i), local, block,
                                    static_cast<int32_t>(PictureBytes), nullptr) &&
                 ok;
        }
        const double alone = std::chrono::duration<double>(TClock::now() - start).count();
        directTransactions += rig.Phone->Transactions() - before;

        State.SetIterationTime(window);
        windowSeconds += window;
        directSeconds += alone;
    }
    const QString saved = form.config().PicturesDir + QStringLiteral("img0.jpg");
    if (!ok || QFileInfo(saved).size() != static_cast<qint64>(PictureBytes)) {
        State.SkipWithError("a download failed");
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["files"] = files;
    State.counters["window_ms"] = windowSeconds * 1e3 / n;
    State.counters["direct_ms"] = directSeconds * 1e3 / n;
    State.counters["window_share_%"] = 100.0 * (windowSeconds - directSeconds) / windowSeconds;
    State.counters["window_tx"] = static_cast<double>(windowTransactions) / n;
    State.counters["direct_tx"] = static_cast<double>(directTransactions) / n;
}
BENCHMARK(BM_DownloadWindowVsDirect)
    ->Args({100, 1000})  // a quick phone: 1 ms a transaction
    ->Args({100, 4000})  // as the kernel's USB path measured
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

}  // namespace
