#include "gui/TrayIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {
// A menu entry shows its text as it is: "&" marks no shortcut.
QString menuText(QString Text) {
    return Text.replace(QLatin1Char('&'), QLatin1String("&&"));
}
}  // namespace

TTrayIcon::TTrayIcon(QObject* Owner)
    : QObject(Owner), tray_(new QSystemTrayIcon(this)), menu_(std::make_unique<QMenu>()) {
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) { activated(static_cast<int>(r)); });
    menu_->setObjectName(QStringLiteral("TrayMenu"));
    showHideAction_ = menu_->addAction(QString());
    showHideAction_->setObjectName(QStringLiteral("TrayShowHide"));
    menu_->addSeparator();
    quitAction_ = menu_->addAction(QString());
    quitAction_->setObjectName(QStringLiteral("TrayQuit"));
    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        if (OnMenu) {
            OnMenu(this);
        }
    });
    connect(showHideAction_, &QAction::triggered, this, [this] {
        if (OnShowHide) {
            OnShowHide(this);
        }
    });
    connect(quitAction_, &QAction::triggered, this, [this] {
        if (OnQuit) {
            OnQuit(this);
        }
    });
    tray_->setContextMenu(menu_.get());
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

void TTrayIcon::SetMenuTexts(const QString& ShowHide, const QString& Quit) {
    showHideAction_->setText(menuText(ShowHide));
    quitAction_->setText(menuText(Quit));
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
