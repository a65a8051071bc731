// A phone pulled out at every exchange of `get --delete-after`, from the
// command line's first phone command to its last: whichever exchange it
// hits, no picture is lost, none stands partial or corrupted under its
// name, no temporary file is left, and the exit status is 3.
#include "CliFixture.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}  // namespace

class CliFaultMatrix : public test::CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        for (int i = 0; i < 3; ++i) {
            // Over one 4000-byte block, so a picture takes two reads.
            pictures[Pic + "p" + std::to_string(i) + ".jpg"] =
                test::FileBytes(4500 + 300 * size_t(i), unsigned(i + 1));
        }
    }
    // A fresh phone and an empty folder; the exchange count at the start.
    uint64_t prepare() {
        devices.UnplugPhone("one");
        devices.DispatchPending();
        QDir(out()).removeRecursively();
        phone = plug("one", phoneState("E398", pictures));
        phone->KeepReceived(false);
        return transport.Exchanges();
    }
    int get() { return run({"get", "--delete-after", "-q", "--to", out().toStdString()}); }
    QString out() const { return root + "/out"; }

    // What must hold after every run; the failures, empty when all held.
    std::string check() {
        std::string bad;
        for (const auto& [name, data] : pictures) {
            const QString local = out() + "/" + QString::fromStdString(name.substr(Pic.size()));
            const bool present = QFile::exists(local);
            if (present && readLocal(local) != test::asBytes(data)) {
                bad += "corrupt " + name + "; ";
            }
            if (!phone->State().Files.contains(name) && !present) {
                bad += "lost " + name + "; ";
            }
        }
        for (const QString& f : filesUnder(root)) {
            // The pictures fetched, and the record of them in the history.
            if ((!f.startsWith("out/p") && f != "data/history.txt") || f.endsWith(".part")) {
                bad += "stray " + f.toStdString() + "; ";
            }
        }
        return bad;
    }

    TFiles pictures;
    std::shared_ptr<TVirtualPhone> phone;
};

TEST_F(CliFaultMatrix, PhonePulledOutAtEveryExchangeOfGetDeleteAfter) {
    const uint64_t start = prepare();
    ASSERT_EQ(get(), 0) << err.str();
    ASSERT_EQ(check(), "");
    ASSERT_TRUE(phone->State().Files.empty());
    const uint64_t exchanges = transport.Exchanges() - start;
    ASSERT_GT(exchanges, 30u);
    for (uint64_t k = 0; k < exchanges; ++k) {
        const uint64_t at = prepare() + k;
        transport.SetExchangeHook([&](auto, const std::string&, uint64_t Index) {
            if (Index == at) {
                devices.UnplugPhone("one");
            }
        });
        const int status = get();
        transport.SetExchangeHook(nullptr);
        EXPECT_EQ(status, 3) << "pulled out at exchange " << k << " of " << exchanges << "\n"
                             << err.str();
        EXPECT_EQ(check(), "") << "pulled out at exchange " << k << " of " << exchanges;
    }
    std::printf("%llu exchanges, each one pulled out\n",
                static_cast<unsigned long long>(exchanges));
}

// The same, with the removal event delivered at once or only after the
// command's end: the phone is asked, so every run says the phone was lost
// and blames none of its pictures, a hundred runs in a row and more.
TEST_F(CliFaultMatrix, APulledPhoneIsLostWhicheverComesFirstTheEventOrTheEnd) {
    const uint64_t start = prepare();
    ASSERT_EQ(get(), 0) << err.str();
    const uint64_t exchanges = transport.Exchanges() - start;
    int runs = 0, lostTold = 0;
    for (uint64_t k = 0; runs < 100 || k < exchanges; ++k) {
        for (const bool eventFirst : {true, false}) {
            const uint64_t at = prepare() + k % exchanges;
            transport.SetExchangeHook([&](auto, const std::string&, uint64_t Index) {
                if (Index == at) {
                    devices.HoldEvents(!eventFirst);
                    devices.UnplugPhone("one");
                    if (eventFirst) {
                        devices.DispatchPending();
                    }
                }
            });
            err.str("");
            const int status = get();
            transport.SetExchangeHook(nullptr);
            devices.HoldEvents(false);
            ++runs;
            const std::string said = err.str();
            const std::string where = "exchange " + std::to_string(k % exchanges) +
                                      (eventFirst ? ", event first\n" : ", event after\n") + said;
            EXPECT_EQ(status, 3) << where;
            // Pulled before the phone was chosen it is no phone, or one that
            // does not answer; after, one lost during the command.
            lostTold += said.find("phone 1 was lost during the command") != std::string::npos;
            for (const char* blame : {"did not give", "did not delete", "failed"}) {
                EXPECT_EQ(said.find(blame), std::string::npos) << blame << ": " << where;
            }
            EXPECT_EQ(check(), "") << where;
        }
    }
    EXPECT_GT(lostTold, runs / 2);
    std::printf("%d runs, %d told the phone was lost\n", runs, lostTold);
}
