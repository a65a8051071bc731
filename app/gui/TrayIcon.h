#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>

class QSystemTrayIcon;

// The icon in the desktop's notification area. Clicks on it are passed on to
// the owner's handlers; the icon itself does nothing else.
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

    // The platform icon, for tests that play the desktop's part.
    QSystemTrayIcon* platformIcon() const { return tray_; }

  private:
    void activated(int Reason);
    void modifyIcon();

    QSystemTrayIcon* tray_;
    bool active_ = false;
    QIcon icon_;
    QString toolTip_;
};
