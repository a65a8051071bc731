#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "support/P2KTestItem.h"
#include "support/TempDir.h"

using test::Reply;
using test::TLogLine;

namespace {
using V = std::vector<uint8_t>;

V Pattern(size_t N) {
    V v(N);
    for (size_t i = 0; i < N; ++i) {
        v[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    return v;
}

// One open file on the phone side: reads hand out its bytes from a position,
// writes collect what arrives; exchanges can be made to fail at a count.
class P2KTransfer : public ::testing::Test, public test::TP2KFixtureBase {
  protected:
    V Content;
    V Written;
    size_t Pos = 0;
    int Reads = 0, Writes = 0;
    int FailReadAt = 0, FailWriteAt = 0;  // 1-based; 0 never
    int LoseFetchAt = 0;                  // the k-th read's reply is lost
    std::vector<uint32_t> ReadSizes;
    std::vector<size_t> WriteSizes;
    bool CloseSaysNo = false;
    test::TTempDir Dir;

    P2KTransfer() {
        OpenQuietly();
        Phone.Handler = [this](const test::TSentCommand& C) {
            const V p = C.Payload();
            test::TScriptedReply r;
            switch (p[3]) {
                case 0x01: {
                    const uint32_t want =
                        uint32_t(p[4]) << 24 | uint32_t(p[5]) << 16 | uint32_t(p[6]) << 8 | p[7];
                    ReadSizes.push_back(want);
                    if (++Reads == FailReadAt) {
                        r.Write = TExchangeResult::Failed;
                    }
                    if (Reads == LoseFetchAt) {
                        r.Fetch = TExchangeResult::Failed;
                    }
                    const size_t n = std::min<size_t>(want, Content.size() - Pos);
                    const auto from = Content.begin() + std::ptrdiff_t(Pos);
                    r.Data.assign(from, from + std::ptrdiff_t(n));
                    Pos += n;
                    break;
                }
                case 0x02:
                    WriteSizes.push_back(p.size() - 8);
                    if (++Writes == FailWriteAt) {
                        r.Write = TExchangeResult::Failed;
                    }
                    Written.insert(Written.end(), p.begin() + 8, p.end());
                    break;
                case 0x04:
                    if (CloseSaysNo) {
                        r.Data = {0x01};
                    }
                    break;
                default:
                    break;
            }
            return r;
        };
    }
    size_t Count(uint8_t Sub) const {
        size_t n = 0;
        for (const auto& s : Phone.Sent) {
            n += s.Payload()[3] == Sub;
        }
        return n;
    }
    bool OnlyTarget(const std::string& Name) const {
        return Dir.Names() == std::vector<std::string>{Name};
    }
};
}  // namespace

TEST_F(P2KTransfer, DeleteFileChecks) {
    EXPECT_FALSE(Item->DeleteFile(""));
    EXPECT_FALSE(Item->DeleteFile(std::string(256, 'd')));
    EXPECT_TRUE(Item->DeleteFile(std::string(255, 'd')));
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"File Delete Phone - FileName not normal", dtError},
                                          {"File Delete Phone - FileName not normal", dtError},
                                          {"File Delete Phone", dtInformation},
                                          {"File Delete Phone", dtInformation}}));
    EXPECT_EQ(Phone.Sent.size(), 1u);
    Item->ClosePhone();
    Log.clear();
    EXPECT_FALSE(Item->DeleteFile("/a/x.jpg"));
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"File Delete Phone - Phone Not Open", dtError}}));
}

