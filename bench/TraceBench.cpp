// What a wire trace costs: snaprill-cli's `get` of 100 pictures of 50 KB
// from a phone that takes 1 ms per transaction, with the trace off and on
// (file data hashed, as by default), in turns, each into an empty folder.
// The iteration time is the traced run's; the counters give both, their
// ratio, and the processor time of each (the phone's sleeps do not count).

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <sstream>

#include "BenchApp.h"
#include "backend/Clock.h"
#include "backend/TracingBackend.h"
#include "cli/CliEnv.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhone.h"
#include "support/FakeDeviceSource.h"
#include "support/VirtualRig.h"

namespace {

using TClock = std::chrono::steady_clock;

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TTraceRig {
    TVirtualDeviceSource Devices;
    TVirtualP2KTransport Transport{Devices};
    test::TNoSerialPorts Serial;
    TFakeClock Clock;
    TPhoneBackend Backend{Devices, Transport, Serial, Clock};
    QTemporaryDir Home{memoryFolder()};

    TTraceRig(int Pictures, size_t Bytes, uint32_t DelayUs) {
        benchApp();
        TVirtualPhoneState s = DefaultVirtualPhoneState();
        for (int i = 0; i < Pictures; ++i) {
            s.Files["/a/mobile/picture/img" + std::to_string(i) + ".jpg"] = {
                test::FileBytes(Bytes, static_cast<unsigned>(i) + 1), 0, 0};
        }
        auto phone = std::make_shared<TVirtualPhone>(std::move(s));
        phone->KeepReceived(false);
        phone->Faults().DelayMicroseconds = DelayUs;
        Devices.PlugPhone("one", phone);
        Devices.DispatchPending();
    }

    // `get -q` into Folder, on Phones; its seconds and processor seconds.
    bool Get(TPhoneBackend& Phones, const QString& Folder, double& Seconds, double& Cpu) {
        std::ostringstream out, err;
        const QString home = Home.path();
        TCliEnv env{
            Phones,
            out,
            err,
            {home + "/Snaprill.conf", home + "/exclude.txt", home + "/", home + "/history.txt"},
            false,
            80,
            {},
            {}};
        const double cpu = threadCpuSeconds();
        const auto start = TClock::now();
        const int exit = runCli(env, {"snaprill-cli", "get", "-q", "--to", Folder.toStdString()});
        Seconds += std::chrono::duration<double>(TClock::now() - start).count();
        Cpu += threadCpuSeconds() - cpu;
        return exit == 0;
    }
};

void BM_CliGetTraced(benchmark::State& State) {
    TTraceRig rig(static_cast<int>(State.range(0)), size_t{50} * 1024,
                  static_cast<uint32_t>(State.range(1)));
    double off = 0, on = 0, offCpu = 0, onCpu = 0;
    bool ok = true;
    for (auto _ : State) {
        QTemporaryDir plain(memoryFolder()), traced(memoryFolder());
        ok = rig.Get(rig.Backend, plain.path(), off, offCpu) && ok;
        const double before = on;
        {
            TTraceLog log;
            ok = log.OpenFile((traced.path() + "/get.trace").toStdString(), nullptr) && ok;
            TTracedBackend tracing(rig.Backend, log);
            ok = rig.Get(tracing.Backend(), traced.path() + "/pictures", on, onCpu) && ok;
        }
        State.SetIterationTime(on - before);
    }
    if (!ok) {
        State.SkipWithError("a download failed");
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["off_ms"] = off * 1e3 / n;
    State.counters["on_ms"] = on * 1e3 / n;
    State.counters["on/off"] = on / off;
    State.counters["off_cpu_ms"] = offCpu * 1e3 / n;
    State.counters["on_cpu_ms"] = onCpu * 1e3 / n;
}
BENCHMARK(BM_CliGetTraced)
    ->Args({100, 1000})  // 100 pictures of 50 KB, 1 ms a transaction
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

}  // namespace
