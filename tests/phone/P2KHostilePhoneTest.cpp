#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "support/P2KTestItem.h"
#include "support/TempDir.h"

// A phone whose every answer is random: lengths that lie in both directions,
// ready counts that are not, exchanges that fail. No command may read or
// write outside its buffers (the sanitizer build checks), a download never
// leaves a file it did not complete, and every command returns.
TEST(P2KHostilePhone, RandomRepliesNeverBreakTheClient) {
    test::TP2KFixtureBase f;
    f.OpenQuietly();
    test::TTempDir dir;
    const std::string local = dir.Path("up.bin");
    {
        std::vector<uint8_t> data(2500, 0x5A);
        test::WriteAll(local, data);
    }

    std::mt19937 rng(20261207);
    auto pick = [&rng](int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(rng); };
    f.Phone.Handler = [&](const test::TSentCommand&) {
        test::TScriptedReply r;
        const int shape = pick(0, 9);
        const size_t size = shape < 3 ? size_t(pick(0, 8)) : size_t(pick(0, 5000));
        r.Data.resize(size);
        for (auto& b : r.Data) {
            b = static_cast<uint8_t>(pick(0, 255));
        }
        if (shape == 4) {
            r.LengthField = static_cast<uint16_t>(pick(0, 65535));
        }
        if (shape == 5) {
            r.Ready = static_cast<uint8_t>(pick(0, 3));
        }
        if (shape == 6) {
            r.Fetch = TExchangeResult::Failed;
        }
        if (shape == 7) {
            r.Write = TExchangeResult::TimedOut;
        }
        return r;
    };

    std::vector<uint8_t> buffer(4096);
    int completedDownloads = 0;
    for (int round = 0; round < 300; ++round) {
        f.Item->GetPhoneModel();
        f.Item->GetFlexVersion();
        f.Item->GetDrives();
        f.Item->GetFreeSpace("/a/");
        const int32_t count = f.Item->GetFileCount("/a/mobile/picture/|*.jpg");
        EXPECT_GE(count, 0);
        EXPECT_LE(count, 65535);
        TP2KFiles files(2);
        f.Item->GetFileList(3, &files, [](const TP2KFile& F) {
            EXPECT_LE(F.Name.size(), 260u);
            return true;
        });
        const int32_t n = f.Item->FileRead(buffer.data(), pick(0, 4096));
        EXPECT_GE(n, 0);
        EXPECT_LE(n, 4096);

        const std::string target = dir.Path("pic" + std::to_string(round) + ".jpg");
        const int32_t expected = pick(0, 1) ? 0 : pick(1, 9000);
        if (f.Item->DownloadFile("/a/x.jpg", target, pick(0, 1) ? 1000 : 4000, expected, nullptr)) {
            ++completedDownloads;
            if (expected > 0) {
                EXPECT_EQ(std::filesystem::file_size(target), uintmax_t(expected));
            }
        } else {
            EXPECT_FALSE(std::filesystem::exists(target)) << "a partial download under its name";
        }
        f.Item->UploadFile(local, "/a/up.bin", 1000, nullptr);
        f.Item->DeleteFile("/a/x.jpg");
    }
    // Only the target names may remain: no temporary file is ever left.
    for (const auto& name : dir.Names()) {
        EXPECT_TRUE(name == "up.bin" || name.rfind("pic", 0) == 0) << name;
    }
    EXPECT_GT(completedDownloads, 0);
    EXPECT_TRUE(f.Item->IsOpen());
}
