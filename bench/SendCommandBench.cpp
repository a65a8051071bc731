// Host cost of one P2K command transaction against the zero-latency virtual
// phone: packet build, write, status poll, fetch and reply copy.

#include <benchmark/benchmark.h>

#include "support/VirtualRig.h"

namespace {

// A free-space query: a 14-byte payload and a 4-byte reply. The fake clock
// makes the 1 ms pause after the ready status cost nothing, so this is the
// host's own work per transaction.
void BM_SendCommand(benchmark::State& State) {
    test::TVirtualRig rig;
    rig.Phone->KeepReceived(false);
    const uint8_t payload[14] = {0x00, 0x00, 0x00, 0x0B, 0x00, 0x07, 0x00,
                                 0x2F, 0x00, 0x61, 0x00, 0x2F, 0x00, 0x00};
    uint8_t reply[16];
    uint16_t len = 0;
    for (auto _ : State) {
        bool ok =
            rig.Item->SendCommand(CmdFileSystem, payload, sizeof payload, reply, sizeof reply, len);
        benchmark::DoNotOptimize(ok);
    }
    State.counters["transactions/s"] =
        benchmark::Counter(static_cast<double>(State.iterations()), benchmark::Counter::kIsRate);
    State.counters["us/transaction"] =
        benchmark::Counter(static_cast<double>(State.iterations()) * 1e-6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SendCommand);

// The same with a 4000-byte reply, the size of a download block.
void BM_SendCommandLargeReply(benchmark::State& State) {
    TVirtualPhoneState s = DefaultVirtualPhoneState();
    s.Files["/a/big"] = {test::FileBytes(size_t{64} * 1024 * 1024), 0, 0};
    test::TVirtualRig rig(std::move(s));
    rig.Phone->KeepReceived(false);
    rig.Item->FileOpen("/a/big", TP2KFileAttrs::Of({atAny}));
    const uint8_t payload[8] = {0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xA0};
    std::vector<uint8_t> reply(4000);
    uint16_t len = 0;
    for (auto _ : State) {
        bool ok = rig.Item->SendCommand(CmdFileSystem, payload, sizeof payload, reply.data(),
                                        reply.size(), len);
        benchmark::DoNotOptimize(ok);
        if (len == 0) {  // end of the file: start it again
            rig.Item->FileClose();
            rig.Item->FileOpen("/a/big", TP2KFileAttrs::Of({atAny}));
        }
    }
    State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * 4000);
    State.counters["us/transaction"] =
        benchmark::Counter(static_cast<double>(State.iterations()) * 1e-6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SendCommandLargeReply);

}  // namespace
