// The wire trace of snaprill-cli's commands on virtual phones, read back:
// what it holds is what the phone saw; replayed, it gives the same results.
#include "CliFixture.h"
#include "backend/TraceFormat.h"
#include "backend/TracingBackend.h"
#include "sim/ReplayPhone.h"
#include "sim/VirtualModem.h"
#include "sim/VirtualPhoneFolder.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

std::string hex4(uint16_t V) {
    const uint8_t B[2] = {uint8_t(V >> 8), uint8_t(V)};
    return HexBytes(B, 2);
}

std::vector<uint8_t> hexOf(const TTraceEvent& E, const char* Key) {
    std::vector<uint8_t> Out;
    if (const std::string* V = E.Find(Key)) {
        EXPECT_TRUE(ParseHexBytes(*V, Out)) << Key;
    }
    return Out;
}

std::vector<const TTraceEvent*> eventsOf(const std::vector<TTraceEvent>& Events,
                                         const std::string& Topic, const std::string& Event) {
    std::vector<const TTraceEvent*> Out;
    for (const auto& E : Events) {
        if (E.Topic == Topic && E.Event == Event) {
            Out.push_back(&E);
        }
    }
    return Out;
}

// Every request of the trace is the command the phone received, in order:
// the packet id, the command, the payload; file data held as a digest is
// the digest of what the phone got.
void expectRequestsAreWhatThePhoneSaw(const std::vector<TTraceEvent>& Events,
                                      const TVirtualPhone& Phone) {
    const auto requests = eventsOf(Events, "p2k", "request");
    ASSERT_EQ(requests.size(), Phone.Received().size());
    for (size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE("request " + std::to_string(i + 1));
        const TTraceEvent& e = *requests[i];
        const auto& r = Phone.Received()[i];
        EXPECT_EQ(e.Get("id"), hex4(r.PacketId));
        EXPECT_EQ(e.Get("cmd"), hex4(r.Command));
        std::vector<uint8_t> payload = hexOf(e, "payload");
        const std::vector<uint8_t> data = hexOf(e, "data");
        payload.insert(payload.end(), data.begin(), data.end());
        if (const std::string* sha = e.Find("data-sha256")) {
            ASSERT_LE(payload.size(), r.Payload.size());
            EXPECT_TRUE(std::equal(payload.begin(), payload.end(), r.Payload.begin()));
            EXPECT_EQ(*sha, Sha256Hex(r.Payload.data() + payload.size(),
                                      r.Payload.size() - payload.size()));
            EXPECT_EQ(e.Get("data-len"), std::to_string(r.Payload.size() - payload.size()));
        } else {
            EXPECT_EQ(payload, r.Payload);
        }
    }
}

}  // namespace

class CliTrace : public test::CliTest {
  protected:
    // Runs the command line with its wire trace going to TracePath.
    int runTraced(const std::vector<std::string>& Args, bool KeepData) {
        TTraceLog log(KeepData);
        EXPECT_TRUE(log.OpenFile(TracePath, [](const std::string& W) { ADD_FAILURE() << W; }));
        TTracedBackend traced(backend, log);
        return run(Args, &traced.Backend());
    }
    std::vector<TTraceEvent> readTrace() {
        const TTraceText t = ReadTraceFile(TracePath);
        EXPECT_EQ(t.Error, "") << "line " << t.ErrorLine;
        return t.Events;
    }
    std::string traceText() { return readLocal(QString::fromStdString(TracePath)).toStdString(); }

    std::string TracePath = (root + "/cmd.trace").toStdString();
    void SetUp() override {
        test::CliTest::SetUp();
        TracePath = (root + "/cmd.trace").toStdString();
    }
};

