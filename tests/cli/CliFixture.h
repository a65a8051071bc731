#pragma once

// snaprill-cli run in-process on virtual phones: its output in strings, the
// user's files in a temporary folder, time on a fake clock.

#include <gtest/gtest.h>
#include <poll.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliEnv.h"
#include "linux/TermiosSerialPort.h"
#include "sim/VirtualPhoneText.h"
#include "support/PhoneRig.h"
#include "support/TestApp.h"
#include "support/VirtualRig.h"

namespace test {

inline QCoreApplication& cliApp() {
    return programApp<QCoreApplication>("cli_tests");
}

// Virtual modems are real pseudo-terminals; downloads go to the disk as the
// program writes them.
class CliTest : public ::testing::Test, protected TPhoneRig<TTermiosSerialPorts, TPosixLocalFiles> {
  protected:
    void SetUp() override {
        cliApp();
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path();
        paths.SettingsPath = root + "/config/Brenwick/Snaprill.conf";
        paths.ExcludePath = root + "/data/exclude.txt";
        paths.HistoryPath = root + "/data/history.txt";
        paths.PicturesDir = root + "/Pictures/";
    }

    using TPhoneRig::phoneState;
    static TVirtualPhoneState phoneState(const std::string& Model, const TFiles& Files = {}) {
        return phoneState(Model, "0A4A5A6A7A8A9B", Files);
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
    static QByteArray readLocal(const QString& Path) { return test::readLocal(Path); }
    static QStringList filesUnder(const QString& Folder) { return test::filesUnder(Folder); }
    static void writeFile(const QString& Path, const QByteArray& Data) {
        ASSERT_TRUE(writeLocal(Path, Data)) << Path.toStdString();
    }

    QTemporaryDir tmp;
    QString root;
    TUserPaths paths;
    std::ostringstream out;
    std::ostringstream err;
    bool terminal = false;
    bool realWait = false;
    int idles = 0;
    std::function<void(int)> OnIdle;
};

}  // namespace test
