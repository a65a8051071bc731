#include <gtest/gtest.h>

#include <stdexcept>

#include "support/P2KTestItem.h"

using test::Bytes;
using test::Reply;
using test::TLogLine;

namespace {
class P2KFiles : public ::testing::Test, public test::TP2KFixtureBase {};
using V = std::vector<uint8_t>;

V Entry(const std::string& Name, uint8_t A, uint8_t B, uint32_t Size) {
    V e(268, 0);
    std::copy_n(Name.begin(), std::min<size_t>(Name.size(), 260), e.begin());
    e[260] = A;
    e[261] = B;
    e[262] = 0xEE;  // not interpreted
    e[264] = static_cast<uint8_t>(Size >> 24);
    e[265] = static_cast<uint8_t>(Size >> 16);
    e[266] = static_cast<uint8_t>(Size >> 8);
    e[267] = static_cast<uint8_t>(Size);
    return e;
}

test::TScriptedReply ListReply(const std::vector<V>& Entries) {
    V r{0x00, 0x00, 0x00, 0x03};
    for (const auto& e : Entries) {
        r.insert(r.end(), e.begin(), e.end());
    }
    return Reply(r);
}

test::TScriptedReply Dead() {
    auto r = Reply({});
    r.Write = TExchangeResult::Failed;
    return r;
}
}  // namespace

TEST_F(P2KFiles, ListBatchesAndEntries) {
    OpenQuietly();
    std::vector<TP2KFile> seen;
    auto collect = [&](const TP2KFile& F) {
        seen.push_back(F);
        return true;
    };
    EXPECT_FALSE(Item->GetFileList(0, nullptr, collect));
    EXPECT_FALSE(Item->GetFileList(-1, nullptr, collect));
    EXPECT_TRUE(Phone.Sent.empty());
    EXPECT_TRUE(Log.empty());

    Phone.Replies.push_back(
        ListReply({Entry("/a/1.jpg", 0x01, 0x02, 1000), Entry("/a/2.jpg", 0x10, 0x00, 0x80000000u),
                   Entry("/a/3.jpg", 0x40, 0x40, 7)}));
    Phone.Replies.push_back(ListReply({}));
    EXPECT_TRUE(Item->GetFileList(2, nullptr, collect));
    ASSERT_EQ(Phone.Sent.size(), 2u);
    EXPECT_EQ(Phone.Sent[1].Payload(), (V{0x00, 0x00, 0x00, 0x08, 0x03}));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].Name, "/a/1.jpg");
    EXPECT_EQ(seen[0].Size, 1000);
    EXPECT_EQ(seen[0].Attributes, TP2KFileAttrs::Of({atBit0, atBit1}));
    EXPECT_EQ(seen[1].Attributes, TP2KFileAttrs::Of({atBit4}));
    EXPECT_EQ(seen[1].Size, INT32_MIN);
    EXPECT_EQ(seen[2].Attributes, TP2KFileAttrs{});  // 0x40 + 0x40: bit 7 only, a sum
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"Get File List Phone", dtInformation}}));

    // Reply sizes: 4 and 271 bytes hold no entry, 272 one, an oversized one
    // at most three; a 260-byte name without NUL is kept whole.
    seen.clear();
    Phone.Replies.push_back(Reply({0, 0, 0, 0}));
    auto one = ListReply({Entry(std::string(260, 'n'), 0xFF, 0x01, 1)});
    auto cut = one;
    cut.Data.pop_back();
    Phone.Replies.push_back(cut);
    Phone.Replies.push_back(one);
    auto liar = ListReply(
        {Entry("a", 0, 0, 0), Entry("b", 0, 0, 0), Entry("c", 0, 0, 0), Entry("d", 0, 0, 0)});
    liar.LengthField = 0xFFFF;
    Phone.Replies.push_back(liar);
    EXPECT_TRUE(Item->GetFileList(4, nullptr, collect));
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].Name, std::string(260, 'n'));
    EXPECT_EQ(seen[0].Attributes, TP2KFileAttrs{});  // 0xFF + 0x01 = 0x100
    EXPECT_EQ(seen[3].Name, "c");
}

