#include <QApplication>

#include "core/SettingsStore.h"
#include "core/WindowTitle.h"
#include "gui/BackendFactory.h"
#include "gui/FormConfig.h"
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
    return app.exec();
}
