#include <benchmark/benchmark.h>

#include "sim/RawHost.h"
#include "sim/VirtualPhone.h"

// The virtual phone's own cost, so that benchmarks of the program against it
// can tell how much of their time is the phone's.

using namespace rawhost;

namespace {

const Bytes ModelSeemRequest{0x01, 0x17, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};

void BM_VirtualPhoneTransaction(benchmark::State& State) {
    TVirtualPhone phone;
    phone.KeepReceived(false);
    for (auto _ : State) {
        benchmark::DoNotOptimize(transact(phone, 0x0020, ModelSeemRequest));
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_VirtualPhoneTransaction);

void BM_VirtualPhoneRead1MiB(benchmark::State& State) {
    const uint32_t block = uint32_t(State.range(0));
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    s.Files["/a/big.bin"].Data.assign(1 << 20, 0x5A);
    TVirtualPhone phone(s);
    phone.KeepReceived(false);
    Bytes open = cat(be32(0), cat(be32(0xFF), text("/a/big.bin")));
    for (auto _ : State) {
        transact(phone, 0x004A, open);
        size_t got = 0;
        while (true) {
            auto r = fs(phone, 1, be32(block));
            if (!r || r->empty()) {
                break;
            }
            got += r->size();
        }
        benchmark::DoNotOptimize(got);
    }
    State.SetBytesProcessed(State.iterations() * (1 << 20));
}
BENCHMARK(BM_VirtualPhoneRead1MiB)->Arg(4000)->Arg(1000);

void BM_VirtualPhoneList10000(benchmark::State& State) {
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    for (int i = 0; i < 10000; ++i) {
        s.Files["/a/mobile/picture/img" + std::to_string(i) + ".jpg"].Data.resize(100);
    }
    TVirtualPhone phone(s);
    phone.KeepReceived(false);
    Bytes pattern = cat(units("/a/mobile/picture/|*.jpg"), {0, 0});
    for (auto _ : State) {
        fs(phone, 7, pattern);
        size_t entries = 0;
        for (int k = 0; k < 3334; ++k) {
            entries += (fs(phone, 8, {3})->size() - 4) / 268;
        }
        benchmark::DoNotOptimize(entries);
    }
    State.SetItemsProcessed(State.iterations() * 10000);
}
BENCHMARK(BM_VirtualPhoneList10000);

}  // namespace
