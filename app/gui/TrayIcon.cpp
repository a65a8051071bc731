#include "gui/TrayIcon.h"

#include <QCursor>
#include <QSystemTrayIcon>

TTrayIcon::TTrayIcon(QObject* Owner) : QObject(Owner), tray_(new QSystemTrayIcon(this)) {
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) { activated(static_cast<int>(r)); });
}

TTrayIcon::~TTrayIcon() {
    if (active_) {
        tray_->hide();
    }
}

void TTrayIcon::SetActive(bool Value) {
    if (Value == active_) {
        return;
    }
    active_ = Value;
    if (active_) {
        modifyIcon();
        tray_->show();
    } else {
        tray_->hide();
    }
}

void TTrayIcon::SetIcon(const QIcon& Value) {
    icon_ = Value;
    modifyIcon();
}

void TTrayIcon::SetToolTip(const QString& Value) {
    toolTip_ = Value.left(MaxToolTip);
    modifyIcon();
}

void TTrayIcon::modifyIcon() {
    tray_->setIcon(icon_);
    tray_->setToolTip(toolTip_);
}

void TTrayIcon::activated(int Reason) {
    switch (static_cast<QSystemTrayIcon::ActivationReason>(Reason)) {
        case QSystemTrayIcon::Trigger:
            if (OnClick) {
                OnClick(this);
            }
            break;
        case QSystemTrayIcon::DoubleClick:
            // The second press of a double click arrives only as this
            // reason, so it is a click as well: a double click toggles
            // twice, as two clicks do.
            if (OnClick) {
                OnClick(this);
            }
            if (OnDblClick) {
                OnDblClick(this);
            }
            break;
        case QSystemTrayIcon::Context:
            if (OnRightClick) {
                const QPoint p = QCursor::pos();
                OnRightClick(this, Qt::RightButton, Qt::NoModifier, p.x(), p.y());
            }
            break;
        default:
            break;
    }
}
