#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start, and a pause. The poll loop of a
// command transaction and every time-out run on this, so tests can run a
// two-second wait on a fake clock in microseconds.
class IClock {
  public:
    virtual ~IClock() = default;
    // A millisecond tick count that wraps at 2^32, like a system tick counter.
    virtual uint32_t TickCount() = 0;
    virtual void Sleep(uint32_t Milliseconds) = 0;
};

// The real clock: std::chrono::steady_clock and std::this_thread::sleep_for.
class TSteadyClock final : public IClock {
  public:
    uint32_t TickCount() override;
    void Sleep(uint32_t Milliseconds) override;
};

// A clock for tests: time moves only when told to, plus AutoAdvance
// milliseconds on every TickCount() call so that a busy poll loop always ends.
class TFakeClock final : public IClock {
  public:
    explicit TFakeClock(uint32_t AutoAdvance = 1) : autoAdvance_(AutoAdvance) {}
    uint32_t TickCount() override {
        uint32_t now = now_;
        now_ += autoAdvance_;
        return now;
    }
    void Sleep(uint32_t Milliseconds) override { now_ += Milliseconds; }
    void Advance(uint32_t Milliseconds) { now_ += Milliseconds; }
    uint32_t Now() const { return now_; }
    void SetNow(uint32_t Now) { now_ = Now; }

  private:
    uint32_t now_ = 0;
    uint32_t autoAdvance_;
};
