// The session's default download with a wire trace written and the
// developer logging on: the same Log, the same files and the same wire as
// without either.
#include <QCryptographicHash>

#include "JpegPicture.h"
#include "backend/TraceFormat.h"
#include "backend/TracingBackend.h"
#include "core/SessionFixture.h"
#include "core/files/ExifInfo.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class TraceRoad : public test::SessionTest {};

// The wire digest is the one the session's road test pins for a download
// at the defaults with delete after on.
TEST_F(TraceRoad, TracingChangesNothingOnTheWire) {
    const QByteArray jpeg = encodeJpeg(drawLandscape(64, 48, 3, {}), 70);
    const QDateTime taken(QDate(2006, 7, 5), QTime(18, 30, 2));
    const QByteArray a = padJpeg(withExif(jpeg, taken, "E398", {}), 6000);
    const TFiles pictures = {{Pic + "a.jpg", {a.begin(), a.end()}},
                             {Pic + "b.jpg", test::FileBytes(5000, 2)},
                             {Pic + "c.jpg", test::FileBytes(3000, 3)}};
    auto phone = plug("one", phoneState("E398", "0A", pictures));
    QDir().mkpath(host.Folder);
    QFile old(host.Folder + "c.jpg");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    host.DeleteAfter = true;

    TTraceLog trace;
    const std::string path = (root + "/road.trace").toStdString();
    ASSERT_TRUE(trace.OpenFile(path, [](const std::string& W) { ADD_FAILURE() << W; }));
    int listened = 0;
    trace.SetListener([&listened](const std::string&, const std::string&) { ++listened; });
    TTracedBackend traced(backend, trace);
    devices.DispatchPending();
    session = std::make_unique<TPhoneSession>(traced.Backend(), host);
    QObject::connect(session.get(), &TPhoneSession::logged,
                     [this](const TSessionMsg& M) { log.push_back(builtInText(M)); });
    session->Start();
    selectAll();
    session->Download();

    QStringList expected = {"1 P2K devices found", "Closing all AT devices",
                            "Closing all P2K devices", "3 files"};
    for (int kb = 1; kb <= 6; ++kb) {
        expected.append(QString("Downloading - %1/ 6 kB").arg(kb, 2));
    }
    for (int kb = 1; kb <= 5; ++kb) {
        expected.append(QString("Downloading - %1/ 5 kB").arg(kb, 2));
    }
    expected += {"The file " + host.Folder + "c.jpg exists, skipping",
                 "Downloaded: 2, skipped: 1, failed: 0", "3 files", "1 files"};
    EXPECT_EQ(QStringList(log.begin(), log.end()).join("\n").toStdString(),
              expected.join("\n").toStdString());
    EXPECT_EQ(readLocal(host.Folder + "b.jpg"), bytes(pictures.at(Pic + "b.jpg")));
    EXPECT_EQ(readLocal(host.Folder + "c.jpg"), "old");
    QCryptographicHash wire(QCryptographicHash::Sha1);
    for (const auto& r : phone->Received()) {
        wire.addData(QByteArray::number(r.PacketId) + ':' + QByteArray::number(r.Command) + ':' +
                     bytes(r.Payload));
    }
    EXPECT_EQ(QString::number(phone->Received().size()) + " " + wire.result().toHex(),
              "28 da5fc4e1db785bcce9edfdf2a926ba783b7bb626");
    session.reset();
    trace.Flush();
    const TTraceText read = ReadTraceFile(path);
    EXPECT_EQ(read.Error, "");
    EXPECT_EQ(int(read.Events.size()), listened);
}
