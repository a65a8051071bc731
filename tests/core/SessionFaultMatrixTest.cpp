// Every command of the session, with no window, made to go wrong at each
// of its exchanges (the phone unplugged, the exchange failing, the reply
// lying about its length) and at each of its pauses (another phone
// arriving, the phone leaving, a modem phone arriving). Whatever it hits,
// no picture is lost or stands corrupted under its name, no temporary file
// is left, the session is free for the next command, and its Log says what
// happened.
#include <algorithm>
#include <cstdio>

#include "core/SessionFixture.h"
#include "support/ExchangeFaults.h"
#include "support/MatrixFiles.h"

namespace {

using TCommand = test::TMatrixCommand;
using test::faultName;
using test::TFault;
enum class TEvent { Arrival, Removal, ModemArrival };

TCommandKind kindOf(TCommand C) {
    switch (C) {
        case TCommand::PhotoList:
            return TCommandKind::List;
        case TCommand::PhotoDownload:
        case TCommand::FileDownload:
            return TCommandKind::Download;
        case TCommand::Upload:
            return TCommandKind::Upload;
        case TCommand::Delete:
            return TCommandKind::Delete;
    }
    return TCommandKind::List;
}

const char* commandName(TCommand C) {
    switch (C) {
        case TCommand::PhotoList:
            return "listing";
        case TCommand::PhotoDownload:
            return "download with delete";
        case TCommand::FileDownload:
            return "File Manager download";
        case TCommand::Upload:
            return "upload";
        case TCommand::Delete:
            return "delete";
    }
    return "";
}

}  // namespace

class SessionMatrix : public test::SessionTest, protected test::TMatrixFiles {
  protected:
    void SetUp() override {
        SessionTest::SetUp();
        makeMatrixFiles(root);
        host.Files = uploadFiles;
        host.ChosenFolder = root + "/target";
    }

    QString targetDir(TCommand C) const {
        return C == TCommand::FileDownload ? host.ChosenFolder + "/" : host.Folder;
    }

    // A session on a fresh phone, listed, every row selected.
    void prepare(TCommand C) {
        transport.SetExchangeHook(nullptr);
        host.OnPump = nullptr;
        session.reset();
        for (const char* name : {"one", "two"}) {
            devices.UnplugPhone(name);
        }
        devices.DispatchPending();
        QDir(root + "/Pictures").removeRecursively();
        QDir(root + "/target").removeRecursively();
        host.DeleteAfter = C == TCommand::PhotoDownload;
        pulled = false;
        phone = plug("one", phoneState("A", "0A", startFiles(C)));
        start();
        session->SetMode(C == TCommand::FileDownload ? mmFileManager : mmPhotoManager, true);
        ASSERT_EQ(session->Rows().Count(), int(startFiles(C).size()));
        selectAll();
        log.clear();
        started = ended = 0;
        QObject::connect(session.get(), &TPhoneSession::transferStarted, [this] { ++started; });
        QObject::connect(session.get(), &TPhoneSession::transferEnded, [this] { ++ended; });
        outcomes.clear();
        QObject::connect(session.get(), &TPhoneSession::commandEnded,
                         [this](const TCommandOutcome& O) { outcomes.push_back(O); });
    }
    int filesGiven(TCommand C) const {
        switch (C) {
            case TCommand::PhotoList:
                return 0;
            case TCommand::Upload:
                return int(host.Files.size());
            default:
                return int(startFiles(C).size());
        }
    }
    void run(TCommand C) {
        switch (C) {
            case TCommand::PhotoList:
                session->Refresh();
                break;
            case TCommand::PhotoDownload:
            case TCommand::FileDownload:
                session->Download();
                break;
            case TCommand::Upload:
                session->Upload();
                break;
            case TCommand::Delete:
                session->Delete();
                break;
        }
        host.OnPump = nullptr;
        transport.SetExchangeHook(nullptr);
        phone->Faults() = {};
        devices.DispatchPending();  // what the event loop would hand on next
    }