// A listing, a download that deletes, an upload and a modem switch: the
// trace holds each exchange as the phone saw it, the AT line as the modem
// read it, the phone's model and firmware, and a wire that is the same as
// without the trace.
TEST_F(CliTrace, EachExchangeAsThePhoneSawIt) {
    realWait = true;
    writeFile(root + "/up/u.jpg", QByteArray(2500, 'u'));
    const struct {
        const char* What;
        std::vector<std::string> Args;
        bool Modem;
    } commands[] = {
        {"listing", {"ls"}, false},
        {"download with delete-after", {"get", "--delete-after", "--to", "OUT"}, false},
        {"upload", {"put", "UP"}, false},
        {"modem switch", {"ls", "--files"}, true},
    };
    int n = 0;
    for (const auto& c : commands) {
        SCOPED_TRACE(c.What);
        const QString outDir = root + "/out" + QString::number(n);
        std::vector<std::string> args;
        for (const std::string& a : c.Args) {
            args.push_back(a == "OUT"  ? outDir.toStdString()
                           : a == "UP" ? (root + "/up/u.jpg").toStdString()
                                       : a);
        }
        const TFiles files = {{Pic + "p.jpg", test::FileBytes(9000, 1)},
                              {Pic + "q.jpg", test::FileBytes(100, 2)}};
        // The same command without a trace: the wire to compare with.
        auto plain = std::make_shared<TVirtualPhone>(phoneState("E398", files));
        auto phone = std::make_shared<TVirtualPhone>(phoneState("E398", files));
        std::unique_ptr<TVirtualModemPhone> modem;
        const std::string name = "p" + std::to_string(++n);
        if (c.Modem) {
            auto once = std::make_unique<TVirtualModemPhone>(devices, name + "x", plain);
            ASSERT_EQ(run(args), 0) << err.str();
            once.reset();
            modem = std::make_unique<TVirtualModemPhone>(devices, name, phone);
        } else {
            devices.PlugPhone(name + "x", plain);
            ASSERT_EQ(run(args), 0) << err.str();
            devices.UnplugPhone(name + "x");
            devices.PlugPhone(name, phone);
        }
        const std::string plainErr = err.str();
        QDir(outDir).removeRecursively();

        ASSERT_EQ(runTraced(args, false), 0) << err.str();
        EXPECT_EQ(err.str(), plainErr);
        const std::vector<TTraceEvent> events = readTrace();
        expectRequestsAreWhatThePhoneSaw(events, *phone);
        ASSERT_EQ(phone->Received().size(), plain->Received().size());
        for (size_t i = 0; i < plain->Received().size(); ++i) {
            EXPECT_EQ(phone->Received()[i].Payload, plain->Received()[i].Payload) << i;
        }
        // One fetch answered per request, and every status poll that did.
        EXPECT_EQ(eventsOf(events, "p2k", "reply").size(), phone->Received().size());
        const auto infos = eventsOf(events, "phone", "info");
        ASSERT_GE(infos.size(), 2u);
        EXPECT_EQ(infos[0]->Get("model"), "E398");
        EXPECT_EQ(infos[1]->Get("firmware"), "0A4A5A6A7A8A9B");
        const auto lines = eventsOf(events, "at", "write");
        if (c.Modem) {
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0]->Get("line"), "AT+Mode=8\r\n");
            EXPECT_EQ(modem->Modem().Lines(), std::vector<std::string>{"AT+Mode=8"});
            EXPECT_EQ(eventsOf(events, "usb", "removal").size(), 1u);
            EXPECT_EQ(eventsOf(events, "usb", "arrival").size(), 1u);
        } else {
            EXPECT_TRUE(lines.empty());
        }
        // The device as udev would have it, by its class.
        const auto seen = eventsOf(events, "usb", "device");
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back()->Get("class"), "p2k");
        EXPECT_EQ(seen.back()->Get("path"), "virtual:p2k/" + name);
        modem.reset();
        devices.UnplugPhone(name);
    }
}

// File contents are private: by default each read and write block is its
// length and SHA-256, and none of its bytes is in the trace; with
// --trace-data they are there, and make up the file.
TEST_F(CliTrace, FileDataHashedUnlessAskedFor) {
    const auto picture = test::FileBytes(9000, 5);
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        devices.UnplugPhone("one");
        plug("one", phoneState("E398", {{Pic + "p.jpg", picture}}));
        QDir(root + "/out").removeRecursively();
        ASSERT_EQ(runTraced({"get", "--to", (root + "/out").toStdString()}, keep), 0) << err.str();
        const std::vector<TTraceEvent> events = readTrace();
        std::vector<uint8_t> kept;
        size_t offset = 0;
        bool afterRead = false;
        for (const TTraceEvent& e : events) {
            if (e.Topic == "p2k" && e.Event == "request") {
                afterRead = e.Get("cmd") == "004a" && e.Get("payload").rfind("00000001", 0) == 0;
            }
            if (e.Topic != "p2k" || e.Event != "reply" || !afterRead) {
                continue;
            }
            if (keep) {
                EXPECT_EQ(e.Find("data-sha256"), nullptr);
                const auto d = hexOf(e, "data");
                kept.insert(kept.end(), d.begin(), d.end());
            } else {
                EXPECT_EQ(e.Find("data"), nullptr);
                const size_t len = std::stoul(e.Get("data-len"));
                ASSERT_LE(offset + len, picture.size());
                EXPECT_EQ(e.Get("data-sha256"), Sha256Hex(picture.data() + offset, len));
                offset += len;
            }
        }
        EXPECT_EQ(keep ? kept.size() : offset, picture.size());
        if (keep) {
            EXPECT_EQ(kept, picture);
        }
        const bool bytesInTrace =
            traceText().find(HexBytes(picture.data() + 100, 32)) != std::string::npos;
        EXPECT_EQ(bytesInTrace, keep);
        // The file's name is there either way: a listing needs it.
        EXPECT_NE(traceText().find(HexBytes(reinterpret_cast<const uint8_t*>("p.jpg"), 5)),
                  std::string::npos);
    }
}

