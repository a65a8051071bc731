// When a downloaded picture leaves the phone: only in Photo Manager mode,
// only with "delete after" on, only once its complete copy is on the disk,
// and never when the phones changed during the download.
#include <QDir>

#include "core/SessionFixture.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
const std::string Name = Pic + "p.jpg";
}  // namespace

class DeleteRule : public test::SessionTest {
  protected:
    // One 2500-byte picture on a phone, listed and selected.
    void prepare(TManagerMode Mode) {
        phone = plug("one", phoneState("A", "0A", {{Name, test::FileBytes(2500)}}));
        host.ChosenFolder = root + "/target";
        TPhoneSession& s = start();
        s.SetMode(Mode, true);
        selectAll();
        // The phone's delete, seen before the exchange that follows it.
        transport.SetExchangeHook([this](auto, const std::string&, uint64_t) {
            if (!deleted && !phone->State().Files.contains(Name)) {
                deleted = true;
                files.Log.push_back("phone delete " + Name);
            }
        });
    }
    std::shared_ptr<TVirtualPhone> phone;
    bool deleted = false;
};

TEST_F(DeleteRule, OnlyACompleteUninterruptedPhotoManagerDownloadDeletes) {
    enum TEnd { Complete, Failed, Interrupted };
    for (TManagerMode mode : {mmPhotoManager, mmFileManager}) {
        for (bool on : {true, false}) {
            for (TEnd end : {Complete, Failed, Interrupted}) {
                SCOPED_TRACE(testing::Message()
                             << "mode " << mode << " delete " << on << " end " << end);
                session.reset();
                devices.UnplugPhone("one");
                devices.UnplugPhone("two");
                devices.DispatchPending();
                QDir(root).removeRecursively();
                deleted = false;
                host.DeleteAfter = on;
                prepare(mode);
                if (end == Failed) {
                    phone->Faults().FailReadAtBlock = 1;
                }
                // Another phone arrives as the last block comes in: the
                // picture is complete, but the command ends at once.
                bool last = false;
                QObject::connect(session.get(), &TPhoneSession::transferBytes,
                                 [&](int32_t Done, int32_t Total) { last = Done == Total; });
                host.OnPump = [&](int) {
                    if (end == Interrupted && last &&
                        !devices.PhoneAt(TVirtualDeviceSource::PhonePath("two"))) {
                        plug("two", phoneState("B", "0B"));
                        devices.DispatchPending();
                    }
                };
                session->Download();
                host.OnPump = nullptr;
                transport.SetExchangeHook(nullptr);

                const QString target =
                    (mode == mmPhotoManager ? host.Folder : host.ChosenFolder + "/") + "p.jpg";
                EXPECT_EQ(QFile::exists(target), end != Failed);
                const bool shouldGo = mode == mmPhotoManager && on && end == Complete;
                EXPECT_EQ(phone->State().Files.contains(Name), !shouldGo);
            }
        }
    }
}

TEST_F(DeleteRule, ThePhoneCopyGoesOnlyAfterEveryDurableStep) {
    host.DeleteAfter = true;
    prepare(mmPhotoManager);
    files.Log.clear();
    session->Download();
    const std::string dir = host.Folder.toStdString();
    std::vector<std::string> steps;
    for (const std::string& l : files.Log) {
        steps.push_back(l.substr(0, l.find(' ')));
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"create", "write", "write", "write", "sync-file",
                                               "close", "rename", "sync-folder", "phone"}));
    EXPECT_EQ(files.Log.back(), "phone delete " + Name);
    EXPECT_EQ(files.Created.rfind(dir, 0), 0u) << files.Created;  // beside its target

    // Any step failing keeps the picture on the phone.
    for (const char* fail : {"create", "write", "sync-file", "close", "rename", "sync-folder"}) {
        SCOPED_TRACE(fail);
        session.reset();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        QDir(root).removeRecursively();
        deleted = false;
        files.Fail = fail;
        prepare(mmPhotoManager);
        session->Download();
        files.Fail.clear();
        transport.SetExchangeHook(nullptr);
        EXPECT_TRUE(phone->State().Files.contains(Name));
        EXPECT_FALSE(deleted);
    }
}
