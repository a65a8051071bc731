// Showing and hiding the window from the notification area.
#include "gui/TForm1.h"

void TForm1::trayClicked() {
    if (isVisible()) {
        // Minimising hides the window (minimized()).
        showMinimized();
        return;
    }
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TForm1::minimized() {
    // Without a notification area the hidden window could not come back.
    if (!minimizeHandlerInstalled_ || !config_.TrayAvailable || !config_.TrayAvailable()) {
        return;
    }
    hide();
}
