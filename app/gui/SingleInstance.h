#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

// One running program per settings file. The first start holds a lock file
// in the user's runtime folder and listens on a local socket beside it; a
// later start finds the lock held, asks the running program through the
// socket to show its window, and ends. A lock left behind by a program that
// died is taken over. Two programs with different settings files (another
// user, or a test's own folders) do not meet.
class TSingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class TClaim {
        First,       // this is the program that runs
        Forwarded,   // another one runs and was asked to show its window
        Unanswered,  // another one holds the lock but could not be reached
    };

    // Folder: where the lock and the socket live; Key: the settings file.
    TSingleInstance(const QString& Folder, const QString& Key, QObject* Parent = nullptr);
    ~TSingleInstance() override;

    // Takes the lock, or asks its holder to show itself, trying for up to
    // WaitMs while the holder has not begun to listen yet. A lock that cannot
    // be made at all (no runtime folder) lets the program run: Error() says why.
    TClaim Claim(int WaitMs = 5000);
    const QString& Error() const { return error_; }
    // The process that holds the lock, after Claim gave Unanswered.
    qint64 HolderPid() const { return holderPid_; }

    // Runs Show whenever a later start asks to be shown. A request that came
    // before Show was set is passed on as soon as it is set.
    void SetOnShowAsked(std::function<void()> Show);

    QString LockPath() const;
    QString SocketPath() const;

  private:
    void listen();
    void accept();
    void showAsked();

    QString folder_;
    QString name_;  // snaprill-<hash of the key>
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    QString error_;
    qint64 holderPid_ = 0;
    std::function<void()> onShowAsked_;
    bool showPending_ = false;
};
