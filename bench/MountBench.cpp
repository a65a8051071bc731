// The phone as a folder against a virtual phone that takes 4 ms per
// transaction, as the kernel's USB path measured: `cp -r` of the pictures
// from the mount beside `get` of the same pictures, and a folder of 1,000
// pictures listed a second time. The mount is served in this process, as
// `get` runs, so that the phone's requests can be counted; cp and ls run
// on a thread of their own meanwhile.

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

#include "BenchApp.h"
#include "backend/Clock.h"
#include "cli/CliEnv.h"
#include "mount/FuseMount.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhone.h"
#include "support/FakeDeviceSource.h"
#include "support/VirtualRig.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr uint32_t TransactionMicroseconds = 4000;

double secondsSince(TClock::time_point Start) {
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

bool isMounted(const QString& Dir) {
    return mountAt(Dir).Type == QLatin1String("fuse.snaprill");
}

bool shell(const QString& Script, const QString& Folder) {
    QProcess p;
    p.setWorkingDirectory(Folder);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), Script});
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// One phone of Count pictures of Bytes bytes in /a/mobile/picture/, the
// command line run on it in this process, and a folder to mount it in.
struct TMountRig {
    TVirtualDeviceSource Devices;
    TVirtualP2KTransport Transport{Devices};
    test::TNoSerialPorts Serial;
    TFakeClock Clock;
    TPhoneBackend Backend{Devices, Transport, Serial, Clock};
    std::shared_ptr<TVirtualPhone> Phone;
    QTemporaryDir Root{memoryFolder()};
    QString Mnt;

    TMountRig(int Count, size_t Bytes) {
        benchApp();
        TVirtualPhoneState s = DefaultVirtualPhoneState();
        for (int i = 0; i < Count; ++i) {
            s.Files["/a/mobile/picture/img" + std::to_string(i) + ".jpg"] = {
                test::FileBytes(Bytes, static_cast<unsigned>(i) + 1), 0, 0};
        }
        Phone = std::make_shared<TVirtualPhone>(std::move(s));
        Phone->KeepReceived(false);
        Phone->Faults().DelayMicroseconds = TransactionMicroseconds;
        Devices.PlugPhone("one", Phone);
        Devices.DispatchPending();
        Mnt = Root.path() + "/mnt";
        QDir().mkpath(Mnt);
        QDir().mkpath(Root.path() + "/run");
        ::chmod(QFile::encodeName(Root.path() + "/run").constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Root.path() + "/run"));
    }

    int Cli(std::vector<std::string> Args) {
        std::ostringstream out, err;
        const QString home = Root.path();
        TCliEnv env{
            Backend,
            out,
            err,
            {home + "/Snaprill.conf", home + "/exclude.txt", home + "/", home + "/history.txt"},
            false,
            80,
            {},
            {}};
        Args.insert(Args.begin(), "snaprill-cli");
        return runCli(env, Args);
    }
    // Serves the mount here while Client runs on its own thread; then unmounts.
    bool ServeWhile(const std::function<void()>& Client) {
        std::atomic<bool> over{false};
        bool served = false;
        std::thread client([&] {
            const QDeadlineTimer deadline(60000);
            while (!isMounted(Mnt) && !over && !deadline.hasExpired()) {
                QThread::msleep(5);
            }
            served = isMounted(Mnt);
            if (served) {
                Client();
            }
            QProcess::execute(QStringLiteral("fusermount3"), {"-u", "-z", Mnt});
        });
        const int status = Cli({"mount", Mnt.toStdString(), "-f", "-q"});
        over = true;
        client.join();
        return served && status == 0;
    }
    // The phone's transactions so far, read where the phone runs.
    uint32_t Transactions() {
        uint32_t n = 0;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { n = Phone->Transactions(); },
            Qt::BlockingQueuedConnection);
        return n;
    }
};

// cp -r of the picture folder from the mount beside `get` of the same
// pictures into an empty folder; the iteration time is cp's, the mount's
// listing (made when it mounts) apart.
void BM_MountCopyVsGet(benchmark::State& State) {
    TMountRig rig(static_cast<int>(State.range(0)), static_cast<size_t>(State.range(1)));
    double getSeconds = 0, cpSeconds = 0;
    bool ok = true;
    for (auto _ : State) {
        QTemporaryDir getFolder(memoryFolder()), cpFolder(memoryFolder());
        auto start = TClock::now();
        ok = rig.Cli({"get", "-q", "--to", getFolder.path().toStdString()}) == 0 && ok;
        getSeconds += secondsSince(start);
        double cp = 0;
        ok = rig.ServeWhile([&] {
            const auto begin = TClock::now();
            ok = shell(QStringLiteral("cp -r '%1/a/mobile/picture' '%2/pictures'")
                           .arg(rig.Mnt, cpFolder.path()),
                       cpFolder.path()) &&
                 ok;
            cp = secondsSince(begin);
        }) && ok;
        ok = QDir(cpFolder.path() + "/pictures").count() - 2 == uint(State.range(0)) && ok;
        cpSeconds += cp;
        State.SetIterationTime(cp);
    }
    if (!ok) {
        State.SkipWithError("a copy failed");
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["get_ms"] = getSeconds * 1e3 / n;
    State.counters["cp_ms"] = cpSeconds * 1e3 / n;
    State.counters["cp/get"] = cpSeconds / getSeconds;
}
BENCHMARK(BM_MountCopyVsGet)
    ->Args({100, int64_t{50} * 1024})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(2);

// `ls -l` of a mounted folder of 1,000 pictures, twice: the second makes
// no phone request.
void BM_MountListAgain(benchmark::State& State) {
    TMountRig rig(static_cast<int>(State.range(0)), 3);
    double firstSeconds = 0, secondSeconds = 0;
    uint64_t mountRequests = 0, firstRequests = 0, secondRequests = 0;
    bool ok = true;
    for (auto _ : State) {
        const uint32_t unmounted = rig.Phone->Transactions();
        ok = rig.ServeWhile([&] {
            const QString ls =
                QStringLiteral("ls -l '%1/a/mobile/picture' > /dev/null").arg(rig.Mnt);
            uint32_t before = rig.Transactions();
            mountRequests += before - unmounted;
            auto start = TClock::now();
            ok = shell(ls, rig.Root.path()) && ok;
            firstSeconds += secondsSince(start);
            firstRequests += rig.Transactions() - before;
            before = rig.Transactions();
            start = TClock::now();
            ok = shell(ls, rig.Root.path()) && ok;
            const double second = secondsSince(start);
            secondSeconds += second;
            secondRequests += rig.Transactions() - before;
            State.SetIterationTime(second);
        }) && ok;
    }
    if (!ok) {
        State.SkipWithError("a listing failed");
    }
    const double n = static_cast<double>(State.iterations());
    State.counters["first_ms"] = firstSeconds * 1e3 / n;
    State.counters["second_ms"] = secondSeconds * 1e3 / n;
    State.counters["mount_requests"] = static_cast<double>(mountRequests) / n;
    State.counters["first_requests"] = static_cast<double>(firstRequests) / n;
    State.counters["second_requests"] = static_cast<double>(secondRequests) / n;
}
BENCHMARK(BM_MountListAgain)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(2);

}  // namespace
