#pragma once

// The phone session on virtual phones, with no window: a host that answers
// from fields, records what the session showed and asked, and can run an
// action at every point where the session lets events be handled.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MotoP2KMode.h"
#include "core/session/FileListModel.h"
#include "core/session/PhoneSession.h"
#include "core/session/SessionHost.h"
#include "sim/VirtualPhoneText.h"
#include "support/PhoneRig.h"
#include "support/TestApp.h"

namespace test {

// One application for the whole program, made on first use: a GUI one
// (never widgets), since the pictures tests draw need fonts.
inline QCoreApplication& coreApp() {
    // No test here shows anything: no display is needed, even when the
    // program is only asked for its list of tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return programApp<QGuiApplication>("core_tests");
}

// A host that answers as a test sets it up.
class TTestHost : public ISessionHost {
  public:
    void ProcessEvents() override {
        ++Pumps;
        if (OnPump) {
            OnPump(Pumps);
        }
    }
    bool Option(TSessionOption O) override {
        switch (O) {
            case TSessionOption::Overwrite:
                return Overwrite;
            case TSessionOption::DeleteAfter:
                return DeleteAfter;
            case TSessionOption::DownloadAll:
                return DownloadAll;
            case TSessionOption::Previews:
                return Previews;
            case TSessionOption::PictureTime:
                return PictureTime;
            case TSessionOption::SkipDownloaded:
                return SkipDownloaded;
            case TSessionOption::KeepBoth:
                return KeepBoth;
        }
        return false;
    }
    QString SaveFolder() override { return Folder; }
    std::string UploadFolder() override { return PhoneFolder; }
    QString FolderPattern() override { return Pattern; }
    QString SecondFolder() override { return Second; }
    QString ChooseFolder(const TSessionMsg&) override {
        ++FolderDialogs;
        return ChosenFolder;
    }
    QStringList ChooseFiles() override { return Files; }
    bool AskYesNo(const TSessionMsg& Q) override {
        Asked.push_back(builtInText(Q));
        return Yes;
    }
    void ShowMessage(const TSessionMsg& M, bool Error) override {
        Shown.push_back((Error ? "error: " : "") + builtInText(M).toStdString());
    }

    // Options and answers.
    bool Overwrite = false, DeleteAfter = false, DownloadAll = false, Yes = false;
    bool Previews = false;
    bool PictureTime = true, SkipDownloaded = false, KeepBoth = false;
    QString Pattern;       // the folder pattern; empty: not sorted by date
    QString Second;        // the folder a second copy goes to, ending in "/"; empty: none
    QString Folder;        // the save folder, ending in "/"
    QString ChosenFolder;  // the folder dialog's answer
    std::string PhoneFolder;
    QStringList Files;  // the file dialog's answer
    // Run at every event-processing point, with its count so far.
    std::function<void(int)> OnPump;
    // What happened.
    int Pumps = 0;
    int FolderDialogs = 0;
    std::vector<QString> Asked;
    std::vector<std::string> Shown;
};

// Virtual phones without modems; downloads written, but never flushed.
class SessionTest : public ::testing::Test, protected TPhoneRig<TNoSerialPorts> {
  protected:
    void SetUp() override {
        coreApp();
        files.SkipFlushes = true;
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path();
        host.Folder = root + "/Pictures/";
    }

    // A session started on the phones plugged so far, as the program starts it.
    TPhoneSession& start() {
        devices.DispatchPending();
        session = std::make_unique<TPhoneSession>(backend, host);
        QObject::connect(session.get(), &TPhoneSession::logged,
                         [this](const TSessionMsg& M) { log.push_back(builtInText(M)); });
        session->Start();
        return *session;
    }
    void selectAll() { session->FileList().SelectAll(); }
    std::vector<std::string> rowNames() const {
        std::vector<std::string> out;
        out.reserve(size_t(session->Rows().Count()));
        for (int i = 0; i < session->Rows().Count(); ++i) {
            out.push_back(session->Rows().At(i).Name);
        }
        return out;
    }
    static QByteArray readLocal(const QString& Path) { return test::readLocal(Path); }
    static QByteArray bytes(const std::vector<uint8_t>& Data) { return asBytes(Data); }

    QTemporaryDir tmp;
    QString root;
    TRecordingFiles& files = localFiles;  // the local files of downloads, step by step
    TTestHost host;
    std::unique_ptr<TPhoneSession> session;
    std::vector<QString> log;  // every Log line, as the built-in templates give it
};

}  // namespace test
