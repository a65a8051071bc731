#pragma once

// A window over one virtual phone for the benchmarks: the phone plugged
// before the window exists, every file the window keeps in a temporary
// folder, its dialogs answered here. The window is destroyed before the
// phone and the device source.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

#include "BenchApp.h"
#include "gui/FormConfig.h"
#include "gui/TForm1.h"
#include "support/FormFiles.h"
#include "support/PhoneRig.h"

struct TWindowRig {
    test::TPhoneRig<test::TNoSerialPorts, TPosixLocalFiles> Phones;
    QTemporaryDir Tmp;
    TFormConfig Config;
    std::shared_ptr<TVirtualPhone> Phone;
    std::unique_ptr<TForm1> Form;

    // The settings file holds Settings; Yes answers every question; the
    // folder chooser gives the empty folder "chosen".
    TWindowRig(TVirtualPhoneState State, const QByteArray& Settings, bool Yes = false) {
        benchApp();
        const QString root = Tmp.path();
        QDir(root).mkpath(QStringLiteral("chosen"));
        test::PlaceFormFiles(Config, root);
        Config.OpenUrl = [](const QUrl&) { return true; };
        const QString chosen = root + QStringLiteral("/chosen");
        Config.Dialogs.ChooseFolder = [chosen](QWidget*, const QString&, const QString&) {
            return chosen;
        };
        Config.Dialogs.ChooseFiles = [](QFileDialog*) { return QStringList(); };
        Config.Dialogs.AskYesNo = [Yes](QWidget*, const QString&) { return Yes; };
        Config.Dialogs.ShowMessage = [](QWidget*, const QString&, bool) {};
        Config.TrayAvailable = [] { return true; };
        test::writeLocal(Config.SettingsPath, Settings);
        Phones.keepReceived = false;
        Phone = Phones.plugBefore("one", std::move(State));
    }
    ~TWindowRig() { Form.reset(); }

    TForm1& Open() {
        Form = std::make_unique<TForm1>(Phones.backend, Config);
        return *Form;
    }
    int Rows() const { return Form->session().Rows().Count(); }
};
