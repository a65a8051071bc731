// Picture previews in the window, on a phone that takes 4 ms a transaction
// (as the kernel's USB path measured): the first screenful of thumbnails
// after the list appears, the memory 10,000 kept thumbnails cost, and the
// delay a preview in flight adds to a download clicked meanwhile.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "BenchApp.h"
#include "WindowRig.h"
#include "core/previews/PreviewFetcher.h"
#include "preview/PreviewDecoder.h"
#include "support/Controls.h"
#include "support/PreviewPictures.h"

namespace {

constexpr uint32_t TransactionMicroseconds = 4000;
using TClock = std::chrono::steady_clock;

std::string pictureName(int Index) {
    return "/a/mobile/picture/img" + std::to_string(10000 + Index) + ".jpg";
}

// Count pictures of about 50 KB, drawn once: ten different ones, repeated.
TVirtualPhoneState picturesPhone(int Count, bool Thumbnails) {
    benchApp();  // drawing needs fonts
    static std::vector<std::vector<uint8_t>> drawn[2];
    std::vector<std::vector<uint8_t>>& pictures = drawn[Thumbnails ? 1 : 0];
    for (uint32_t seed = uint32_t(pictures.size()); seed < 10; ++seed) {
        pictures.push_back(test::cameraPicture(seed + 1, Thumbnails, Thumbnails ? 45000 : 50000));
    }
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    for (int i = 0; i < Count; ++i) {
        s.Files[pictureName(i)] = {pictures[size_t(i) % pictures.size()], 0, 0};
    }
    return s;
}

// The window shown over one phone; every question answered with yes.
struct TPreviewRig : TWindowRig {
    TPreviewRig(TVirtualPhoneState State, const QByteArray& Settings)
        : TWindowRig(std::move(State), Settings, true) {}

    TForm1& Open() {
        TWindowRig::Open().show();
        return *Form;
    }
    TPreviewFetcher& Previews() { return Form->previewFetcher(); }
    // The rows the list shows, counted as a user sees them.
    int RowsOnScreen() {
        auto* list = test::control<QTreeView>(*Form, "ListView1");
        const QModelIndex last = list->indexAt(QPoint(1, list->viewport()->height() - 2));
        return last.isValid() ? last.row() + 1 : list->model()->rowCount();
    }
    bool Done(int First, int Last) {
        for (int r = First; r <= Last; ++r) {
            if (Previews().State(r) == TPreviewState::Pending) {
                return false;
            }
        }
        return true;
    }
};

// From the list on screen to its thumbnails: the window opened on a listed
// phone of 300 pictures with an empty cache, then the time until every row
// on screen has its picture.
void BM_FirstScreenfulOfThumbnails(benchmark::State& State, bool Thumbnails) {
    const TVirtualPhoneState phone = picturesPhone(300, Thumbnails);
    int screenful = 0;
    uint64_t transactions = 0;
    bool ok = true;
    for (auto _ : State) {
        State.PauseTiming();
        TPreviewRig rig(phone, "[General]\n");
        rig.Phone->Faults().DelayMicroseconds = TransactionMicroseconds;
        rig.Open();
        screenful = rig.RowsOnScreen();
        const uint32_t before = rig.Phone->Transactions();
        State.ResumeTiming();
        while (!rig.Done(0, screenful - 1)) {
            QCoreApplication::processEvents();
        }
        State.PauseTiming();
        transactions += rig.Phone->Transactions() - before;
        for (int r = 0; r < screenful; ++r) {
            ok = ok && rig.Previews().State(r) == TPreviewState::Done;
        }
        rig.Form.reset();
        State.ResumeTiming();
    }
    if (!ok) {
        State.SkipWithError("a thumbnail on screen failed");
    }
    State.counters["rows_on_screen"] = screenful;
    State.counters["transactions"] = double(transactions) / double(State.iterations());
}
BENCHMARK_CAPTURE(BM_FirstScreenfulOfThumbnails, EmbeddedThumbnails, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_FirstScreenfulOfThumbnails, WholePictures, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

double heapMegabytes() {
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd) / (1024.0 * 1024.0);
}

// Scrolls the view from top to bottom a page at a time, letting it paint.
void scrollThrough(QAbstractItemView* View) {
    QScrollBar* bar = View->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += std::max(bar->pageStep(), 1)) {
        bar->setValue(v);
        QCoreApplication::processEvents();
    }
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
}

