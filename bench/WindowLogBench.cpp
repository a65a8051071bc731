// The Log as it grows: the memory a line takes and the time a new line
// costs once the Log already holds 1,000 or 100,000 lines. Lines come as a
// download's progress lines do ("idDownloading"), on show, with the events
// handled after each, so that every line is published, laid out and painted:
// the worst case, since a running command shows new lines a few times a
// second only. BM_LogLines measures the Log page's parts alone (its model and
// view), BM_LogLinesAsTextDocument the text document the page used to be, and
// BM_WindowLogLines the whole window, whose status panel shows each line too.
//
// An iteration is one more line: its time is a line's cost (CPU time; the
// offscreen platform draws the whole view again where a scroll on X11 moves
// what is drawn and draws the new line only). Memory is the heap's growth
// (mallinfo2: arena and mapped blocks) while the lines are added, and the
// resident set's growth (/proc/self/statm).

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QFile>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "BenchApp.h"
#include "core/settings/LogModel.h"
#include "core/settings/MessageTemplates.h"
#include "gui/FormConfig.h"
#include "gui/LogView.h"
#include "gui/TForm1.h"
#include "support/Controls.h"
#include "support/FormFiles.h"
#include "wiring/NullBackend.h"

namespace {

size_t heapBytes() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

size_t residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toULongLong() * static_cast<size_t>(sysconf(_SC_PAGESIZE))
                             : 0;
}

// The window on no phone, its Log page on show.
struct TLogRig {
    QTemporaryDir Tmp;
    TFormConfig Config;
    TNullBackend Phones;
    std::unique_ptr<TForm1> Form;

    TLogRig() {
        benchApp();
        test::PlaceFormFiles(Config, Tmp.path());
        Config.TrayAvailable = [] { return false; };
        Form = std::make_unique<TForm1>(Phones.Backend, Config);
        auto* tabs = test::control<QTabWidget>(*Form, "idTabs");
        tabs->setCurrentWidget(test::control<QWidget>(*Form, "idLog"));
        QCoreApplication::processEvents();
    }
    void AddLine(int I) {
        emit Form->session().logged(TSessionMsg::Template("idDownloading", {I / 1024.0, 512.0}));
        QCoreApplication::processEvents();
    }
};

// Lines added to one Log (Add), then one more line per iteration.
void measureGrowth(benchmark::State& State, const std::function<void(int)>& Add) {
    const int lines = static_cast<int>(State.range(0));
    // The first lines drawn fill the caches of fonts and glyphs: not counted.
    constexpr int WarmUp = 100;
    for (int i = 0; i < WarmUp; ++i) {
        Add(i);
    }
    const size_t heapBefore = heapBytes();
    const size_t residentBefore = residentBytes();
    for (int i = WarmUp; i < WarmUp + lines; ++i) {
        Add(i);
    }
    const double heapGrowth = static_cast<double>(heapBytes() - heapBefore);
    const double residentGrowth =
        static_cast<double>(residentBytes()) - static_cast<double>(residentBefore);
    int next = WarmUp + lines;
    for (auto _ : State) {
        Add(next++);
    }
    State.counters["lines"] = lines;
    State.counters["heap_B/line"] = heapGrowth / lines;
    State.counters["rss_MB/100k"] = residentGrowth / lines * 100000 / (1024.0 * 1024.0);
}

void BM_LogLines(benchmark::State& State) {
    benchApp();
    TLogModel model([](const char* Name, const QByteArray*, const QList<TMessageArg>& Args) {
        const QString builtIn = builtInTemplate(QString::fromLatin1(Name));
        return formatMessage(builtIn, builtIn, Args);
    });
    TLogView view;
    view.setModel(&model);
    view.show();
    measureGrowth(State, [&model](int I) {
        model.AddMsg("idDownloading", {I / 1024.0, 512.0}, nullptr);
        model.Publish();
        QCoreApplication::processEvents();
    });
    State.counters["model_B/line"] = static_cast<double>(model.BytesUsed()) / model.Lines();
}
BENCHMARK(BM_LogLines)->Arg(1000)->Arg(100000)->Iterations(2000);

void BM_WindowLogLines(benchmark::State& State) {
    TLogRig rig;
    measureGrowth(State, [&rig](int I) { rig.AddLine(I); });
}
BENCHMARK(BM_WindowLogLines)->Arg(1000)->Arg(100000)->Iterations(2000);

// The text document the Log used to be: one block per line.
void BM_LogLinesAsTextDocument(benchmark::State& State) {
    benchApp();
    QPlainTextEdit text;
    text.setReadOnly(true);
    text.setUndoRedoEnabled(false);
    text.setLineWrapMode(QPlainTextEdit::NoWrap);
    text.show();
    measureGrowth(State, [&text](int I) {
        text.appendPlainText(QStringLiteral("Downloading - %1/512 kB").arg(I / 1024));
        QCoreApplication::processEvents();
    });
}
BENCHMARK(BM_LogLinesAsTextDocument)->Arg(1000)->Arg(100000)->Iterations(2000);

}  // namespace