TEST_F(P2KFiles, ListStopsFailsAndFills) {
    OpenQuietly();
    // The callback stops on its first entry; no second request.
    Phone.DefaultReply = ListReply({Entry("x", 0, 0, 1), Entry("y", 0, 0, 2)});
    int calls = 0;
    EXPECT_TRUE(Item->GetFileList(5, nullptr, [&](const TP2KFile&) {
        ++calls;
        return false;
    }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Phone.Sent.size(), 1u);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Get File List Phone"}));

    // A throwing callback counts as "go on".
    calls = 0;
    EXPECT_TRUE(Item->GetFileList(2, nullptr, [&](const TP2KFile&) -> bool {
        ++calls;
        throw std::runtime_error("callback");
    }));
    EXPECT_EQ(calls, 4);

    // Files: one element per entry, never past the array's end.
    TP2KFiles files(3);
    EXPECT_TRUE(Item->GetFileList(2, &files, nullptr));
    EXPECT_EQ(files[0].Name, "x");
    EXPECT_EQ(files[1].Name, "y");
    EXPECT_EQ(files[2].Name, "x");
    EXPECT_EQ(files[2].Size, 1);
    TP2KFiles none;
    EXPECT_TRUE(Item->GetFileList(1, &none, nullptr));

    // A failed request ends the listing, which still reports its line.
    Log.clear();
    Phone.Replies.push_back(ListReply({Entry("z", 0, 0, 1)}));
    Phone.Replies.push_back(Dead());
    calls = 0;
    EXPECT_TRUE(Item->GetFileList(3, nullptr, [&](const TP2KFile&) { return ++calls > 0; }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Log,
              (std::vector<TLogLine>{{"Get File List Phone Failed - Error Read Command", dtError},
                                     {"Get File List Phone", dtInformation}}));
}

TEST_F(P2KFiles, FileOpen) {
    OpenQuietly();
    EXPECT_TRUE(Item->FileOpen("/a/x.jpg", TP2KFileAttrs::Of({atAny})));
    EXPECT_EQ(Phone.Sent[0].Payload(), (V{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x2F,
                                          0x61, 0x2F, 0x78, 0x2E, 0x6A, 0x70, 0x67}));
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"File Open Phone", dtInformation}}));

    EXPECT_TRUE(Item->FileOpen("n", TP2KFileAttrs::Of({atAny, atBit1})));
    EXPECT_EQ(Phone.Sent[1].Payload(), (V{0, 0, 0, 0, 0, 0, 0, 0x02, 'n'}));
    EXPECT_TRUE(Item->FileOpen("", TP2KFileAttrs::Of({atBit0, atBit2})));
    EXPECT_EQ(Phone.Sent[2].Payload(), (V{0, 0, 0, 0, 0, 0, 0, 0x05}));
    EXPECT_TRUE(Item->FileOpen(std::string(256, 'f'), TP2KFileAttrs{}));
    EXPECT_EQ(Phone.Sent[3].Payload().size(), 8u + 256u);
    EXPECT_EQ(Phone.Sent[3].Payload()[7], 0x00);

    Log.clear();
    EXPECT_FALSE(Item->FileOpen(std::string(257, 'f'), TP2KFileAttrs{}));
    for (auto a : {atBit3, atBit4, atBit5, atBit6}) {
        EXPECT_FALSE(Item->FileOpen("n", TP2KFileAttrs::Of({a, atBit0})));
    }
    EXPECT_EQ(Phone.Sent.size(), 4u);
    Phone.Replies.push_back(Dead());
    EXPECT_FALSE(Item->FileOpen("n", TP2KFileAttrs{}));
    const std::string attr = "File Open Phone Failed - Attribute File isn`t normal";
    EXPECT_EQ(Texts(), (std::vector<std::string>{"File Open Phone Failed - File name isn`t normal",
                                                 attr, attr, attr, attr,
                                                 "File Open Phone Failed - Error Read Command"}));
}

TEST_F(P2KFiles, FileRead) {
    OpenQuietly();
    std::vector<uint8_t> buf(4096, 0xAA);
    Phone.Replies.push_back(Reply({1, 2, 3}));
    EXPECT_EQ(Item->FileRead(buf.data(), 4000), 3);
    EXPECT_EQ(Phone.Sent[0].Payload(), (V{0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xA0}));
    EXPECT_EQ(buf[2], 3);
    EXPECT_EQ(Log, (std::vector<TLogLine>{{"File Read Phone", dtInformation}}));

    // 4096 is asked for; one reply carries what fits the response buffer.
    Phone.Replies.push_back(Reply(V(4096, 0x11)));
    EXPECT_EQ(Item->FileRead(buf.data(), 4096), static_cast<int32_t>(P2KMaxReplyData));
    EXPECT_EQ(Phone.Sent[1].Payload(), (V{0, 0, 0, 1, 0x00, 0x00, 0x10, 0x00}));
    EXPECT_EQ(Item->FileRead(buf.data(), 0), 0);
    EXPECT_EQ(Phone.Sent[2].Payload(), (V{0, 0, 0, 1, 0, 0, 0, 0}));

    // A reply longer than asked for is cut to the caller's buffer.
    std::vector<uint8_t> small(10, 0);
    Phone.Replies.push_back(Reply(V(20, 0x22)));
    EXPECT_EQ(Item->FileRead(small.data(), 10), 10);

    Log.clear();
    EXPECT_EQ(Item->FileRead(buf.data(), 4097), 0);
    EXPECT_EQ(Item->FileRead(buf.data(), -1), 0);
    EXPECT_EQ(Phone.Sent.size(), 4u);
    Phone.Replies.push_back(Dead());
    EXPECT_EQ(Item->FileRead(buf.data(), 10), 0);
    const std::string size =
        "File Read Phone Failed - BuffSize isn`t normal (0 > Buffer Size > 4096)";
    EXPECT_EQ(Texts(), (std::vector<std::string>{size, size,
                                                 "File Read Phone Failed - Error Read Command"}));
}