class CliReplay : public CliTrace {
  protected:
    // Runs Args on the phone of the trace file put in a folder of virtual
    // phones as Name.trace, on a device source of its own.
    int replay(const std::vector<std::string>& Args, const std::string& Name,
               std::shared_ptr<TTraceReplay>* Replay = nullptr) {
        const QString folder = root + "/replay-" + QString::number(++replays_);
        QDir().mkpath(folder);
        QFile::copy(QString::fromStdString(TracePath),
                    folder + "/" + QString::fromStdString(Name) + ".trace");
        TVirtualDeviceSource replayDevices;
        TVirtualP2KTransport replayTransport(replayDevices);
        TPhoneBackend phones{replayDevices, replayTransport, serial, clock};
        TVirtualPhoneFolder phoneFolder(replayDevices, folder.toStdString(),
                                        StartVirtualModemPhone);
        phoneFolder.SetOnReplayMessage([this](const std::string& M) { Messages.push_back(M); });
        phoneFolder.Rescan();
        if (Replay != nullptr) {
            *Replay = phoneFolder.Replay(Name);
        }
        const int exit = run(Args, &phones);
        Remaining = phoneFolder.Replay(Name) ? phoneFolder.Replay(Name)->Remaining() : 999;
        return exit;
    }
    // The user's local files of a run, gone before the next.
    void forget() {
        QDir(root + "/out").removeRecursively();
        QDir(root + "/data").removeRecursively();
    }

    std::vector<std::string> Messages;
    size_t Remaining = 0;
    int replays_ = 0;
};

// Every command recorded on a virtual phone and replayed from its trace:
// the same output, errors and exit status, every exchange of the trace
// used, nothing that differs; with the data in the trace the files too.
TEST_F(CliReplay, EveryCommandGivesTheSameResults) {
    realWait = true;
    writeFile(root + "/up/u.jpg", QByteArray(2500, 'u'));
    const std::string dir = (root + "/out").toStdString();
    const struct {
        std::vector<std::string> Args;
        bool Modem;
    } commands[] = {
        {{"phones"}, false},
        {{"ls"}, false},
        {{"--json", "ls", "--files"}, false},
        {{"get", "--to", dir}, false},
        {{"get", "--delete-after", "--to", dir, "p.jpg"}, false},
        {{"put", (root + "/up/u.jpg").toStdString()}, false},
        {{"rm", "q.jpg"}, false},
        {{"get", "--to", dir, "none.jpg"}, false},
        {{"ls"}, true},
        {{"get", "--wait", "10", "--to", dir}, true},
    };
    int n = 0;
    for (const auto& c : commands) {
        SCOPED_TRACE(c.Args[0] + " " + c.Args.back() + (c.Modem ? " (modem)" : ""));
        const TFiles files = {{Pic + "p.jpg", test::FileBytes(9000, 1)},
                              {Pic + "q.jpg", test::FileBytes(300, 2)}};
        auto phone = std::make_shared<TVirtualPhone>(phoneState("V3", files));
        const std::string name = "ph" + std::to_string(++n);
        std::unique_ptr<TVirtualModemPhone> modem;
        if (c.Modem) {
            modem = std::make_unique<TVirtualModemPhone>(devices, name, phone);
        } else {
            devices.PlugPhone(name, phone);
        }
        forget();
        const int recorded = runTraced(c.Args, true);
        const std::string recordedOut = out.str() + "", recordedErr = err.str() + "";
        const QStringList recordedFiles = filesUnder(root + "/out");
        const QByteArray picture = readLocal(root + "/out/p.jpg");
        modem.reset();
        devices.UnplugPhone(name);

        forget();
        EXPECT_EQ(replay(c.Args, name), recorded);
        EXPECT_EQ(out.str(), recordedOut);
        EXPECT_EQ(err.str(), recordedErr);
        EXPECT_EQ(filesUnder(root + "/out"), recordedFiles);
        EXPECT_EQ(readLocal(root + "/out/p.jpg"), picture);
        EXPECT_EQ(Messages, std::vector<std::string>{});
        EXPECT_EQ(Remaining, 0u);
    }
}

// A program whose traffic changed: the replay stops at the first request
// that differs, with the exchange's number, the bytes the trace has and
// the bytes received, told once.
TEST_F(CliReplay, ARequestThatDiffersEndsTheReplayWithADiff) {
    plug("one", phoneState("V3", {{Pic + "p.jpg", test::FileBytes(100)}}));
    ASSERT_EQ(runTraced({"ls"}, false), 0);
    // The listing's search for the pictures is the request that will differ.
    std::string exchange, setup;
    for (const TTraceEvent& e : readTrace()) {
        if (e.Event == "request" && e.Get("payload").rfind("00000007", 0) == 0) {
            exchange = e.Get("n");
            setup = e.Get("setup");
            break;
        }
    }
    ASSERT_FALSE(exchange.empty());
    std::shared_ptr<TTraceReplay> replayed;
    replay({"ls", "--files"}, "one", &replayed);
    ASSERT_TRUE(replayed);
    const std::string diff = replayed->Failure();
    EXPECT_EQ(diff.rfind("replay of one.trace stopped at exchange " + exchange +
                             ": the trace has the request " + setup,
                         0),
              0u)
        << diff;
    EXPECT_NE(diff.find(", the program sent 410200000800"), std::string::npos) << diff;
    EXPECT_NE(diff.find("; they differ from byte "), std::string::npos) << diff;
    EXPECT_EQ(Messages, std::vector<std::string>{diff});
}

// A phone whose reply is broken (cut short, or with a length field that
// lies): the replay of the trace ends in the same handled failure as the
// live run, with the file data held as digests (answered with filler).
TEST_F(CliReplay, BrokenRepliesReplayIntoTheSameFailure) {
    // Break(faults, whether the exchange is the second block's fetch).
    const struct {
        const char* What;
        std::function<void(TVirtualPhoneFaults&, bool)> Break;
        std::vector<std::string> Args;
    } cases[] = {
        {"a block cut short",
         [](TVirtualPhoneFaults& F, bool Second) {
             F.TruncateResponseTo = Second ? std::optional<size_t>(100) : std::nullopt;
         },
         {"get", "--to", (root + "/out").toStdString()}},
        {"a block whose length lies",
         [](TVirtualPhoneFaults& F, bool Second) {
             F.ClaimedLength = Second ? std::optional<uint16_t>(10) : std::nullopt;
         },
         {"get", "--to", (root + "/out").toStdString()}},
        {"every length lies", [](TVirtualPhoneFaults& F, bool) { F.LengthLies = true; }, {"ls"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string name = "b" + std::to_string(++n);
        auto phone = plug(name, phoneState("V3", {{Pic + "p.jpg", test::FileBytes(9000)}}));
        transport.SetExchangeHook([&](TVirtualP2KTransport::TExchange, const std::string&,
                                      uint64_t) {
            int reads = 0;
            for (const auto& r : phone->Received()) {
                reads += r.Command == 0x4A && r.Payload.size() > 3 && r.Payload[3] == 1;
            }
            const auto& last = phone->Received();
            c.Break(phone->Faults(), reads == 2 && !last.empty() && last.back().Payload[3] == 1);
        });
        forget();
        const int live = runTraced(c.Args, false);
        transport.SetExchangeHook(nullptr);
        const std::string liveOut = out.str() + "", liveErr = err.str() + "";
        EXPECT_NE(liveOut + liveErr, "");
        devices.UnplugPhone(name);
        forget();
        EXPECT_EQ(replay(c.Args, name), live);
        EXPECT_EQ(out.str(), liveOut);
        EXPECT_EQ(err.str(), liveErr);
        EXPECT_EQ(Messages, std::vector<std::string>{});
        EXPECT_EQ(Remaining, 0u);
    }
}

// A user's trace of a failure, kept as a test: the phone whose last block
// of a picture came back empty. The download fails with its reason, leaves
// no file, and the program's traffic is still the traced one.
TEST_F(CliReplay, AUsersTraceOfAFailure) {
    TracePath = SNAPRILL_SOURCE_DIR "/tests/cli/empty-last-block.trace";
    EXPECT_EQ(replay({"get", "--to", (root + "/out").toStdString()}, "v3"), 1);
    EXPECT_EQ(err.str(),
              "snaprill-cli: download of /a/mobile/picture/beach.jpg failed: the phone did not "
              "give all of it\n");
    EXPECT_EQ(filesUnder(root + "/out"), QStringList{});
    EXPECT_EQ(Messages, std::vector<std::string>{});
    EXPECT_EQ(Remaining, 0u);
}
