// What front ends act on comes as typed events and outcomes, never as Log
// lines to be read: each event stands beside its Log line and carries what
// the line says, and each command ends with one outcome that names it, says
// how it ended and counts every file it was given.
#include <QDir>
#include <algorithm>

#include "core/SessionFixture.h"
#include "support/ExchangeFaults.h"
#include "support/VirtualRig.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

// Whether a Log line is one a typed event stands beside.
bool eventful(const std::string& Entry) {
    for (const char* text : {"P2K devices found", "could not be read in full", "stays on the phone",
                             "Switching to P2K mode"}) {
        if (Entry.rfind("line ", 0) == 0 && Entry.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool isEvent(const std::string& Entry) {
    return Entry.rfind("event ", 0) == 0;
}

}  // namespace

class SessionEvents : public test::SessionTest {
  protected:
    // A session started on the phones plugged so far, its Log lines and
    // typed events in one stream, in the order they came.
    TPhoneSession& listen() {
        devices.DispatchPending();
        session = std::make_unique<TPhoneSession>(backend, host);
        TPhoneSession* s = session.get();
        QObject::connect(s, &TPhoneSession::logged, [this](const TSessionMsg& M) {
            log.push_back(builtInText(M));
            stream.push_back("line " + builtInText(M).toStdString());
        });
        QObject::connect(s, &TPhoneSession::listIncomplete,
                         [this] { stream.push_back("event incomplete"); });
        QObject::connect(s, &TPhoneSession::keptOnPhone, [this](const std::string& Name) {
            stream.push_back("event kept " + Name);
        });
        QObject::connect(s, &TPhoneSession::phonesFound, [this](int Count) {
            stream.push_back("event found " + std::to_string(Count));
        });
        QObject::connect(s, &TPhoneSession::commandEnded, [this, s](const TCommandOutcome& O) {
            ended.push_back(O);
            busyAtEnd = busyAtEnd || s->Busy();
        });
        s->Start();
        return *s;
    }
    // Each Log line that has an event, with the event just after it; and
    // each event that came without its line.
    std::vector<std::string> pairs() const {
        std::vector<std::string> out;
        for (size_t i = 0; i < stream.size(); ++i) {
            const bool hasNext = i + 1 < stream.size() && isEvent(stream[i + 1]);
            if (eventful(stream[i])) {
                out.push_back(stream[i] + " | " + (hasNext ? stream[i + 1] : "no event"));
            } else if (isEvent(stream[i]) && (i == 0 || !eventful(stream[i - 1]))) {
                out.push_back("no line | " + stream[i]);
            }
        }
        return out;
    }

    std::vector<std::string> stream;
    std::vector<TCommandOutcome> ended;
    bool busyAtEnd = false;
};

TEST_F(SessionEvents, EachEventComesBesideItsLogLine) {
    struct TCase {
        const char* What;
        std::function<void()> Run;
        std::vector<std::string> Pairs;
    };
    const TCase cases[] = {
        {"two phones found, then one unplugged",
         [&] {
             plug("one", phoneState("A", "0A"));
             plug("two", phoneState("B", "0B"));
             listen();
             devices.UnplugPhone("two");
             devices.DispatchPending();
         },
         {"line 2 P2K devices found | event found 2", "line 1 P2K devices found | event found 1"}},
        {"a listing whose first read fails",
         [&] {
             auto phone = plug("one", phoneState("A", "0A",
                                                 {{Pic + "a.jpg", test::FileBytes(10)},
                                                  {Pic + "b.jpg", test::FileBytes(10)}}));
             listen();
             QObject::connect(session.get(), &TPhoneSession::listingStarted, [&, phone](int) {
                 transport.SetExchangeHook(test::exchangeFault(
                     test::TFault::Fail, transport.Exchanges(), devices, "one", phone));
             });
             session->Refresh();
             transport.SetExchangeHook(nullptr);
         },
         {"line 1 P2K devices found | event found 1",
          "line The file list could not be read in full | event incomplete"}},
        {"a picture whose copy could not be flushed stays on the phone",
         [&] {
             plug("one", phoneState("A", "0A", {{Pic + "a.jpg", test::FileBytes(10)}}));
             host.DeleteAfter = true;
             listen();
             selectAll();
             files.Fail = "sync-folder";
             session->Download();
             files.Fail.clear();
         },
         {"line 1 P2K devices found | event found 1",
          "line " + Pic +
              "a.jpg stays on the phone: its copy could not be flushed to the disk | event kept " +
              Pic + "a.jpg"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        session.reset();
        for (const char* name : {"one", "two"}) {
            devices.UnplugPhone(name);
        }
        devices.DispatchPending();
        QDir(root).removeRecursively();
        stream.clear();
        host.DeleteAfter = false;
        c.Run();
        EXPECT_EQ(pairs(), c.Pairs);
    }
}

TEST_F(SessionEvents, EveryCommandEndsWithOneOutcomeThatCountsItsFiles) {
    const std::string a = Pic + "a.jpg", b = Pic + "b.jpg", c = Pic + "c.jpg";
    const QString up = root + "/up/";
    QDir().mkpath(up);
    for (const char* n : {"u.jpg", "v.jpg"}) {
        QFile f(up + n);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1500, n[0]));
    }
    struct TCase {
        const char* What;
        std::function<void(TVirtualPhone&)> Run;
        TCommandOutcome Want;  // Reason: empty, or the start of the reason
    };
    auto download = [&](TVirtualPhone&) {
        selectAll();
        session->Download();
    };
    const TCase cases[] = {
        {"a refresh",
         [&](TVirtualPhone&) { session->Refresh(); },
         {TCommandKind::List, TCommandEnd::Done, {}, 0, 0, 0, 0, 0}},
        {"a whole download",
         download,
         {TCommandKind::Download, TCommandEnd::Done, {}, 3, 0, 0, 0, 0}},
        {"delete after: one existing, two failed, one deleted",
         [&](TVirtualPhone& P) {
             host.DeleteAfter = true;
             QDir().mkpath(host.Folder);
             QFile existing(host.Folder + "b.jpg");
             ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
             // Reads are of 1000 bytes: only the small picture arrives.
             P.Faults().FailReadAtBlock = 2;
             P.Faults().BlockFailuresStall = false;
             P.State().Files[c] = {test::FileBytes(500), 0, 0};
             session->Refresh();
             download(P);
         },
         {TCommandKind::Download, TCommandEnd::Done, {}, 1, 1, 2, 0, 1}},
        {"stopped in its second picture",
         [&](TVirtualPhone& P) {
             QObject::connect(session.get(), &TPhoneSession::transferFileStep, [&](int Step) {
                 if (Step == 2) {
                     session->Stop();
                 }
             });
             download(P);
         },
         {TCommandKind::Download, TCommandEnd::Stopped, {}, 1, 0, 0, 2, 0}},
        {"a local file that cannot be made",
         [&](TVirtualPhone& P) {
             files.Fail = "create";
             download(P);
             files.Fail.clear();
         },
         {TCommandKind::Download, TCommandEnd::LocalFailure, "Input/output error", 0, 0, 1, 2, 0}},
        {"another phone plugged in during it",
         [&](TVirtualPhone& P) {
             host.OnPump = [&](int) {
                 if (!devices.PhoneAt(TVirtualDeviceSource::PhonePath("two"))) {
                     plug("two", phoneState("B", "0B"));
                     devices.DispatchPending();
                 }
             };
             download(P);
         },
         {TCommandKind::Download, TCommandEnd::Interrupted, {}, 0, 0, 0, 3, 0}},
        {"an upload",
         [&](TVirtualPhone&) {
             host.Files = {up + "u.jpg", up + "v.jpg"};
             session->Upload();
         },
         {TCommandKind::Upload, TCommandEnd::Done, {}, 2, 0, 0, 0, 0}},
        {"a delete the phone refuses",
         [&](TVirtualPhone& P) {
             P.Faults().FailDeletes = true;
             selectAll();
             session->Delete();
         },
         {TCommandKind::Delete, TCommandEnd::Done, {}, 0, 0, 3, 0, 0}},
        {"a delete",
         [&](TVirtualPhone&) {
             selectAll();
             session->Delete();
         },
         {TCommandKind::Delete, TCommandEnd::Done, {}, 3, 0, 0, 0, 3}},
    };
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.What);
        session.reset();
        for (const char* name : {"one", "two"}) {
            devices.UnplugPhone(name);
        }
        devices.DispatchPending();
        QDir(host.Folder).removeRecursively();
        host.DeleteAfter = false;
        host.OnPump = nullptr;
        auto phone = plug("one", phoneState("A", "0A",
                                            {{a, test::FileBytes(2500, 1)},
                                             {b, test::FileBytes(2500, 2)},
                                             {Pic + "b0.jpg", test::FileBytes(2500, 3)}}));
        listen();
        ended.clear();
        busyAtEnd = false;
        t.Run(*phone);
        host.OnPump = nullptr;

        // The command's outcome; a listing before it, or the phones found
        // again after it, tell theirs too.
        const auto it = std::find_if(ended.rbegin(), ended.rend(), [&](const TCommandOutcome& O) {
            return O.Command == t.Want.Command;
        });
        ASSERT_NE(it, ended.rend());
        const TCommandOutcome& got = *it;
        EXPECT_EQ(got.End, t.Want.End);
        EXPECT_TRUE(got.Reason.contains(t.Want.Reason)) << got.Reason.toStdString();
        EXPECT_EQ(got.Reason.isEmpty(), t.Want.Reason.isEmpty());
        EXPECT_EQ(std::vector<int>({got.Done, got.Skipped, got.Failed, got.NotTried, got.Deleted}),
                  std::vector<int>({t.Want.Done, t.Want.Skipped, t.Want.Failed, t.Want.NotTried,
                                    t.Want.Deleted}));
        EXPECT_FALSE(busyAtEnd);
        // The same outcome stays readable after device events held back ran.
        EXPECT_EQ(session->LastOutcome(t.Want.Command).End, t.Want.End);
        EXPECT_EQ(session->LastOutcome(t.Want.Command).Files(), t.Want.Files());
    }
}
