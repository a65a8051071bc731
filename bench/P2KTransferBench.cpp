// Whole-file download and listing throughput against the zero-latency
// virtual phone, on a fake clock (the 1 ms pause after each ready status is
// the phone's time, not the host's).

#include <benchmark/benchmark.h>

#include "support/TempDir.h"
#include "support/VirtualRig.h"

namespace {

constexpr size_t OneMiB = size_t{1024} * 1024;

void BM_Download1MiB(benchmark::State& State) {
    const auto block = static_cast<int32_t>(State.range(0));
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    s.Files["/a/big.jpg"] = {test::FileBytes(OneMiB), 0, 0};
    test::TVirtualRig rig(std::move(s));
    rig.Phone->KeepReceived(false);
    test::TTempDir dir;
    const uint32_t before = rig.Phone->Transactions();
    for (auto _ : State) {
        bool ok = rig.Item->DownloadFile("/a/big.jpg", dir.Path("big.jpg"), block,
                                         static_cast<int32_t>(OneMiB), nullptr);
        if (!ok) {
            State.SkipWithError("download failed");
        }
    }
    // The blocks are counted whole: the last one may be short.
    const size_t wholeBlocks = (OneMiB + block - 1) / block;
    const double blocks = static_cast<double>(wholeBlocks);
    const double transactions = static_cast<double>(rig.Phone->Transactions() - before) /
                                static_cast<double>(State.iterations());
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * OneMiB));
    State.counters["exchanges/block"] = 3.0 * transactions / blocks;  // write, poll, fetch
    State.counters["transactions"] = transactions;
}
BENCHMARK(BM_Download1MiB)->Arg(4000)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_List10000(benchmark::State& State) {
    constexpr int Files = 10000;
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    for (int i = 0; i < Files; ++i) {
        s.Files["/a/mobile/picture/img" + std::to_string(i) + ".jpg"] = {{1, 2, 3}, 0, 0};
    }
    test::TVirtualRig rig(std::move(s));
    rig.Phone->KeepReceived(false);
    int64_t entries = 0;
    for (auto _ : State) {
        const int32_t count = rig.Item->GetFileCount("/a/mobile/picture/|*.jpg");
        rig.Item->GetFileList(count, nullptr, [&](const TP2KFile&) {
            ++entries;
            return true;
        });
    }
    State.counters["entries"] =
        static_cast<double>(entries) / static_cast<double>(State.iterations());
    State.counters["us/entry"] =
        benchmark::Counter(static_cast<double>(entries) * 1e-6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_List10000)->Unit(benchmark::kMillisecond);

}  // namespace