// The heap a window listing 10,000 pictures uses, scrolled through from top
// to bottom in the list and in the grid: with previews off, and with every
// picture's thumbnail kept (so each row on the way shows one).
void BM_MemoryWith10000KeptThumbnails(benchmark::State& State) {
    constexpr int Pictures = 10000;
    double without = 0;
    double with = 0;
    int held = 0;
    bool ok = true;
    // Small files: the phone's own memory is not what is measured. Each
    // keeps the thumbnail of a real picture.
    benchApp();
    TVirtualPhoneState phone = DefaultVirtualPhoneState();
    for (int i = 0; i < Pictures; ++i) {
        phone.Files[pictureName(i)].Data.assign(100, 0x5A);
    }
    const std::vector<uint8_t> picture = test::cameraPicture(1, false, 50000);
    const TThumbnailEntry entry{
        *makeThumbnail(
            QByteArray(reinterpret_cast<const char*>(picture.data()), qsizetype(picture.size()))),
        test::PictureTaken, QStringLiteral("E398")};
    for (auto _ : State) {
        const double base = heapMegabytes();
        {
            TPreviewRig rig(phone, "[General]\npreviews=0\n");
            rig.Open();
            scrollThrough(test::control<QTreeView>(*rig.Form, "ListView1"));
            without = heapMegabytes() - base;
        }
        TPreviewRig rig(phone, "[General]\n");
        rig.Open();
        // Every picture's thumbnail kept, as a run before would have left them.
        TPreviewFetcher& previews = rig.Previews();
        previews.SetCacheFolder(rig.Config.ThumbnailDir, qint64{512} * 1024 * 1024);
        for (int r = 0; r < previews.Count(); ++r) {
            previews.Cache().Put(previews.Key(r), entry);
        }
        test::control<QToolButton>(*rig.Form, "idRefresh")->click();
        ok = ok && rig.Done(0, Pictures - 1) && previews.Exchanges() < 10;
        scrollThrough(test::control<QTreeView>(*rig.Form, "ListView1"));
        test::control<QToolButton>(*rig.Form, "idViewIcons")->click();
        scrollThrough(test::control<QListView>(*rig.Form, "IconView1"));
        with = heapMegabytes() - base;
        held = previews.Cache().Count();
    }
    if (!ok || held != Pictures) {
        State.SkipWithError("the kept thumbnails were not shown from the cache");
    }
    State.counters["heap_without_MB"] = without;
    State.counters["heap_with_MB"] = with;
    State.counters["more_MB"] = with - without;
}
BENCHMARK(BM_MemoryWith10000KeptThumbnails)->Unit(benchmark::kMillisecond)->Iterations(1);

// A download clicked while a preview reads a whole picture: the time from
// the click to the download's first transaction, against the same click
// with previews off. A preview in flight adds its file's close: one
// transaction, as long as one block.
void BM_DownloadClickDelay(benchmark::State& State, bool Previews) {
    double delaySeconds = 0;
    double commandSeconds = 0;  // from the click to the command's start
    bool ok = true;
    for (auto _ : State) {
        State.PauseTiming();
        QTemporaryDir folder;
        TPreviewRig rig(picturesPhone(20, false), Previews
                                                      ? "[General]\noverwrite=1\n"
                                                      : "[General]\noverwrite=1\npreviews=0\n");
        rig.Config.PicturesDir = folder.path() + QStringLiteral("/");
        TForm1& form = rig.Open();
        rig.Phone->Faults().DelayMicroseconds = TransactionMicroseconds;
        test::control<QTreeView>(form, "ListView1")->selectAll();
        // The window drawn and settled in both cases, so that only the
        // preview's part differs.
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        if (Previews) {
            // Into the middle of a whole picture.
            const uint64_t from = rig.Previews().Exchanges();
            while (!rig.Previews().FileOpen() || rig.Previews().Exchanges() < from + 4) {
                QCoreApplication::processEvents();
            }
        }
        TClock::time_point first{};
        bool started = false;
        rig.Phones.transport.SetExchangeHook(
            [&](TVirtualP2KTransport::TExchange, const std::string&, uint64_t) {
                if (started && first == TClock::time_point{}) {
                    first = TClock::now();
                }
            });
        TClock::time_point command{};
        auto c = QObject::connect(&form.session(), &TPhoneSession::busyChanged, [&](bool Busy) {
            if (Busy && !started) {
                command = TClock::now();
            }
            started = started || Busy;
        });
        State.ResumeTiming();
        const auto click = TClock::now();
        test::control<QToolButton>(form, "idDownload")->click();
        State.PauseTiming();
        QObject::disconnect(c);
        rig.Phones.transport.SetExchangeHook(nullptr);
        ok = ok && first != TClock::time_point{};
        delaySeconds += std::chrono::duration<double>(first - click).count();
        commandSeconds += std::chrono::duration<double>(command - click).count();
        rig.Form.reset();
        State.ResumeTiming();
    }
    if (!ok) {
        State.SkipWithError("the download sent nothing");
    }
    State.counters["to_first_transaction_ms"] = delaySeconds * 1e3 / double(State.iterations());
    State.counters["to_command_ms"] = commandSeconds * 1e3 / double(State.iterations());
    State.counters["transaction_ms"] = TransactionMicroseconds / 1e3;
}
BENCHMARK_CAPTURE(BM_DownloadClickDelay, PreviewsOff, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_DownloadClickDelay, PreviewInFlight, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace
