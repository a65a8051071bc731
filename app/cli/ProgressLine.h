#pragma once

#include <QString>
#include <cstdint>
#include <iosfwd>
#include <vector>

class IClock;

// One file of a transfer, as the progress line names it.
struct TProgressFile {
    QString Name;
    int64_t Size = 0;
};

// The text of a progress line, cut to Width characters:
// "[2/10] img2.jpg  1.2 MB/7.8 MB  35.2 kB/s  0:03 left", where Done of
// Total bytes are the whole transfer's, so that the count moves on however
// small the files. A speed below 0 is not known yet, nor then the time left.
QString progressText(const TProgressFile& File, int Index, int Count, int64_t Done, int64_t Total,
                     double BytesPerSecond, int64_t SecondsLeft, int Width);

// The progress of a transfer as one line on a terminal's standard error:
// redrawn in place at most every RedrawMs (and at each new file), and
// erased before anything else is printed and when the transfer ends. The
// speed is the transfer's own so far; the time left is that of all its
// files still to come.
class TProgressLine {
  public:
    static constexpr uint32_t RedrawMs = 100;

    // Enabled false: a line that never draws (standard error is no terminal, or -q).
    TProgressLine(std::ostream& Err, IClock& Clock, int Width, bool Enabled);

    void Begin(std::vector<TProgressFile> Files);
    // The file now transferred, counted from 0.
    void SetFile(int Index);
    void SetBytes(int64_t Done);
    void End();
    // Erases the line, if one is shown.
    void Erase();

  private:
    void draw(bool Now);

    std::ostream& err_;
    IClock& clock_;
    int width_;
    bool enabled_;
    std::vector<TProgressFile> files_;
    int64_t totalBytes_ = 0;
    int64_t bytesBefore_ = 0;  // of the files before the current one
    int64_t moved_ = 0;        // bytes transferred so far
    int index_ = -1;
    int64_t done_ = 0;
    uint32_t startMs_ = 0;
    uint32_t drawnMs_ = 0;
    bool shown_ = false;
};