TEST_F(P2KTransfer, DownloadUnknownSizeEndsOnEmptyRead) {
    // The last block is one byte, which cannot be told from an error code:
    // not written, and the download is incomplete.
    Content = Pattern(2001);
    std::vector<std::pair<int32_t, int32_t>> calls;
    const std::string target = Dir.Path("x.jpg");
    EXPECT_FALSE(Item->DownloadFile("/a/x.jpg", target, 1000, 0, [&](int32_t D, int32_t T) {
        calls.emplace_back(D, T);
        return true;
    }));
    EXPECT_TRUE(Dir.Names().empty());
    EXPECT_EQ(calls, (std::vector<std::pair<int32_t, int32_t>>{{1000, 0}, {2000, 1001}}));
    EXPECT_EQ(Phone.Sent[0].Payload(),
              (V{0, 0, 0, 0, 0, 0, 0, 0xFF, '/', 'a', '/', 'x', '.', 'j', 'p', 'g'}));
    EXPECT_EQ(Count(0x04), 1u);
    EXPECT_EQ(Log.back(), (TLogLine{"File Download Phone", dtInformation}));

    // The whole file when it ends on a longer short block.
    Content = Pattern(2500);
    Pos = 0;
    EXPECT_TRUE(Item->DownloadFile("/a/x.jpg", target, 1000, 0, nullptr));
    EXPECT_EQ(test::ReadAll(target), Content);
}

TEST_F(P2KTransfer, DownloadKnownSize) {
    // 5000 expected in 4000-byte blocks from a longer file: two reads, then
    // stop. More arrived than was listed, so it is not the listed file.
    // The block past the listed size is not taken: the progress never goes
    // beyond the total it was given.
    Content = Pattern(9000);
    const std::string target = Dir.Path("x.jpg");
    std::vector<std::pair<int32_t, int32_t>> progress;
    EXPECT_FALSE(Item->DownloadFile("/a/x.jpg", target, 4000, 5000, [&](int32_t D, int32_t T) {
        progress.emplace_back(D, T);
        return true;
    }));
    EXPECT_EQ(ReadSizes, (std::vector<uint32_t>{4000, 4000}));
    EXPECT_EQ(progress, (std::vector<std::pair<int32_t, int32_t>>{{4000, 5000}}));
    EXPECT_TRUE(Dir.Names().empty());

    // Exactly the listed size.
    Content = Pattern(5000);
    Pos = 0;
    ReadSizes.clear();
    EXPECT_TRUE(Item->DownloadFile("/a/x.jpg", target, 4000, 5000, nullptr));
    EXPECT_EQ(ReadSizes, (std::vector<uint32_t>{4000, 4000}));
    EXPECT_EQ(test::ReadAll(target), Content);

    // A final one-byte block that completes a file of known size is its last byte.
    Content = Pattern(4001);
    Pos = 0;
    EXPECT_TRUE(Item->DownloadFile("/a/x.jpg", target, 4000, 4001, nullptr));
    EXPECT_EQ(test::ReadAll(target), Content);

    // A phone file shorter than listed is incomplete.
    Content = Pattern(3000);
    Pos = 0;
    EXPECT_FALSE(Item->DownloadFile("/a/x.jpg", target, 1000, 3001, nullptr));
    EXPECT_EQ(test::ReadAll(target), Pattern(4001));  // the earlier file stands untouched
    EXPECT_TRUE(OnlyTarget("x.jpg"));

    // The longest name a folder takes takes a download too.
    Content = Pattern(10);
    Pos = 0;
    const std::string longest(255, 'n');
    EXPECT_TRUE(Item->DownloadFile("/a/x.jpg", Dir.Path(longest), 4000, 10, nullptr));
    EXPECT_EQ(test::ReadAll(Dir.Path(longest)), Content);
}

