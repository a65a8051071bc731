// The listing of a search: batches of 268-byte entries from a phone that
// answers anything. Every entry the caller sees is within the entry's own
// bounds, the caller's array keeps its size, and a callback that asks to
// stop is not called again.

#include "FuzzPhone.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzedDataProvider in(Data, Size);
    fuzz::TFuzzItem f(in);
    const int32_t count = in.ConsumeIntegralInRange<int32_t>(-1, 6);
    const size_t slots = in.ConsumeIntegralInRange<size_t>(0, 8);
    const int stopAfter = in.ConsumeIntegralInRange(0, 20);  // 0: never stop
    const bool throwing = in.ConsumeBool();
    TP2KFiles files(slots);
    std::vector<TP2KFile> seen;
    bool stopped = false;
    const bool ok = f.Item->GetFileList(count, &files, [&](const TP2KFile& File) {
        FUZZ_CHECK(!stopped);
        seen.push_back(File);
        FUZZ_CHECK(File.Name.size() <= 260);
        FUZZ_CHECK(File.Name.find('\0') == std::string::npos);
        FUZZ_CHECK(File.Attributes.Bits < 0x80);
        if (stopAfter != 0 && int(seen.size()) == stopAfter) {
            stopped = true;
            return false;
        }
        if (throwing && seen.size() % 2 == 0)
            throw std::runtime_error("callback failed");
        return true;
    });
    FUZZ_CHECK(ok == (count >= 1));
    FUZZ_CHECK(files.size() == slots);
    // At most three entries a batch, one batch a count.
    FUZZ_CHECK(seen.size() <= size_t(std::max(count, 0)) * 3);
    for (size_t i = 0; i < std::min(slots, seen.size()); ++i) {
        FUZZ_CHECK(files[i].Name == seen[i].Name);
        FUZZ_CHECK(files[i].Size == seen[i].Size);
        FUZZ_CHECK(files[i].Attributes == seen[i].Attributes);
    }
    for (size_t i = seen.size(); i < slots; ++i)
        FUZZ_CHECK(files[i].Name.empty() && files[i].Size == 0);
    return 0;
}
