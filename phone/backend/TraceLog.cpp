#include "backend/TraceLog.h"

#include <cerrno>
#include <cstring>

TTraceLog::TTraceLog(bool KeepData) : keepData_(KeepData) {}

TTraceLog::~TTraceLog() {
    Flush();
    if (file_ != nullptr && std::fclose(file_) != 0 && warn_) {
        warn_("the trace file " + path_ + " could not be written to (" + std::strerror(errno) +
              ")");
    }
}

bool TTraceLog::OpenFile(const std::string& Path, TWarning Warn) {
    warn_ = std::move(Warn);
    path_ = Path;
    file_ = std::fopen(Path.c_str(), "we");
    if (file_ == nullptr) {
        fail("cannot be written");
        return false;
    }
    // Written out at least every FlushMs, not line by line: a write a line
    // would cost more than the rest of the trace; a program that dies loses
    // at most the last few milliseconds.
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    if (std::fprintf(file_, "%.*s\n", static_cast<int>(TraceMagic.size()), TraceMagic.data()) < 0 ||
        std::fflush(file_) != 0) {
        fail("cannot be written");
        return false;
    }
    return true;
}

void TTraceLog::fail(const std::string& What) {
    const std::string reason = errno != 0 ? std::strerror(errno) : std::string("unknown error");
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (warn_) {
        warn_("the trace file " + path_ + " " + What + " (" + reason +
              "); the command goes on without it");
        warn_ = nullptr;
    }
}

void TTraceLog::Write(const TTraceEvent& Event) {
    if (!Active()) {
        return;
    }
    writeHeld();
    output(Event,
           seconds_
               ? seconds_()
               : std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(),
           1);
}

void TTraceLog::WriteRepeatable(const TTraceEvent& Event) {
    if (!Active()) {
        return;
    }
    std::string text = Event.Text();
    if (held_ && text == heldText_) {
        ++heldCount_;
        return;
    }
    writeHeld();
    held_ = true;
    heldEvent_ = Event;
    heldText_ = std::move(text);
    heldCount_ = 1;
    heldSeconds_ =
        seconds_ ? seconds_()
                 : std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void TTraceLog::writeHeld() {
    if (!held_) {
        return;
    }
    held_ = false;
    output(heldEvent_, heldSeconds_, heldCount_);
}

void TTraceLog::Flush() {
    writeHeld();
    if (file_ != nullptr && std::fflush(file_) != 0) {
        fail("could not be written to");
    }
}

void TTraceLog::output(const TTraceEvent& Event, double Seconds, uint64_t Repeat) {
    std::string line = Event.Text();
    if (Repeat > 1) {
        line += " repeat=" + std::to_string(Repeat);
    }
    if (listener_) {
        listener_(Event.Topic, line);
    }
    if (file_ == nullptr) {
        return;
    }
    errno = 0;
    if (std::fprintf(file_, "%.6f %s\n", Seconds, line.c_str()) < 0) {
        fail("could not be written to");
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - flushed_ >= std::chrono::milliseconds(FlushMs)) {
        flushed_ = now;
        if (std::fflush(file_) != 0) {
            fail("could not be written to");
        }
    }
}