TEST_F(P2KTransfer, DownloadFailureLeavesNoPartialFile) {
    const std::string target = Dir.Path("x.jpg");
    test::WriteAll(target, {'o', 'l', 'd'});
    for (int32_t expected : {0, 3000}) {
        Content = Pattern(3000);
        Pos = 0;
        Reads = 0;
        FailReadAt = 2;
        Log.clear();
        EXPECT_FALSE(Item->DownloadFile("/a/x.jpg", target, 1000, expected, nullptr));
        EXPECT_EQ(test::ReadAll(target), (V{'o', 'l', 'd'}));
        EXPECT_TRUE(OnlyTarget("x.jpg"));
        EXPECT_EQ(Phone.Sent.back().Payload(), (V{0, 0, 0, 4}));  // phone file closed
        EXPECT_EQ(Log.back(), (TLogLine{"File Download Phone", dtInformation}));
    }
    FailReadAt = 0;

    // A block whose reply is lost on the way back is a failure, not the end
    // of the file: with an unknown size it would otherwise pass as complete.
    Content = Pattern(3000);
    Pos = 0;
    Reads = 0;
    LoseFetchAt = 2;
    EXPECT_FALSE(Item->DownloadFile("/a/x.jpg", target, 1000, 0, nullptr));
    EXPECT_EQ(test::ReadAll(target), (V{'o', 'l', 'd'}));
    EXPECT_TRUE(OnlyTarget("x.jpg"));
    LoseFetchAt = 0;

    // Stopped by the progress callback.
    Pos = 0;
    EXPECT_FALSE(Item->DownloadFile("/a/x.jpg", target, 1000, 0,
                                    [](int32_t D, int32_t) { return D < 2000; }));
    EXPECT_TRUE(OnlyTarget("x.jpg"));

    // A progress callback that throws does not stop it.
    Pos = 0;
    EXPECT_TRUE(Item->DownloadFile("/a/x.jpg", target, 1000, 3000, [](int32_t, int32_t) -> bool {
        throw std::runtime_error("progress");
    }));
    EXPECT_EQ(test::ReadAll(target), Content);

    // A block size the phone refuses: nothing arrives, no file appears.
    std::filesystem::remove(target);
    Pos = 0;
    Log.clear();
    EXPECT_FALSE(Item->DownloadFile("/a/x.jpg", target, 5000, 0, nullptr));
    EXPECT_TRUE(Dir.Names().empty());
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{
                  "File Open Phone",
                  "File Read Phone Failed - BuffSize isn`t normal (0 > Buffer Size > 4096)",
                  "File Close Phone", "File Download Phone"}));
}

TEST_F(P2KTransfer, DownloadWritesDurablyBesideTheTarget) {
    // The temporary file is hidden in the target's own folder, so that the
    // rename only changes a name and the folder flush covers it. The data is
    // flushed before the file takes the name, and the name before the call
    // returns: the caller deletes the phone's copy then.
    Content = Pattern(1500);
    const std::string target = Dir.Path("x.jpg");
    ASSERT_TRUE(Item->DownloadFile("/a/x.jpg", target, 1000, 1500, nullptr));
    EXPECT_TRUE(Item->LastDownloadDurable());
    EXPECT_EQ(test::ReadAll(target), Content);
    EXPECT_TRUE(OnlyTarget("x.jpg"));
    const std::filesystem::path temp = Files.Created;
    EXPECT_EQ(temp.parent_path(), Dir.Root());
    EXPECT_EQ(temp.filename().string().rfind(".x.jpg.", 0), 0u);
    const std::string t = temp.string();
    EXPECT_EQ(Files.Log,
              (std::vector<std::string>{"create " + t, "write " + t, "write " + t, "sync-file " + t,
                                        "close " + t, "rename " + t + " " + target,
                                        "sync-folder " + Dir.Root() + "/"}));
}

