#include <QApplication>
#include <QSessionManager>

#include "core/SettingsStore.h"
#include "core/WindowTitle.h"
#include "gui/BackendFactory.h"
#include "gui/FormConfig.h"
#include "gui/QuitSignals.h"
#include "gui/TForm1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);  // no command-line argument is read
    QApplication::setOrganizationName(QStringLiteral("Brenwick"));
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));

    TFormConfig config = defaultFormConfig();
    const bool hide = TSettingsStore(config.SettingsPath).readHide().value_or(false);
    const bool trayAvailable = config.TrayAvailable();

    std::unique_ptr<TBackendHolder> backend = createBackend();
    TForm1 form(backend->Backend(), config);
    if (!hide || !trayAvailable) {
        form.show();
    }
    // A kill or a logout ends the program as its close button does: the
    // settings and the exclusion list are written first.
    TQuitSignals quitSignals([&] {
        form.close();
        QApplication::quit();
    });
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&](QSessionManager&) { form.FormClose(); });
#endif
    return app.exec();
}
