#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <utility>

// How fast a transfer moves and how long the rest will take: bytes per
// second over the last few seconds, and the time left for every file of
// the command by their listed sizes. A file that ends before its listed
// size (failed, stopped, or skipped without a byte) takes its unmoved bytes
// out of what is left. Time comes from Now, in milliseconds, so that tests
// run it on a clock of their own.
class TTransferRate {
  public:
    using TNow = std::function<int64_t()>;
    static constexpr int64_t DefaultWindowMs = 5000;
    // A rate measured over less time than this is not shown: the first
    // block alone says little about the link.
    static constexpr int64_t MinSpanMs = 500;

    explicit TTransferRate(TNow Now, int64_t WindowMs = DefaultWindowMs);

    // A new command of TotalBytes listed bytes; forgets the last one.
    void Begin(int64_t TotalBytes);
    // The next file, listed at ListedBytes; the file before it ends here.
    void FileBegins(int64_t ListedBytes);
    // Done bytes of the current file have moved so far.
    void FileProgress(int64_t Done);
    // The current file ends: whatever of it did not move is not waited for.
    void FileEnds();

    // Bytes per second over the window; nothing until it spans MinSpanMs.
    std::optional<double> BytesPerSecond() const;
    // Whole seconds left for the rest of the command at that rate; nothing
    // without a rate, or while nothing is moving.
    std::optional<int64_t> SecondsLeft() const;
    int64_t BytesLeft() const;
    int64_t BytesMoved() const { return moved_; }

  private:
    void sample();

    TNow now_;
    int64_t windowMs_;
    int64_t total_ = 0;
    int64_t moved_ = 0;      // bytes moved by the command so far
    int64_t accounted_ = 0;  // listed bytes of the files ended so far
    int64_t fileListed_ = 0;
    int64_t fileDone_ = 0;
    bool inFile_ = false;
    // (time, bytes moved) of the window, oldest first; the first may lie
    // before the window, so that the rate spans the whole of it.
    std::deque<std::pair<int64_t, int64_t>> samples_;
};

// "m:ss", or "h:mm:ss" from an hour on; negative counts as 0.
QString formatTimeLeft(int64_t Seconds);