    // What must hold after every cell; the failures, empty when all held.
    std::string check(TCommand C) {
        std::string bad = copyFailures(C, targetDir(C), *phone) + strayFiles(root, targetDir(C));
        auto fail = [&](const std::string& What) { bad += What + "; "; };
        if (session->Busy()) {
            fail("command still running");
        }
        if (started != ended) {
            fail("transfer not ended");
        }
        // The command told how it ended, with every file it was given
        // counted once; the phones changing under it is how it ended.
        const auto told = std::find_if(outcomes.begin(), outcomes.end(),
                                       [&](const auto& O) { return O.Command == kindOf(C); });
        if (told == outcomes.end()) {
            fail("no outcome");
        } else {
            if (told->Files() != filesGiven(C)) {
                fail("files miscounted");
            }
            if (fired && event == TEvent::Arrival && told->End != TCommandEnd::Interrupted) {
                fail("arrival not in the outcome");
            }
            if (fired && event == TEvent::Removal && told->End == TCommandEnd::Done) {
                fail("removal not in the outcome");
            }
            // A phone pulled out is lost, whichever exchange or pause it left
            // at, and no file failed for it.
            if ((pulled || (fired && event == TEvent::Removal)) &&
                (told->End != TCommandEnd::PhoneLost || told->Failed != 0)) {
                fail("a pulled phone not lost, or blamed on a file (end " +
                     std::to_string(int(told->End)) + ", failed " + std::to_string(told->Failed) +
                     ")");
            }
        }
        if (log.empty()) {
            fail("nothing logged");
        }
        // A device event that came during the command was handled after it.
        if (fired && event == TEvent::Arrival && session->PhoneEntries().size() != 2) {
            fail("arrival not handled");
        }
        if (fired && event == TEvent::Removal &&
            (!session->PhoneEntries().isEmpty() || session->Rows().Count() != 0)) {
            fail("removal not handled");
        }
        return bad;
    }

    // Runs every cell: Cells(k) sets up cell k and says whether there was one.
    void runCells(TCommand C, const char* Kind, const std::function<bool(uint64_t)>& Cell) {
        int cells = 0;
        for (uint64_t k = 0;; ++k) {
            prepare(C);
            if (!Cell(k)) {
                break;
            }
            run(C);
            const std::string bad = check(C);
            EXPECT_EQ(bad, "") << commandName(C) << ": " << Kind << " at " << k;
            ++cells;
        }
        std::printf("%s, %s: %d cells\n", commandName(C), Kind, cells);
        total += cells;
    }

    void faultMatrix(TCommand C) {
        prepare(C);
        uint64_t before = transport.Exchanges();
        run(C);
        ASSERT_EQ(check(C), "") << "without a fault";
        const uint64_t exchanges = transport.Exchanges() - before;
        ASSERT_GT(exchanges, 0u);
        for (TFault F : {TFault::Unplug, TFault::Fail, TFault::Lie}) {
            runCells(C, faultName(F), [&](uint64_t K) {
                if (K >= exchanges) {
                    return false;
                }
                armFault(F, transport.Exchanges() + K);
                pulled = F == TFault::Unplug;
                return true;
            });
        }
    }

    void armFault(TFault F, uint64_t At) {
        transport.SetExchangeHook(test::exchangeFault(F, At, devices, "one", phone));
    }

    // A device event at each pause of the command, one cell a pause.
    void eventMatrix(TCommand C, TEvent E) {
        prepare(C);
        const int before = host.Pumps;
        run(C);
        const int pumps = host.Pumps - before;
        runCells(C,
                 E == TEvent::Arrival   ? "arrival"
                 : E == TEvent::Removal ? "removal"
                                        : "modem arrival",
                 [&](uint64_t K) {
                     if (K >= uint64_t(pumps)) {
                         return false;
                     }
                     const int at = host.Pumps + int(K) + 1;
                     event = E;
                     fired = false;
                     host.OnPump = [this, E, at](int Pump) {
                         if (Pump != at) {
                             return;
                         }
                         fired = true;
                         if (E == TEvent::Arrival) {
                             plug("two", phoneState("B", "0B"));
                         } else if (E == TEvent::Removal) {
                             devices.UnplugPhone("one");
                         } else {
                             devices.PlugModem("m", "/nonexistent/tty");
                         }
                         devices.DispatchPending();
                     };
                     return true;
                 });
        devices.UnplugModem("m");
        fired = false;
    }

    std::shared_ptr<TVirtualPhone> phone;
    int started = 0, ended = 0;
    std::vector<TCommandOutcome> outcomes;
    int total = 0;
    TEvent event = TEvent::Arrival;
    bool fired = false;   // the cell's device event came
    bool pulled = false;  // the cell's fault pulls the phone out
};

TEST_F(SessionMatrix, EveryExchangeOfEveryCommandGoingWrong) {
    for (TCommand c :
         {TCommand::PhotoList, TCommand::PhotoDownload, TCommand::FileDownload, TCommand::Upload}) {
        faultMatrix(c);
    }
    RecordProperty("cells", total);
    std::printf("%d cells in all\n", total);
}

TEST_F(SessionMatrix, DeviceEventsAtEveryPauseOfEveryCommand) {
    for (TCommand c : {TCommand::PhotoList, TCommand::PhotoDownload, TCommand::FileDownload,
                       TCommand::Upload, TCommand::Delete}) {
        for (TEvent e : {TEvent::Arrival, TEvent::Removal, TEvent::ModemArrival}) {
            eventMatrix(c, e);
        }
    }
    RecordProperty("cells", total);
}
