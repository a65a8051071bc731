// The snaprill-cli program itself, started as a script starts it, on a
// folder of virtual phones: the whole road from the arguments to the files.
#include <QProcess>
#include <QThread>

#include "CliFixture.h"

namespace {

struct TProgram {
    QProcess Process;
    explicit TProgram(const QString& Root) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", Root + "/home");
        env.insert("XDG_CONFIG_HOME", Root + "/home/config");
        env.insert("XDG_DATA_HOME", Root + "/home/data");
        env.insert("SNAPRILL_VIRTUAL_PHONES", Root + "/phones");
        Process.setProcessEnvironment(env);
    }
    void Start(const QStringList& Args) {
        Process.start(QStringLiteral(SNAPRILL_CLI_PROGRAM), Args);
        ASSERT_TRUE(Process.waitForStarted(10000));
    }
    int Finish() {
        if (!Process.waitForFinished(60000)) {
            Process.kill();
            Process.waitForFinished(5000);
            return -1;
        }
        return Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
    }
};

}  // namespace

class CliProgram : public test::CliTest {};

// A phone in modem mode, waited for until it is back in P2K mode, its
// pictures backed up into the window's save folder and taken off the phone:
// the JSON report, the files byte for byte, and the window's files left
// as they were.
TEST_F(CliProgram, BackupOfAPhoneInModemMode) {
    std::map<QString, QByteArray> pictures;
    for (int i = 0; i < 3; ++i) {
        pictures["img" + QString::number(i) + ".jpg"] =
            test::asBytes(test::FileBytes(3000 + 5000 * size_t(i), unsigned(i + 1)));
    }
    for (const auto& [name, data] : pictures) {
        writeFile(root + "/phones/cam.modem/a/mobile/picture/" + name, data);
    }
    const QString conf = root + "/home/config/Brenwick/Snaprill.conf";
    const QByteArray settings = "[General]\ndir=" + root.toUtf8() + "/backup/\n";
    writeFile(conf, settings);

    TProgram program(root);
    program.Start({"--json", "get", "--wait", "30", "--delete-after"});
    ASSERT_EQ(program.Finish(), 0) << program.Process.readAllStandardError().toStdString();
    const QByteArray printed = program.Process.readAllStandardOutput();
    const QJsonObject doc = QJsonDocument::fromJson(printed).object();
    EXPECT_EQ(doc["downloaded"].toInt(), 3) << printed.toStdString();
    EXPECT_EQ(doc["deleted"].toInt(), 3);
    EXPECT_EQ(doc["exit"].toInt(), 0);
    for (const auto& [name, data] : pictures) {
        EXPECT_EQ(readLocal(root + "/backup/" + name), data) << name.toStdString();
    }
    // Standard error is no terminal: no progress, only the switch.
    EXPECT_EQ(program.Process.readAllStandardError(),
              "snaprill-cli: Switching to P2K mode: Motorola USB Modem (virtual)\n");
    EXPECT_EQ(readLocal(conf), settings);
    // The settings are the window's, untouched; the history of the pictures
    // fetched is shared with the window.
    EXPECT_EQ(filesUnder(root + "/home"),
              (QStringList{"config/Brenwick/Snaprill.conf", "data/Brenwick/Snaprill/history.txt"}));
}

// A phone folder moved in while `ls --wait` waits: the program's event loop
// sees it come, as the window does.
TEST_F(CliProgram, WaitsForAPhoneToBePluggedIn) {
    QDir().mkpath(root + "/phones");
    writeFile(root + "/spare/cam/a/mobile/picture/p.jpg", "12345");
    TProgram program(root);
    program.Start({"ls", "--wait", "30"});
    QThread::msleep(300);
    ASSERT_TRUE(QDir().rename(root + "/spare/cam", root + "/phones/cam"));
    EXPECT_EQ(program.Finish(), 0) << program.Process.readAllStandardError().toStdString();
    EXPECT_EQ(program.Process.readAllStandardOutput(),
              "         5  /a/mobile/picture/p.jpg\n1 files, 5 B\n");
}
