#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The icon in the desktop's notification area. Clicks on it are passed on to
// the owner's handlers; the icon itself does nothing else. Its menu, which a
// right click opens, holds an entry that shows or hides the owner's window
// and one that quits; the owner names them each time the menu opens
// (OnMenu, SetMenuTexts) and acts on them (OnShowHide, OnQuit).
class TTrayIcon : public QObject {
    Q_OBJECT
  public:
    using TNotify = std::function<void(QObject* Sender)>;
    using TMouse = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                      Qt::KeyboardModifiers Shift, int X, int Y)>;

    static constexpr qsizetype MaxToolTip = 62;

    explicit TTrayIcon(QObject* Owner = nullptr);
    ~TTrayIcon() override;

    bool Active() const { return active_; }
    // Adds the icon (true) or removes it (false) when the value changes.
    void SetActive(bool Value);
    const QIcon& Icon() const { return icon_; }
    void SetIcon(const QIcon& Value);
    const QString& ToolTip() const { return toolTip_; }
    // A longer text is cut to its first 62 characters.
    void SetToolTip(const QString& Value);

    TNotify OnClick;
    TNotify OnDblClick;
    TMouse OnRightClick;
    TNotify OnMenu;
    TNotify OnShowHide;
    TNotify OnQuit;

    // Texts are shown as plain text: a "&" stays a "&", not a shortcut mark.
    void SetMenuTexts(const QString& ShowHide, const QString& Quit);
    QMenu* menu() const { return menu_.get(); }

    // The platform icon, for tests that play the desktop's part.
    QSystemTrayIcon* platformIcon() const { return tray_; }

  private:
    void activated(int Reason);
    void modifyIcon();

    QSystemTrayIcon* tray_;
    std::unique_ptr<QMenu> menu_;  // a widget: it cannot be a child of the icon
    QAction* showHideAction_;
    QAction* quitAction_;
    bool active_ = false;
    QIcon icon_;
    QString toolTip_;
};
