// The trace, the logging and doctor as the snaprill-cli program gives them,
// on a folder of virtual phones.
#include <QProcess>

#include "CliFixture.h"

namespace {

// Runs the program to its end; its output and status.
struct TRun {
    int Exit = -1;
    QByteArray Out, Err;
};

TRun runProgram(const QString& Root, const QString& Phones, const QStringList& Args,
                const QStringList& Environment = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_LOGGING_RULES");
    env.remove("SNAPRILL_TRACE");
    env.insert("HOME", Root + "/home");
    env.insert("XDG_CONFIG_HOME", Root + "/home/config");
    env.insert("XDG_DATA_HOME", Root + "/home/data");
    env.insert("XDG_RUNTIME_DIR", Root);
    env.insert("SNAPRILL_VIRTUAL_PHONES", Phones);
    for (const QString& e : Environment) {
        env.insert(e.section('=', 0, 0), e.section('=', 1));
    }
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SNAPRILL_CLI_PROGRAM), Args);
    TRun r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.Exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = p.readAllStandardOutput();
    r.Err = p.readAllStandardError();
    return r;
}

}  // namespace

class CliTraceProgram : public test::CliTest {};

// A trace file that cannot be written is one warning line, never a failed
// command; a trace asked for by the environment is written too.
TEST_F(CliTraceProgram, AnUnwritableTraceIsOneWarning) {
    writeFile(root + "/phones/cam/a/mobile/picture/p.jpg", "12345");
    const TRun plain = runProgram(root, root + "/phones", {"ls"});
    ASSERT_EQ(plain.Exit, 0) << plain.Err.toStdString();
    const TRun traced =
        runProgram(root, root + "/phones", {"--trace", root + "/none/x.trace", "ls"});
    EXPECT_EQ(traced.Exit, 0);
    EXPECT_EQ(traced.Out, plain.Out);
    EXPECT_EQ(traced.Err, "snaprill-cli: the trace file " + root.toUtf8() +
                              "/none/x.trace cannot be written (No such file or directory); "
                              "the command goes on without it\n");
    const TRun byEnvironment =
        runProgram(root, root + "/phones", {"ls"}, {"SNAPRILL_TRACE=" + root + "/env.trace"});
    EXPECT_EQ(byEnvironment.Exit, 0);
    EXPECT_TRUE(readLocal(root + "/env.trace").startsWith("snaprill-trace 1\n"));
}

// -v turns the developer logging on, to standard error; without it, or
// with QT_LOGGING_RULES naming one category, only what is asked for.
TEST_F(CliTraceProgram, LoggingCategoriesOnlyWhenAsked) {
    writeFile(root + "/phones/cam/a/mobile/picture/p.jpg", "12345");
    const struct {
        QStringList Args;
        QStringList Environment;
        QStringList Categories;
    } cases[] = {
        {{"ls"}, {}, {}},
        {{"-v", "ls"}, {}, {"snaprill.p2k", "snaprill.usb", "snaprill.session"}},
        {{"ls"}, {"QT_LOGGING_RULES=snaprill.session.debug=true"}, {"snaprill.session"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        const TRun r = runProgram(root, root + "/phones", c.Args, c.Environment);
        EXPECT_EQ(r.Exit, 0);
        QStringList seen;
        for (const QByteArray& line : r.Err.split('\n')) {
            const QString category = QString::fromUtf8(line.left(line.indexOf(':')));
            if (category.startsWith("snaprill.") && !seen.contains(category)) {
                seen.append(category);
            }
        }
        seen.sort();
        QStringList expected = c.Categories;
        expected.sort();
        EXPECT_EQ(seen, expected) << r.Err.toStdString();
    }
}

// A phone traced by the program and the trace put in another folder of
// virtual phones: the program lists the replayed phone as it listed the
// traced one; doctor finds it, and finds nothing in an empty folder.
TEST_F(CliTraceProgram, ATraceBecomesAPhoneAndDoctorFindsIt) {
    writeFile(root + "/phones/cam/a/mobile/picture/p.jpg", "12345");
    const TRun recorded =
        runProgram(root, root + "/phones", {"--trace", root + "/cam.trace", "--trace-data", "ls"});
    ASSERT_EQ(recorded.Exit, 0);
    QDir().mkpath(root + "/replay");
    ASSERT_TRUE(QFile::copy(root + "/cam.trace", root + "/replay/cam.trace"));
    const TRun replayed = runProgram(root, root + "/replay", {"ls"});
    EXPECT_EQ(replayed.Exit, 0);
    EXPECT_EQ(replayed.Out, recorded.Out);
    EXPECT_EQ(replayed.Err, "");

    const TRun doctor = runProgram(root, root + "/replay", {"doctor"});
    EXPECT_EQ(doctor.Exit, 0) << doctor.Out.toStdString();
    EXPECT_TRUE(doctor.Out.contains("ok      phone: virtual phone \"cam\": P2K mode"))
        << doctor.Out.toStdString();
    QDir().mkpath(root + "/empty");
    const TRun none = runProgram(root, root + "/empty", {"--json", "doctor"});
    EXPECT_EQ(none.Exit, 3);
    const QJsonObject doc = QJsonDocument::fromJson(none.Out).object();
    EXPECT_FALSE(doc["usable"].toBool());
    EXPECT_TRUE(none.Out.contains("no Motorola phone")) << none.Out.toStdString();

    // A file that is no trace is told of, and is no phone.
    writeFile(root + "/replay/junk.trace", "hello");
    const TRun junk = runProgram(root, root + "/replay", {"phones"});
    EXPECT_EQ(junk.Exit, 0);
    EXPECT_TRUE(junk.Err.contains("junk.trace is not replayed: line 1: not a trace"))
        << junk.Err.toStdString();
}
