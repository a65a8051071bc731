#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Ends the program in order when it is asked to stop by a signal (SIGTERM
// from the session or `kill`, SIGINT from Ctrl+C in the terminal that started
// it, SIGHUP when that terminal goes): the handler only writes a byte to a
// pipe, and the event loop then runs OnSignal, which closes the window so
// that its settings are kept. One instance at a time; destroying it gives
// the signals their default handling back.
class TQuitSignals final : public QObject {
  public:
    explicit TQuitSignals(std::function<void()> OnSignal, QObject* Parent = nullptr);
    ~TQuitSignals() override;
    TQuitSignals(const TQuitSignals&) = delete;
    TQuitSignals& operator=(const TQuitSignals&) = delete;

    // False when the pipe could not be made: signals end the program at once.
    bool IsActive() const { return notifier_ != nullptr; }

  private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};
