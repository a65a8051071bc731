#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;

// Ctrl+C (SIGINT), SIGTERM and SIGHUP while a mount is served: each is told
// through the event loop (a pipe the handler writes to), so that the mount
// ends in order wherever the loop is. The earlier handling is given back
// when it goes. One at a time.
class TMountSignals : public QObject {
    Q_OBJECT
  public:
    explicit TMountSignals(QObject* Parent = nullptr);
    ~TMountSignals() override;

  signals:
    void asked();

  private:
    QSocketNotifier* notifier_ = nullptr;
};
