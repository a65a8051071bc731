#pragma once

#define FUSE_USE_VERSION 314
#include <fuse_lowlevel.h>

#include <QObject>
#include <QString>

class QSocketNotifier;
class TPhoneFs;

// The phone's file system mounted through libfuse's low-level interface,
// served on the thread of the Qt event loop: the kernel's requests are read
// from the session's file descriptor when the loop sees it readable, also
// while a phone command lets the loop run, and handed to the file system.
class TFuseMount : public QObject {
    Q_OBJECT
  public:
    explicit TFuseMount(TPhoneFs& Fs, QObject* Parent = nullptr);
    // Unmounts, when still mounted.
    ~TFuseMount() override;

    // Mounts at Dir (absolute). False, with Error set, when it cannot.
    bool Mount(const QString& Dir, bool ReadOnly, QString& Error);
    // "major:minor" of the mounted file system, as /proc/self/mountinfo says.
    const QString& Device() const { return device_; }
    // Whether the kernel ended the mount (unmounted from outside).
    bool Ended() const;
    // Unmounts (lazily: a file still open keeps it until closed).
    void Unmount();

  signals:
    // The mount ended from outside (fusermount3 -u, umount).
    void ended();

  private:
    // Reads and handles every request waiting.
    void serve();

    TPhoneFs& fs_;
    fuse_session* session_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QString dir_;
    QString device_;
    fuse_buf buffer_{};
    bool serving_ = false;
    bool mounted_ = false;
};

// The mount of /proc/self/mountinfo at Dir (absolute, canonical): its file
// system type and "major:minor"; empty when nothing is mounted there.
struct TMountInfo {
    QString Type;
    QString Device;
};
TMountInfo mountAt(const QString& Dir);
