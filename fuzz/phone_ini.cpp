// The virtual-phone folder loader: any phone.ini, then the phone it gives
// read back through the client. The loader keeps defaults for what it cannot
// use, and the phone answers with exactly what the file set.

#include <filesystem>
#include <fstream>

#include "FuzzPhone.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhone.h"
#include "sim/VirtualPhoneFolder.h"

namespace fs = std::filesystem;

namespace {

const fs::path& phoneFolder() {
    static const fs::path dir = [] {
        std::string t = fuzz::MakeScratchDir("snaprill-ini");
        fs::create_directories(fs::path(t) / "a");
        return fs::path(t);
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    const TVirtualPhoneSettings settings = ParseVirtualPhoneIni(text);
    {
        std::ofstream f(phoneFolder() / "phone.ini", std::ios::binary | std::ios::trunc);
        f.write(text.data(), std::streamsize(text.size()));
    }
    TVirtualPhoneState state = LoadVirtualPhone(phoneFolder());
    FUZZ_CHECK(state.Drives.size() == 1 && state.Drives[0].Name == "/a");
    FUZZ_CHECK(state.Drives[0].FreeSpace == settings.FreeSpace);

    TVirtualDeviceSource devices;
    TVirtualP2KTransport transport(devices);
    const std::string path = devices.PlugPhone("ini", std::make_shared<TVirtualPhone>(state));
    TFakeClock clock;
    TUSBDevise d;
    d.DevicePath = path;
    auto item = std::make_shared<TMotoP2KModemItem>(d, transport, clock);
    FUZZ_CHECK(item->OpenPhone());

    // The model as shown: the file's model without the bytes the client
    // drops, as far as the model record's buffer reaches.
    std::string shown;
    for (char c : settings.Model)
        if (c != '\0' && c != '\xFF')
            shown += c;
    const std::string model = item->GetPhoneModel();
    FUZZ_CHECK(shown.compare(0, model.size(), model) == 0);
    FUZZ_CHECK(model.size() <= 35);

    const std::string flex = item->GetFlexVersion();
    if (settings.PackedFlex)
        FUZZ_CHECK(flex.size() == 14);
    FUZZ_CHECK(item->GetFreeSpace("/a") == settings.FreeSpace);
    return 0;
}