TEST_F(P2KTransfer, DownloadLocalStepFailures) {
    // Each local step failing in turn over an earlier download of the same
    // name. Before the rename the earlier file stands and the temporary file
    // goes; after it the new file is complete but not known to be durable,
    // unless the file system has no folder flush at all. A disk that refuses
    // data (a write, or the close that reports a delayed failure) is the
    // disk's failure, raised with its reason, never the phone's.
    enum TResult { Throws, False, True };
    const struct {
        const char* Step;
        int Error;
        TResult Result;
        bool Durable;
    } cases[] = {
        {"create", EACCES, Throws, false},    {"write", ENOSPC, Throws, false},
        {"write", EDQUOT, Throws, false},     {"write", EIO, Throws, false},
        {"write", EROFS, Throws, false},      {"sync-file", EIO, Throws, false},
        {"close", EIO, Throws, false},        {"close", ENOSPC, Throws, false},
        {"rename", EXDEV, Throws, false},     {"sync-folder", EIO, True, false},
        {"sync-folder", EACCES, True, false},  // the folder cannot be opened
        {"sync-folder", EINVAL, True, true},  {"sync-folder", EOPNOTSUPP, True, true},
    };
    const std::string target = Dir.Path("x.jpg");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Step) + ": " + std::strerror(c.Error));
        // A durable download first, so that a flag left over would show.
        Files.Fail.clear();
        Content = Pattern(1400);
        Pos = 0;
        ASSERT_TRUE(Item->DownloadFile("/a/x.jpg", target, 1000, 1400, nullptr));
        ASSERT_TRUE(Item->LastDownloadDurable());

        Files.Fail = c.Step;
        Files.FailError = c.Error;
        Content = Pattern(1500);
        Pos = 0;
        TResult result = Throws;
        try {
            result = Item->DownloadFile("/a/x.jpg", target, 1000, 1500, nullptr) ? True : False;
        } catch (const std::system_error& e) {
            EXPECT_EQ(e.code().value(), c.Error);
            EXPECT_NE(std::string(e.what()).find(target), std::string::npos);
        }
        EXPECT_EQ(result, c.Result);
        EXPECT_EQ(Item->LastDownloadDurable(), c.Durable);
        EXPECT_TRUE(OnlyTarget("x.jpg"));
        EXPECT_EQ(test::ReadAll(target), c.Result == True ? Pattern(1500) : Pattern(1400));
        EXPECT_EQ(Phone.Sent.back().Payload(), (V{0, 0, 0, 4})) << "the phone file is closed";
    }
}

// A disk that refuses the second block ends the download there: the phone
// is asked for no further block, and its file is closed.
TEST_F(P2KTransfer, AFullDiskEndsTheDownloadAtItsFirstRefusedBlock) {
    Content = Pattern(5000);
    Files.Fail = "write";
    Files.FailError = ENOSPC;
    Files.FailFrom = 2;
    EXPECT_THROW(Item->DownloadFile("/a/x.jpg", Dir.Path("x.jpg"), 1000, 5000, nullptr),
                 std::system_error);
    EXPECT_EQ(Count(0x01), 2u) << "reads";
    EXPECT_EQ(Phone.Sent.back().Payload(), (V{0, 0, 0, 4}));
    EXPECT_TRUE(Dir.Names().empty()) << "no partial or temporary file";
}

TEST_F(P2KTransfer, DownloadChecksAndLocalErrors) {
    Content = Pattern(10);
    EXPECT_FALSE(Item->DownloadFile("", Dir.Path("x"), 1000, 0, nullptr));
    EXPECT_FALSE(Item->DownloadFile(std::string(256, 'p'), Dir.Path("x"), 1000, 0, nullptr));
    EXPECT_TRUE(Phone.Sent.empty());

    // The phone file cannot be opened: no local file, no further line.
    Log.clear();
    auto dead = Reply({});
    dead.Write = TExchangeResult::Failed;
    Phone.Replies.push_back(dead);
    EXPECT_FALSE(Item->DownloadFile("/a/x.jpg", Dir.Path("x"), 1000, 0, nullptr));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"File Open Phone Failed - Error Read Command"}));
    EXPECT_TRUE(Dir.Names().empty());

    // The local file cannot be created: the phone file is closed, then the
    // error is raised with the path.
    const std::string bad = Dir.Path("missing/x.jpg");
    Phone.Sent.clear();
    try {
        Item->DownloadFile("/a/x.jpg", bad, 1000, 0, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find(bad), std::string::npos);
        EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    }
    ASSERT_EQ(Phone.Sent.size(), 2u);
    EXPECT_EQ(Phone.Sent[1].Payload(), (V{0, 0, 0, 4}));

    Item->ClosePhone();
    Log.clear();
    EXPECT_FALSE(Item->DownloadFile("/a/x.jpg", Dir.Path("x"), 1000, 0, nullptr));
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"File Download Phone - Phone Not Open", dtError}}));
}

