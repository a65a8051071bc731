// snaprill-cli against a virtual phone that takes a fixed time per
// transaction: its download and listing beside the window's rules (the
// session with its default settings, as the window runs it), and its own
// share of a download beside DownloadFile alone.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BenchApp.h"
#include "MotoP2KMode.h"
#include "cli/CliEnv.h"
#include "core/session/FileListModel.h"
#include "core/session/PhoneSession.h"
#include "support/PhoneRig.h"
#include "support/VirtualRig.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr size_t PictureBytes = size_t{50} * 1024;
constexpr uint8_t SubListNext = 0x08;

std::string pictureName(int Index) {
    return "/a/mobile/picture/img" + std::to_string(Index) + ".jpg";
}

double secondsSince(TClock::time_point Start) {
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

// The processor time of this thread so far: the virtual phone runs on it
// too, but its sleeps do not count.
double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The window's options as they stand by default: Photo Manager, existing
// files kept (so 1000-byte blocks), nothing deleted.
class TDefaultHost final : public ISessionHost {
  public:
    QString Folder;
    void ProcessEvents() override {}
    bool Option(TSessionOption) override { return false; }
    QString SaveFolder() override { return Folder; }
    std::string UploadFolder() override { return {}; }
    QString FolderPattern() override { return {}; }
    QString SecondFolder() override { return {}; }
    QString ChooseFolder(const TSessionMsg&) override { return Folder; }
    QStringList ChooseFiles() override { return {}; }
    bool AskYesNo(const TSessionMsg&) override { return false; }
    void ShowMessage(const TSessionMsg&, bool) override {}
};

// One phone of Count pictures of Bytes bytes each, taking DelayUs per
// transaction; the clock is a fake one, so that the poll loop's pause
// costs nothing and the phone's delay is all the phone's time.
struct TCliRig {
    test::TPhoneRig<test::TNoSerialPorts, TPosixLocalFiles> Phones;
    std::shared_ptr<TVirtualPhone> Phone;
    QTemporaryDir Home;  // holds no settings and no exclusion list
    int Count;

    TCliRig(int Pictures, size_t Bytes, uint32_t DelayUs) : Count(Pictures) {
        benchApp();
        TVirtualPhoneState s = DefaultVirtualPhoneState();
        for (int i = 0; i < Count; ++i) {
            s.Files[pictureName(i)] = {test::FileBytes(Bytes, static_cast<unsigned>(i) + 1), 0, 0};
        }
        Phones.keepReceived = false;
        Phone = Phones.plugBefore("one", std::move(s));
        Phone->Faults().DelayMicroseconds = DelayUs;
    }

    int Cli(std::vector<std::string> Args) {
        std::ostringstream out, err;
        const QString home = Home.path();
        TCliEnv env{
            Phones.backend,
            out,
            err,
            {home + "/Snaprill.conf", home + "/exclude.txt", home + "/", home + "/history.txt"},
            false,
            80,
            {},
            {}};
        Args.insert(Args.begin(), "snaprill-cli");
        return runCli(env, Args);
    }
    // The window's rules: the phone listed as at start, every row downloaded.
    bool Window(const QString& Folder) {
        TDefaultHost host;
        host.Folder = Folder + "/";
        TPhoneSession session(Phones.backend, host);
        session.Start();
        session.FileList().SelectAll();
        session.Download();
        int downloaded = 0;
        for (const TDownloadedRow& row : session.LastDownload().Rows) {
            downloaded += row.Fate == TDownloadFate::Downloaded ? 1 : 0;
        }
        return downloaded == Count;
    }
    // List requests (file-system sub-command 8) received since the phone
    // started keeping them.
    int ListRequests() const {
        int n = 0;
        for (const auto& r : Phone->Received()) {
            n += r.Command == CmdFileSystem && r.Payload.size() > 3 && r.Payload[3] == SubListNext;
        }
        return n;
    }
};

// `get` of every picture beside the window's default download of the same
// pictures, each into an empty folder; the iteration time is the CLI's.
void BM_CliGetVsWindowDefault(benchmark::State& State) {
    TCliRig rig(static_cast<int>(State.range(0)), PictureBytes,
                static_cast<uint32_t>(State.range(1)));
    double windowSeconds = 0, cliSeconds = 0;
    uint64_t windowTx = 0, cliTx = 0;
    bool ok = true;
    for (auto _ : State) {
        QTemporaryDir windowFolder(memoryFolder()), cliFolder(memoryFolder());
        uint32_t before = rig.Phone->Transactions();
        auto start = TClock::now();
        ok = rig.Window(windowFolder.path()) && ok;
        windowSeconds += secondsSince(start);
        windowTx += rig.Phone->Transactions() - before;

        before = rig.Phone->Transactions();
        start = TClock::now();
        ok = rig.Cli({"get", "-q", "--to", cliFolder.path().toStdString()}) == 0 && ok;
        const double cli = secondsSince(start);
        cliTx += rig.Phone->Transactions() - before;
        cliSeconds += cli;
        State.SetIterationTime(cli);
    }
    if (!ok) {
        State.SkipWithError("a download failed");
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["window_ms"] = windowSeconds * 1e3 / n;
    State.counters["cli_ms"] = cliSeconds * 1e3 / n;
    State.counters["cli/window"] = cliSeconds / windowSeconds;
    State.counters["window_tx"] = static_cast<double>(windowTx) / n;
    State.counters["cli_tx"] = static_cast<double>(cliTx) / n;
}
BENCHMARK(BM_CliGetVsWindowDefault)
    ->Args({100, 4000})  // 4 ms a transaction, as the kernel's USB path measured
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// `ls` of 1,000 pictures beside the window's listing of them: its list
// requests and its time.
void BM_CliListVsWindow(benchmark::State& State) {
    TCliRig rig(static_cast<int>(State.range(0)), 3, static_cast<uint32_t>(State.range(1)));
    rig.Phone->KeepReceived(true);
    double windowSeconds = 0, cliSeconds = 0;
    int windowRequests = 0, cliRequests = 0;
    bool ok = true;
    for (auto _ : State) {
        int before = rig.ListRequests();
        auto start = TClock::now();
        {
            TDefaultHost host;
            TPhoneSession session(rig.Phones.backend, host);
            session.Start();
            ok = session.Rows().Count() == rig.Count && ok;
        }
        windowSeconds += secondsSince(start);
        windowRequests += rig.ListRequests() - before;

        before = rig.ListRequests();
        start = TClock::now();
        ok = rig.Cli({"ls"}) == 0 && ok;
        const double cli = secondsSince(start);
        cliSeconds += cli;
        cliRequests += rig.ListRequests() - before;
        State.SetIterationTime(cli);
    }
    if (!ok) {
        State.SkipWithError("a listing failed");
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["window_list_requests"] = windowRequests / n;
    State.counters["cli_list_requests"] = cliRequests / n;
    State.counters["requests_cli/window"] = static_cast<double>(cliRequests) / windowRequests;
    State.counters["window_ms"] = windowSeconds * 1e3 / n;
    State.counters["cli_ms"] = cliSeconds * 1e3 / n;
}
BENCHMARK(BM_CliListVsWindow)
    ->Args({1000, 4000})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// `get --overwrite` of every picture beside the phone item alone doing the
// same phone work (the listing the CLI makes, then DownloadFile of each
// picture in 4000-byte blocks with no progress callback): both make the
// same transactions. The share is the part of the CLI's time the item alone
// does not spend; on a busy machine the phone's sleeps overshoot by varying
// amounts, so cpu_share_% also gives the CLI's extra processor time as a
// part of its time. start_ms is the time from the CLI's start to its first
// exchange with the phone.
void BM_CliShareOfGet(benchmark::State& State) {
    TCliRig rig(static_cast<int>(State.range(0)), PictureBytes,
                static_cast<uint32_t>(State.range(1)));
    QTemporaryDir cliFolder(memoryFolder()), direct(memoryFolder());
    double cliSeconds = 0, directSeconds = 0, startSeconds = 0, cliCpu = 0, directCpu = 0;
    uint64_t cliTx = 0, directTx = 0;
    bool ok = true;
    for (auto _ : State) {
        TClock::time_point first{};
        rig.Phones.transport.SetExchangeHook([&](auto, const std::string&, uint64_t) {
            if (first == TClock::time_point{}) {
                first = TClock::now();
            }
        });
        uint32_t before = rig.Phone->Transactions();
        double cpu = threadCpuSeconds();
        auto start = TClock::now();
        ok = rig.Cli({"get", "-q", "--overwrite", "--to", cliFolder.path().toStdString()}) == 0 &&
             ok;
        const double cli = secondsSince(start);
        cliCpu += threadCpuSeconds() - cpu;
        startSeconds += std::chrono::duration<double>(first - start).count();
        rig.Phones.transport.SetExchangeHook(nullptr);
        cliTx += rig.Phone->Transactions() - before;

        before = rig.Phone->Transactions();
        cpu = threadCpuSeconds();
        start = TClock::now();
        {
            TMotoP2KMode mode(rig.Phones.backend);
            const std::shared_ptr<TMotoP2KModemItem> item = mode.DeviseList().Hold(0);
            ok = item && item->OpenPhone() && ok;
            item->GetPhoneModel();
            item->GetFlexVersion();
            item->GetDrives();
            item->GetFreeSpace("/a/");
            const int32_t count = item->GetFileCount("/a/mobile/picture/|*.jpg");
            int listed = 0;
            item->GetFileList(count, nullptr, [&](const TP2KFile&) { return ++listed < count; });
            for (int i = 0; i < rig.Count; ++i) {
                const std::string local =
                    direct.filePath(QStringLiteral("img%1.jpg").arg(i)).toStdString();
                ok = item->DownloadFile(pictureName(i), local, 4000,
                                        static_cast<int32_t>(PictureBytes), nullptr) &&
                     ok;
            }
        }
        directSeconds += secondsSince(start);
        directCpu += threadCpuSeconds() - cpu;
        directTx += rig.Phone->Transactions() - before;
        cliSeconds += cli;
        State.SetIterationTime(cli);
    }
    if (!ok) {
        State.SkipWithError("a download failed");
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["cli_ms"] = cliSeconds * 1e3 / n;
    State.counters["direct_ms"] = directSeconds * 1e3 / n;
    State.counters["cli_share_%"] = 100.0 * (cliSeconds - directSeconds) / cliSeconds;
    State.counters["cpu_share_%"] = 100.0 * (cliCpu - directCpu) / cliSeconds;
    State.counters["start_ms"] = startSeconds * 1e3 / n;
    State.counters["cli_tx"] = static_cast<double>(cliTx) / n;
    State.counters["direct_tx"] = static_cast<double>(directTx) / n;
}
BENCHMARK(BM_CliShareOfGet)
    ->Args({100, 1000})  // a quick phone: 1 ms a transaction
    ->Args({100, 4000})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

}  // namespace
