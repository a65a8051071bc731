// Every exchange of a window command made to go wrong, one at a time, in
// each way a phone goes wrong: unplugged, the exchange failing, the reply
// lying about its length. Whatever exchange it hits, no picture is lost or
// stands corrupted under its name, no temporary file is left, and the
// window is usable again and its Log says what happened.
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QToolButton>

#include "PhoneWindow.h"
#include "support/Controls.h"
#include "support/ExchangeFaults.h"
#include "support/MatrixFiles.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

using test::asBytes;
using test::faultName;
using test::TFault;
using TCommand = test::TMatrixCommand;

}  // namespace

class FaultMatrixTest : public PhoneWindowTest, protected test::TMatrixFiles {
  protected:
    void SetUp() override {
        PhoneWindowTest::SetUp();
        keepReceived = false;
        config.PicturesDir = root + "/Pictures/";
        makeMatrixFiles(root);
    }

    // Where the command's downloads land.
    QString targetDir(TCommand C) const {
        return C == TCommand::FileDownload ? root + "/target/" : config.PicturesDir;
    }

    // A window on a fresh phone, ready for the command: settings written,
    // the phone listed and every row selected.
    void prepare(TCommand C) {
        form.reset();
        QDir(root + "/Pictures").removeRecursively();
        QDir(root + "/target").removeRecursively();
        devices.UnplugPhone("one");
        devices.DispatchPending();
        writeFile(config.SettingsPath, C == TCommand::PhotoDownload  ? "[General]\ndelete=1\n"
                                       : C == TCommand::FileDownload ? "[General]\nmode=1\n"
                                                                     : "[General]\n");
        phone = plugBefore("one", phoneState("A", "0A", startFiles(C)));
        open();
        ASSERT_EQ(list()->rowCount(), int(startFiles(C).size()));
        QTest::keyClick(test::control<QTreeView>(*form, "ListView1"), Qt::Key_A,
                        Qt::ControlModifier);
        chooserAnswer = root + "/target";
        filesAnswer = uploadFiles;
        logStart = log().size();
        pulled = false;
    }
    void run(TCommand C) {
        switch (C) {
            case TCommand::PhotoList:
                QTest::mouseClick(test::control<QToolButton>(*form, "idRefresh"), Qt::LeftButton);
                break;
            case TCommand::PhotoDownload:
            case TCommand::FileDownload:
                QTest::mouseClick(test::control<QToolButton>(*form, "idDownload"), Qt::LeftButton);
                break;
            case TCommand::Upload:
                QTest::mouseClick(test::control<QToolButton>(*form, "idUpload"), Qt::LeftButton);
                break;
            case TCommand::Delete:
                QTest::mouseClick(test::control<QToolButton>(*form, "idDelete"), Qt::LeftButton);
                break;
        }
        settle();
    }

    // The exchanges the command makes when nothing goes wrong.
    uint64_t countExchanges(TCommand C) {
        prepare(C);
        const uint64_t before = transport.Exchanges();
        run(C);
        return transport.Exchanges() - before;
    }

    // Runs the command with its exchange K (0-based) going wrong.
    void runWithFault(TCommand C, TFault F, uint64_t K) {
        prepare(C);
        const uint64_t at = transport.Exchanges() + K;
        transport.SetExchangeHook(
            [this, F, at, fault = test::exchangeFault(F, at, devices, "one", phone)](
                TVirtualP2KTransport::TExchange Kind, const std::string& Path,
                uint64_t Index) mutable {
                // Pulled out under a command, not while previews are read.
                pulled = pulled || (F == TFault::Unplug && Index == at && form->session().Busy());
                fault(Kind, Path, Index);
            });
        run(C);
        transport.SetExchangeHook(nullptr);
        phone->Faults() = {};
    }

