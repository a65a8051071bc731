// Showing and hiding the window from the notification area, and ending the
// program from there.
#include <QCoreApplication>

#include "gui/TForm1.h"
#include "gui/TrayIcon.h"

bool TForm1::windowShown() const {
    return isVisible() && !isMinimized();
}

void TForm1::trayClicked() {
    if (windowShown()) {
        // Hidden at once, where a minimise would leave it. Asking the window
        // manager to iconify the window and withdrawing it right after, as a
        // minimise that hides does, races with the window manager: an iconify
        // it carried out after the withdrawal came back as a minimised state
        // when the window was next shown, and hid it again, so that a click
        // in four was lost. A window minimised but not hidden is shown.
        hide();
        return;
    }
    bringToFront();
}

void TForm1::bringToFront() {
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

void TForm1::nameTrayMenu() {
    tray_->SetMenuTexts(Msg(windowShown() ? "idTrayHide" : "idTrayShow"), Msg("idTrayQuit"));
}

void TForm1::quitProgram() {
    // As a stop signal ends the program (main.cpp): the close sequence keeps
    // the settings, and every event loop returns, a running command's pauses
    // included, since closing interrupts it.
    close();
    QCoreApplication::exit(0);
}
