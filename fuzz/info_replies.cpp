// The information commands against a phone that answers anything: model,
// flex version (packed and plain), drives, free space and file count.

#include <cctype>

#include "FuzzPhone.h"

namespace {

bool hexDigits(const std::string& S) {
    return std::all_of(S.begin(), S.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzedDataProvider in(Data, Size);
    fuzz::TFuzzItem f(in);
    const int rounds = in.ConsumeIntegralInRange(1, 4);
    for (int r = 0; r < rounds; ++r) {
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0: {
                const std::string model = f.Item->GetPhoneModel();
                FUZZ_CHECK(model.size() <= 35);  // the model seem's buffer
                FUZZ_CHECK(model.find('\0') == std::string::npos);
                FUZZ_CHECK(model.find('\xFF') == std::string::npos);
                break;
            }
            case 1: {
                const std::string flex = f.Item->GetFlexVersion();
                FUZZ_CHECK(hexDigits(flex));
                // Packed: seven shown bytes; plain: two digits for each seem byte.
                FUZZ_CHECK(flex.size() == 14 || flex.size() <= 2 * 255);
                FUZZ_CHECK(flex.size() % 2 == 0);
                break;
            }
            case 2:
                f.Item->GetDrives();
                break;
            case 3:
                f.Item->GetFreeSpace(in.ConsumeRandomLengthString(12));
                break;
            case 4: {
                const int32_t n = f.Item->GetFileCount(in.ConsumeRandomLengthString(300));
                FUZZ_CHECK(n >= 0 && n <= 0xFFFF);
                break;
            }
            case 5: {
                // A seem into a destination of any size: never past its end.
                const size_t cap = in.ConsumeIntegralInRange<size_t>(0, 300);
                std::vector<uint8_t> dest(cap);
                uint16_t len = 0xFFFF;
                const bool ok = f.Item->ReadSeem(in.ConsumeIntegral<uint16_t>(), 1, 0, 0,
                                                 cap ? dest.data() : nullptr, cap, len);
                FUZZ_CHECK(len <= cap);
                FUZZ_CHECK(ok || len == 0);
                break;
            }
        }
    }
    return 0;
}