TEST_F(P2KTransfer, Upload) {
    const std::string local = Dir.Path("up.bin");
    test::WriteAll(local, Pattern(2500));
    std::vector<std::pair<int32_t, int32_t>> calls;
    EXPECT_TRUE(Item->UploadFile(local, "/a/up.bin", 1000, [&](int32_t D, int32_t T) {
        calls.emplace_back(D, T);
        return true;
    }));
    EXPECT_EQ(Phone.Sent[0].Payload(),
              (V{0, 0, 0, 0, 0, 0, 0, 0, '/', 'a', '/', 'u', 'p', '.', 'b', 'i', 'n'}));
    EXPECT_EQ(WriteSizes, (std::vector<size_t>{1000, 1000, 500}));
    EXPECT_EQ(Written, Pattern(2500));
    EXPECT_EQ(Phone.Sent[1].Payload()[6], 0x03);  // count 1000 = 00 00 03 E8
    EXPECT_EQ(Phone.Sent[1].Payload()[7], 0xE8);
    EXPECT_EQ(calls,
              (std::vector<std::pair<int32_t, int32_t>>{{1000, 2500}, {2000, 2500}, {2500, 2500}}));
    EXPECT_EQ(Count(0x04), 1u);
    EXPECT_EQ(Log.back(), (TLogLine{"File Upload Phone", dtInformation}));

    // BlockSize 4000 and a 3000-byte file: the first block is too large for
    // one write, so the phone file is opened and closed with nothing sent.
    test::WriteAll(local, Pattern(3000));
    Phone.Sent.clear();
    WriteSizes.clear();
    EXPECT_FALSE(Item->UploadFile(local, "/a/up.bin", 4000, nullptr));
    EXPECT_TRUE(WriteSizes.empty());
    EXPECT_EQ(Count(0x00), 1u);
    EXPECT_EQ(Count(0x04), 1u);

    // An empty file makes an empty phone file.
    test::WriteAll(local, {});
    Phone.Sent.clear();
    EXPECT_TRUE(Item->UploadFile(local, "/a/up.bin", 1000, nullptr));
    EXPECT_EQ(Phone.Sent.size(), 2u);
}

TEST_F(P2KTransfer, UploadFailures) {
    const std::string local = Dir.Path("up.bin");
    test::WriteAll(local, Pattern(2500));

    FailWriteAt = 2;
    EXPECT_FALSE(Item->UploadFile(local, "/a/up.bin", 1000, nullptr));
    EXPECT_EQ(Writes, 2);
    EXPECT_EQ(Phone.Sent.back().Payload(), (V{0, 0, 0, 4}));
    FailWriteAt = 0;

    CloseSaysNo = true;  // every byte went, but the phone did not close the file
    EXPECT_FALSE(Item->UploadFile(local, "/a/up.bin", 1000, nullptr));
    CloseSaysNo = false;

    Writes = 0;
    EXPECT_FALSE(
        Item->UploadFile(local, "/a/up.bin", 1000, [](int32_t, int32_t) { return false; }));
    EXPECT_EQ(Writes, 1);
    Writes = 0;
    EXPECT_TRUE(Item->UploadFile(local, "/a/up.bin", 1000, [](int32_t, int32_t) -> bool {
        throw std::runtime_error("progress");
    }));
    EXPECT_EQ(Writes, 3);

    Log.clear();
    Phone.Sent.clear();
    EXPECT_FALSE(Item->UploadFile(Dir.Path("none"), "/a/up.bin", 1000, nullptr));
    EXPECT_FALSE(Item->UploadFile(Dir.Root(), "/a/up.bin", 1000, nullptr));  // a folder
    EXPECT_FALSE(Item->UploadFile(local, "", 1000, nullptr));
    EXPECT_FALSE(Item->UploadFile(local, std::string(256, 'u'), 1000, nullptr));
    EXPECT_TRUE(Phone.Sent.empty());
    EXPECT_EQ(Log, std::vector<TLogLine>(4, {"File Upload Phone - FileName not normal", dtError}));

    Item->ClosePhone();
    Log.clear();
    EXPECT_FALSE(Item->UploadFile(local, "/a/up.bin", 1000, nullptr));
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"File Upload Phone - Phone Not Open", dtError}}));
}
