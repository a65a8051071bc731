#include <QApplication>
#include <QSessionManager>
#include <QStandardPaths>
#include <cstdio>

#include "core/program/QuitSignals.h"
#include "core/program/UserPaths.h"
#include "core/program/WindowTitle.h"
#include "core/settings/QtTranslations.h"
#include "core/settings/SettingsStore.h"
#include "gui/FormConfig.h"
#include "gui/SingleInstance.h"
#include "gui/TForm1.h"
#include "wiring/BackendFactory.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);  // no command-line argument is read
    setApplicationNames();
    installQtTranslations(app);

    // Asked to stop by a signal, the program closes its window as the user
    // would, so that the settings are kept, and ends: every event loop
    // returns, a modal message's too. A signal that comes while the window is
    // being made is answered once it stands.
    TForm1* window = nullptr;
    bool stopAsked = false;
    TQuitSignals quitSignals([&window, &stopAsked] {
        stopAsked = true;
        if (window != nullptr) {
            window->close();
        }
        QCoreApplication::exit(0);
    });

    TFormConfig config = defaultFormConfig();
    // Started again, the program shows the window that runs instead of
    // opening a second one on the same phones and settings.
    TSingleInstance instance(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
                             config.SettingsPath);
    switch (instance.Claim()) {
        case TSingleInstance::TClaim::Forwarded:
            return 0;
        case TSingleInstance::TClaim::Unanswered:
            std::fprintf(stderr, "%s is already running (process %lld) and does not answer\n",
                         ApplicationTitle, static_cast<long long>(instance.HolderPid()));
            return 1;
        case TSingleInstance::TClaim::First:
            if (!instance.Error().isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(instance.Error()));
            }
            break;
    }
    const bool hide = TSettingsStore(config.SettingsPath).readHide().value_or(false);
    const bool trayAvailable = config.TrayAvailable();

    // SNAPRILL_TRACE=FILE writes a wire trace of the window's phones.
    std::unique_ptr<TBackendHolder> backend = createBackend();
    TForm1 form(backend->Backend(), config);
    if (stopAsked) {
        form.close();
        return 0;
    }
    window = &form;
    instance.SetOnShowAsked([&form] { form.bringToFront(); });
#ifndef QT_NO_SESSIONMANAGER
    // A logout asks for the session's data first: the close sequence's writes.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.FormClose(); });
#endif
    if (!hide || !trayAvailable) {
        form.show();
    }
    const int status = app.exec();
    window = nullptr;
    return status;
}
