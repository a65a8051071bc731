// The whole client against a phone whose every reply comes from the input:
// raw commands, deletes, downloads and uploads with their progress
// callbacks, in any order. Checked after each step: no reply lands outside
// the caller's buffer, results stay within their ranges, a download either
// stands complete under its name or leaves the name as it was, no temporary
// file stays behind, and an upload reported done gave the phone every byte.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "FuzzPhone.h"

namespace {

const std::string& workDir() {
    static const std::string dir = [] {
        std::string t = fuzz::MakeScratchDir("snaprill-fuzz");
        return t + "/";
    }();
    return dir;
}

std::vector<std::string> names(const std::string& Dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(Dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                out.push_back(n);
        }
        closedir(d);
    }
    return out;
}

void clear(const std::string& Dir) {
    for (const auto& n : names(Dir))
        unlink((Dir + n).c_str());
}

bool exists(const std::string& Path) {
    struct stat st {};
    return stat(Path.c_str(), &st) == 0;
}

std::vector<uint8_t> readAll(const std::string& Path) {
    std::ifstream f(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& Path, const std::vector<uint8_t>& Data) {
    std::ofstream f(Path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(Data.data()), std::streamsize(Data.size()));
}

bool isSub(const fuzz::TExchangeLog::TCommand& C, uint8_t Sub) {
    return C.Cmd == CmdFileSystem && C.Payload.size() >= 4 && C.Payload[0] == 0 &&
           C.Payload[1] == 0 && C.Payload[2] == 0 && C.Payload[3] == Sub;
}

// The phone file a transfer names: mostly an ordinary one, sometimes none
// or one longer than a phone name may be.
std::string phoneName(FuzzedDataProvider& In, const char* Ordinary) {
    switch (In.ConsumeIntegralInRange(0, 15)) {
        case 14:
            return {};
        case 15:
            return "/a/" + std::string(In.ConsumeIntegralInRange<size_t>(250, 300), 'n');
        default:
            return Ordinary;
    }
}

// A progress callback that checks its figures and, as the input says, asks
// to stop or throws.
struct TProgress {
    FuzzedDataProvider& In;
    int32_t Known = 0;  // the size the caller gave, when it gave one
    int32_t Last = 0;
    bool Stopped = false;
    int Calls = 0;
    bool operator()(int32_t Done, int32_t Total) {
        FUZZ_CHECK(!Stopped);
        FUZZ_CHECK(Done > Last);  // every call reports new bytes
        FUZZ_CHECK(Done >= 0);
        if (Known > 0) {
            FUZZ_CHECK(Total == Known);
            FUZZ_CHECK(Done <= Total);
        }
        Last = Done;
        ++Calls;
        switch (In.ConsumeIntegralInRange(0, 15)) {
            case 14:
                Stopped = true;
                return false;
            case 15:
                throw std::runtime_error("progress failed");
            default:
                return true;
        }
    }
};

void download(fuzz::TFuzzItem& F, FuzzedDataProvider& In) {
    // Sometimes into a folder that is not there: the local failure.
    const bool noFolder = In.ConsumeIntegralInRange(0, 15) == 0;
    const std::string target = workDir() + (noFolder ? "gone/pic.jpg" : "pic.jpg");
    const bool existed = !noFolder && In.ConsumeBool();
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    if (existed)
        writeAll(target, old);
    else
        unlink(target.c_str());
    const int32_t block = In.ConsumeIntegralInRange<int32_t>(-1, 4100);
    const int32_t expected = In.ConsumeIntegralInRange<int32_t>(-1, 20000);
    const size_t first = F.Phone.Log.Commands.size();
    TProgress progress{In};
    progress.Known = expected;
    bool ok = false;
    try {
        ok = F.Item->DownloadFile(phoneName(In, "/a/pic.jpg"), target, block, expected,
                                  std::ref(progress));
    } catch (const std::system_error& e) {
        FUZZ_CHECK(noFolder);  // the only local failure this folder can give
        FUZZ_CHECK(std::string(e.what()).find(target) != std::string::npos);
    }
    if (!ok) {
        // The name keeps what it held: nothing, or the old file.
        if (existed)
            FUZZ_CHECK(readAll(target) == old);
        else
            FUZZ_CHECK(!exists(target));
    } else {
        const std::vector<uint8_t> got = readAll(target);
        if (expected > 0)
            FUZZ_CHECK(got.size() == size_t(expected));
        // The file is the blocks the phone delivered, in order.
        std::vector<uint8_t> sent;
        for (size_t i = first; i < F.Phone.Log.Commands.size(); ++i) {
            const auto& c = F.Phone.Log.Commands[i];
            if (isSub(c, 1) && c.Answered) {
                const size_t n =
                    std::min<size_t>({c.LengthField, P2KMaxReplyData, size_t(std::max(block, 0))});
                sent.insert(sent.end(), c.Reply.begin(), c.Reply.begin() + long(n));
            }
        }
        FUZZ_CHECK(got.size() <= sent.size());
        FUZZ_CHECK(std::equal(got.begin(), got.end(), sent.begin()));
    }
    // Only the target may stand in the folder: no temporary file.
    for (const auto& n : names(workDir()))
        FUZZ_CHECK(n == "pic.jpg" || n == "up.bin");
}

void upload(fuzz::TFuzzItem& F, FuzzedDataProvider& In) {
    const std::string local = workDir() + "up.bin";
    const std::vector<uint8_t> content =
        In.ConsumeBytes<uint8_t>(In.ConsumeIntegralInRange<size_t>(0, 5000));
    writeAll(local, content);
    // Sometimes a local file that is not there.
    const bool missing = In.ConsumeIntegralInRange(0, 15) == 0;
    const int32_t block = In.ConsumeIntegralInRange<int32_t>(-1, 2100);
    const size_t first = F.Phone.Log.Commands.size();
    TProgress progress{In};
    progress.Known = int32_t(content.size());
    const bool ok = F.Item->UploadFile(missing ? local + ".gone" : local,
                                       phoneName(In, "/a/up.bin"), block, std::ref(progress));
    if (missing)
        FUZZ_CHECK(!ok && F.Phone.Log.Commands.size() == first);
    std::vector<uint8_t> written;
    bool opened = false;
    for (size_t i = first; i < F.Phone.Log.Commands.size(); ++i) {
        const auto& c = F.Phone.Log.Commands[i];
        if (isSub(c, 0))
            opened = true;
        if (isSub(c, 2)) {
            FUZZ_CHECK(c.Payload.size() >= 8 && c.Payload.size() <= 8 + 1024);
            const size_t n = size_t(c.Payload[4]) << 24 | size_t(c.Payload[5]) << 16 |
                             size_t(c.Payload[6]) << 8 | c.Payload[7];
            FUZZ_CHECK(n == c.Payload.size() - 8);
            if (c.Answered)
                written.insert(written.end(), c.Payload.begin() + 8, c.Payload.end());
        }
    }
    // The local file is only read.
    FUZZ_CHECK(readAll(local) == content);
    if (ok) {
        FUZZ_CHECK(opened);
        FUZZ_CHECK(written == content);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzedDataProvider in(Data, Size);
    clear(workDir());
    fuzz::TFuzzItem f(in);
    const int steps = in.ConsumeIntegralInRange(1, 6);
    for (int s = 0; s < steps; ++s) {
        switch (in.ConsumeIntegralInRange(0, 8)) {
            case 8: {
                // A closed phone: every command refused before the wire.
                f.Item->ClosePhone();
                const size_t first = f.Phone.Log.Commands.size();
                const std::string target = workDir() + "closed.jpg";
                FUZZ_CHECK(!f.Item->DownloadFile("/a/x.jpg", target, 4000, 0, nullptr));
                FUZZ_CHECK(!exists(target));
                FUZZ_CHECK(!f.Item->UploadFile(workDir() + "up.bin", "/a/x", 1000, nullptr));
                FUZZ_CHECK(!f.Item->DeleteFile("/a/x.jpg"));
                FUZZ_CHECK(f.Item->GetPhoneModel().empty());
                FUZZ_CHECK(f.Phone.Log.Commands.size() == first);
                FUZZ_CHECK(f.Item->OpenPhone());
                break;
            }
            case 0: {
                const std::vector<uint8_t> payload =
                    in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 4100));
                const size_t cap = in.ConsumeIntegralInRange<size_t>(0, 4200);
                std::vector<uint8_t> reply(cap);
                uint16_t len = 0xFFFF;
                const bool ok = f.Item->SendCommand(
                    in.ConsumeIntegral<uint16_t>(), payload.empty() ? nullptr : payload.data(),
                    uint16_t(payload.size()), cap ? reply.data() : nullptr, cap, len);
                FUZZ_CHECK(len <= cap && len <= P2KMaxReplyData);
                FUZZ_CHECK(ok || len == 0);
                if (payload.size() > P2KMaxPayload)
                    FUZZ_CHECK(!ok);
                break;
            }
            case 1: {
                const int32_t size = in.ConsumeIntegralInRange<int32_t>(-1, 4097);
                std::vector<uint8_t> buffer(size_t(std::max(size, 0)));
                const int32_t n = f.Item->FileRead(buffer.empty() ? nullptr : buffer.data(), size);
                FUZZ_CHECK(n >= 0 && n <= std::max(size, 0));
                if (size > 4096)
                    FUZZ_CHECK(n == 0);
                break;
            }
            case 2: {
                const std::vector<uint8_t> data =
                    in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 1100));
                f.Item->FileWrite(int32_t(data.size()), data.empty() ? nullptr : data.data());
                break;
            }
            case 3:
                f.Item->FileOpen(in.ConsumeRandomLengthString(300),
                                 TP2KFileAttrs{in.ConsumeIntegral<uint8_t>()});
                break;
            case 4:
                f.Item->FileClose();
                break;
            case 5: {
                const std::string name = in.ConsumeRandomLengthString(300);
                const size_t first = f.Phone.Log.Commands.size();
                f.Item->DeleteFile(name);
                // Deleted is only the name asked for, at most once.
                int deletes = 0;
                for (size_t i = first; i < f.Phone.Log.Commands.size(); ++i) {
                    const auto& c = f.Phone.Log.Commands[i];
                    if (isSub(c, 5)) {
                        ++deletes;
                        FUZZ_CHECK(std::string(c.Payload.begin() + 4, c.Payload.end()) == name);
                    }
                }
                FUZZ_CHECK(deletes <= 1);
                if (name.empty() || name.size() > 255)
                    FUZZ_CHECK(deletes == 0);
                break;
            }
            case 6:
                download(f, in);
                break;
            case 7:
                upload(f, in);
                break;
        }
    }
    return 0;
}
