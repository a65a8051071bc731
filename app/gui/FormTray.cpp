// Showing and hiding the window from the notification area.
#include "gui/TForm1.h"

void TForm1::TrayIcon1Click(QObject* /*Sender*/) {
    if (isVisible()) {
        // Minimising hides the window (MinimizeEvtHandler).
        showMinimized();
        return;
    }
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TForm1::MinimizeEvtHandler() {
    // Without a notification area the hidden window could not come back.
    if (!minimizeHandlerInstalled_ || !config_.TrayAvailable || !config_.TrayAvailable()) {
        return;
    }
    hide();
}