TEST_F(P2KFiles, WriteCloseDelete) {
    OpenQuietly();
    EXPECT_TRUE(Item->FileWrite(3, V{7, 8, 9}.data()));
    EXPECT_EQ(Phone.Sent[0].Payload(), (V{0, 0, 0, 2, 0, 0, 0, 3, 7, 8, 9}));
    V block(1024, 0x33);
    EXPECT_TRUE(Item->FileWrite(1024, block.data()));
    EXPECT_EQ(Phone.Sent[1].Payload().size(), 1032u);
    EXPECT_TRUE(Item->FileWrite(0, nullptr));
    block.push_back(0);
    EXPECT_FALSE(Item->FileWrite(1025, block.data()));
    EXPECT_FALSE(Item->FileWrite(-1, block.data()));
    EXPECT_EQ(Phone.Sent.size(), 3u);
    EXPECT_EQ(Log.back().Type, dtError);
    Phone.Replies.push_back(Dead());
    EXPECT_FALSE(Item->FileWrite(1, block.data()));
    EXPECT_EQ(Log.back(), (TLogLine{"File Write Phone Failed - Error Read Command", dtError}));

    Log.clear();
    EXPECT_TRUE(Item->FileClose());
    EXPECT_EQ(Phone.Sent.back().Payload(), (V{0, 0, 0, 4}));
    Phone.Replies.push_back(Reply({0x01}));
    EXPECT_FALSE(Item->FileClose());  // a reply with data means it did not close
    Phone.Replies.push_back(Dead());
    EXPECT_FALSE(Item->FileClose());
    EXPECT_EQ(Texts(), (std::vector<std::string>{"File Close Phone", "File Close Phone",
                                                 "File Close Phone Failed - Error Read Command"}));

    Log.clear();
    EXPECT_TRUE(Item->FileDelete("/a/x.jpg"));
    EXPECT_EQ(Phone.Sent.back().Payload(),
              (V{0x00, 0x00, 0x00, 0x05, 0x2F, 0x61, 0x2F, 0x78, 0x2E, 0x6A, 0x70, 0x67}));
    Phone.Replies.push_back(Reply({0x00, 0x01, 0x02}));
    EXPECT_FALSE(Item->FileDelete("/a/x.jpg"));
    Phone.Replies.push_back(Dead());
    EXPECT_FALSE(Item->FileDelete("/a/x.jpg"));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"File Delete Phone", "File Delete Phone",
                                                 "File Delete Phone Failed - Error Read Command"}));
}

TEST_F(P2KFiles, ClosedPhoneFailsTheTransaction) {
    EXPECT_FALSE(Item->FileOpen("/a/x.jpg", TP2KFileAttrs{}));
    EXPECT_TRUE(Item->GetFileList(1, nullptr, nullptr));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"File Open Phone Failed - Error Read Command",
                                                 "Get File List Phone Failed - Error Read Command",
                                                 "Get File List Phone"}));
}

// Names and paths whose payload cannot fit one command are refused as a
// failed command, never sent cut short.
TEST_F(P2KFiles, OversizedPayloadsAreRefused) {
    OpenQuietly();
    const std::string huge(70000, 'n');  // its payload length does not even fit 16 bits
    EXPECT_FALSE(Item->FileDelete(huge));
    EXPECT_FALSE(Item->FileDelete(std::string(4085, 'n')));  // 4089 bytes
    EXPECT_EQ(Item->GetFileCount(huge), 0);
    EXPECT_TRUE(Phone.Sent.empty());
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"File Delete Phone Failed - Error Read Command",
                                        "File Delete Phone Failed - Error Read Command",
                                        "Get File Count Phone Failed - Error Read Command"}));
    EXPECT_TRUE(Item->FileDelete(std::string(4084, 'n')));  // exactly 4088 bytes
    ASSERT_EQ(Phone.Sent.size(), 1u);
    EXPECT_EQ(Phone.Sent[0].Payload().size(), 4088u);
}
