#pragma once

#include <csignal>

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a call on the GUI thread, so that a
// logout or a kill ends the program through the same close sequence as the
// window's close button, and no setting is lost. One instance at a time; the
// default handling comes back when it is destroyed.
class TQuitSignals : public QObject {
  public:
    explicit TQuitSignals(std::function<void()> OnQuit, QObject* Parent = nullptr);
    ~TQuitSignals() override;
    TQuitSignals(const TQuitSignals&) = delete;
    TQuitSignals& operator=(const TQuitSignals&) = delete;

    static constexpr int SignalCount = 3;

  private:
    void readSignal();

    struct sigaction old_[SignalCount] = {};

    std::function<void()> onQuit_;
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};