    // What must hold after every cell. Returns the failures, empty when all held.
    std::string check(TCommand C) {
        // No phone file gone unless its local copy is whole; no local file
        // under a phone file's name that is not that file. Nothing else was
        // written: the settings, the uploads' sources, the downloads and the
        // history of the pictures downloaded.
        std::string bad = copyFailures(C, targetDir(C), *phone) +
                          strayFiles(root, targetDir(C), {"config/", "data/history.txt"});
        auto fail = [&](const std::string& What) { bad += What + "; "; };
        const TFiles before = startFiles(C);
        const QStringList lines = log().mid(logStart);
        const QString text = lines.join('\n');

        // An upload that did not arrive whole is named in the Log, unless the
        // phone is gone. What arrived of it stays on the phone: the file is
        // open for writing there, and only the phone can tell whether a
        // delete would hit it or an older file of that name.
        const bool gone = form->windowTitle().endsWith("[disconnected]");
        if (C == TCommand::Upload) {
            for (const auto& [name, data] : uploads) {
                const auto it = phone->State().Files.find(name);
                const bool whole = it != phone->State().Files.end() && it->second.Data == data;
                const QString line = "Upload of " + root + "/up/" +
                                     QString::fromStdString(name.substr(Pic.size())) + " failed";
                if (!whole && !gone && !text.contains(line)) {
                    fail("upload failure not logged " + name);
                }
            }
        }

        // The window is usable again.
        if (form->session().Busy()) {
            fail("command still running");
        }
        if (!test::control<QWidget>(*form, "idList")->isEnabled() ||
            !test::control<QTreeView>(*form, "ListView1")->isEnabled()) {
            fail("page disabled");
        }
        if (test::control<QProgressBar>(*form, "ProgressBar1")->isVisible() ||
            test::control<QProgressBar>(*form, "ProgressBar2")->isVisible()) {
            fail("bars shown");
        }
        for (QWidget* w : {static_cast<QWidget*>(test::control<QToolButton>(*form, "idRefresh")),
                           static_cast<QWidget*>(test::control<QToolButton>(*form, "idDownload")),
                           static_cast<QWidget*>(test::control<QToolButton>(*form, "idUpload")),
                           static_cast<QWidget*>(test::control<QToolButton>(*form, "idDelete"))}) {
            if (!w->isEnabled()) {
                fail("phone command disabled " + w->objectName().toStdString());
            }
        }

        // The Log says what happened: a phone gone says how many are left
        // and shows no rows; a phone still there ends with its list's count,
        // and a list that is not the phone's whole list says so.
        if (pulled && !gone) {
            fail("a pulled phone still shown");
        }
        if (gone) {
            if (list()->rowCount() != 0) {
                fail("rows of a gone phone");
            }
            if (lines.filter(" P2K devices found").isEmpty()) {
                fail("the phone's going not logged");
            }
            // Pulled out during the command, it was lost: one line says so,
            // and none blames a file.
            if (pulled &&
                lines.filter(QRegularExpression("^The phone was lost: \\d+ files done, \\d+ "
                                                "not tried$"))
                        .size() != 1) {
                fail("the lost phone not logged once");
            }
            if (pulled &&
                !lines.filter(QRegularExpression("^(Down|Up)load of .* failed")).isEmpty()) {
                fail("a file blamed for the lost phone");
            }
            // The status bar shows nothing of it.
            if (!test::control<QLabel>(*form, "StatusPanel1")->text().isEmpty()) {
                fail("the gone phone's free space shown");
            }
        } else {
            int onPhone = 0;
            for (const auto& [name, file] : phone->State().Files) {
                onPhone += C == TCommand::FileDownload || name.rfind(Pic, 0) == 0 ? 1 : 0;
            }
            if (lines.isEmpty() || lines.last() != QString::number(list()->rowCount()) + " files") {
                fail("no count of the list at the end of the Log");
            }
            if (list()->rowCount() != onPhone &&
                !lines.contains("The file list could not be read in full")) {
                fail("an incomplete list not logged");
            }
        }
        if (C == TCommand::PhotoDownload || C == TCommand::FileDownload) {
            for (const auto& [name, data] : before) {
                const QString local =
                    targetDir(C) + QString::fromStdString(name.substr(name.rfind('/') + 1));
                if (!QFile::exists(local) && !gone &&
                    !text.contains(QString::fromStdString("Download of " + name + " failed"))) {
                    fail("download failure not logged " + name);
                }
            }
        }
        return bad;
    }

    void runMatrix(TCommand C) {
        const uint64_t exchanges = countExchanges(C);
        ASSERT_GT(exchanges, 0u);
        ASSERT_EQ(check(C), "") << "without a fault";
        int cells = 0;
        for (TFault f : {TFault::Unplug, TFault::Fail, TFault::Lie}) {
            for (uint64_t k = 0; k < exchanges; ++k) {
                runWithFault(C, f, k);
                const std::string bad = check(C);
                EXPECT_EQ(bad, "")
                    << faultName(f) << " at exchange " << k << " of " << exchanges << "\n"
                    << log().mid(logStart).join('\n').toStdString();
                ++cells;
            }
        }
        RecordProperty("cells", cells);
        std::printf("%d cells: 3 kinds x %llu exchanges\n", cells,
                    static_cast<unsigned long long>(exchanges));
    }

    std::shared_ptr<TVirtualPhone> phone;
    qsizetype logStart = 0;
    bool pulled = false;  // the cell's fault pulled the phone out during the command
};

TEST_F(FaultMatrixTest, PhotoManagerListing) {
    runMatrix(TCommand::PhotoList);
}

TEST_F(FaultMatrixTest, PhotoManagerDownloadAndDelete) {
    runMatrix(TCommand::PhotoDownload);
}

TEST_F(FaultMatrixTest, FileManagerDownload) {
    runMatrix(TCommand::FileDownload);
}

TEST_F(FaultMatrixTest, UploadOfThreeFiles) {
    runMatrix(TCommand::Upload);
}
