#pragma once

// snaprill-cli run in-process on virtual phones: its output in strings, the
// user's files in a temporary folder, time on a fake clock.

#include <gtest/gtest.h>
#include <poll.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "backend/Clock.h"
#include "cli/CliEnv.h"
#include "linux/TermiosSerialPort.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhone.h"
#include "sim/VirtualPhoneText.h"
#include "support/PhoneStates.h"
#include "support/VirtualRig.h"

inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}

namespace test {

inline QCoreApplication& cliApp() {
    static int argc = 1;
    static char name[] = "cli_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

inline QByteArray asBytes(const std::vector<uint8_t>& Data) {
    return QByteArray(reinterpret_cast<const char*>(Data.data()), qsizetype(Data.size()));
}

class CliTest : public ::testing::Test {
  protected:
    using TFiles = std::map<std::string, std::vector<uint8_t>>;

    void SetUp() override {
        cliApp();
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path();
        paths.SettingsPath = root + "/config/Brenwick/Snaprill.conf";
        paths.ExcludePath = root + "/data/exclude.txt";
        paths.HistoryPath = root + "/data/history.txt";
        paths.PicturesDir = root + "/Pictures/";
    }

    static TVirtualPhoneState phoneState(const std::string& Model, const TFiles& Files = {}) {
        return test::PhoneState(Model, "0A4A5A6A7A8A9B", Files);
    }
    std::shared_ptr<TVirtualPhone> plug(const std::string& Name, TVirtualPhoneState State) {
        auto phone = std::make_shared<TVirtualPhone>(std::move(State));
        devices.PlugPhone(Name, phone);
        return phone;
    }

    // Runs "snaprill-cli Args..." and returns its exit status; its output is
    // in out and err. Through, when given, is the backend it runs on (the
    // fixture's own phones behind decorators).
    int run(std::vector<std::string> Args, TPhoneBackend* Through = nullptr) {
        out.str({});
        err.str({});
        TPhoneBackend& phones = Through ? *Through : backend;
        TCliEnv env{phones, out, err, paths, terminal, 60, {}, {}};
        env.Idle = [this, &phones](int Ms) {
            ++idles;
            clock.Advance(static_cast<uint32_t>(Ms));
            if (OnIdle) {
                OnIdle(idles);
            }
            if (realWait) {  // a virtual modem's thread plugs its phone in real time
                pollfd p{phones.Devices.EventFd(), POLLIN, 0};
                ::poll(&p, 1, Ms);
            }
            phones.Devices.DispatchPending();
        };
        Args.insert(Args.begin(), "snaprill-cli");
        return runCli(env, Args);
    }
    QJsonObject json() const {
        QJsonParseError error;
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray::fromStdString(out.str()), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << out.str();
        return doc.object();
    }
    static QByteArray readLocal(const QString& Path) {
        QFile f(Path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Every file under Folder, hidden ones too, relative to it.
    static QStringList filesUnder(const QString& Folder) {
        QStringList found;
        QDirIterator it(Folder, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            found.append(QDir(Folder).relativeFilePath(it.next()));
        }
        found.sort();
        return found;
    }
    static void writeFile(const QString& Path, const QByteArray& Data) {
        QDir().mkpath(QFileInfo(Path).absolutePath());
        QFile f(Path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Data);
    }

    QTemporaryDir tmp;
    QString root;
    TUserPaths paths;
    TVirtualDeviceSource devices;
    TVirtualP2KTransport transport{devices};
    TTermiosSerialPorts serial;  // virtual modems are real pseudo-terminals
    TFakeClock clock;
    TPhoneBackend backend{devices, transport, serial, clock};
    std::ostringstream out;
    std::ostringstream err;
    bool terminal = false;
    bool realWait = false;
    int idles = 0;
    std::function<void(int)> OnIdle;
};

}  // namespace test
