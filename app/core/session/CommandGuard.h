#pragma once

#include <cstdint>

// One phone command at a time. A command runs between Begin and End and
// lets the window process messages at fixed points; whatever happens there
// that makes the command's view of the phones stale (a phone arriving or
// leaving, the window closing) calls Interrupt, and the command, seeing
// Interrupted at its next such point, ends cleanly.
class TCommandGuard {
  public:
    bool Busy() const { return busy_; }
    // False when a command is running already.
    bool Begin() {
        if (busy_) {
            return false;
        }
        busy_ = true;
        started_ = generation_;
        return true;
    }
    void End() { busy_ = false; }
    void Interrupt() { ++generation_; }
    // Whether the running command was interrupted since it began.
    bool Interrupted() const { return busy_ && generation_ != started_; }

  private:
    bool busy_ = false;
    uint64_t generation_ = 0;
    uint64_t started_ = 0;
};
