#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One listed phone file.
struct TFileRow {
    std::string Name;  // full phone path, the phone's own 8-bit bytes
    int32_t Size = 0;  // bytes, as listed
    bool Checked = false;
    int Number = 0;  // 1-based place in the order the phone listed the files
    bool Selected = false;
    bool DownloadedBefore = false;  // in the download history of its phone
};

// The rows of the file list in the order they are shown, with the running
// selection count and byte sum. Rows are appended as the phone lists them;
// Finish puts them in caption order once: numbered rows (File Manager)
// sort by the text of their number (1, 10, 11, ..., 2, 20, ...), rows
// without numbers keep the phone's order.
class TFileRows {
  public:
    // Appends a row numbered after the last one.
    void Append(std::string Name, int32_t Size, bool Checked);
    void Finish(bool Numbered);

    int Count() const { return static_cast<int>(rows_.size()); }
    bool Numbered() const { return numbered_; }
    const TFileRow& At(int Row) const { return rows_[static_cast<size_t>(Row)]; }
    void SetChecked(int Row, bool Checked) { rows_[static_cast<size_t>(Row)].Checked = Checked; }
    void SetDownloadedBefore(int Row) { rows_[static_cast<size_t>(Row)].DownloadedBefore = true; }

    // Selection, kept as a running count and a 64-bit byte sum so that a
    // change costs what it touches, not the length of the list.
    void SetSelected(int Row, bool Selected);
    void ClearSelection();
    void SelectAll();
    int SelectedCount() const { return selectedCount_; }
    int64_t SelectedBytes() const { return selectedBytes_; }
    // The selected rows, top to bottom.
    std::vector<TFileRow> SelectedRows() const;

  private:
    std::vector<TFileRow> rows_;
    bool numbered_ = false;
    int selectedCount_ = 0;
    int64_t selectedBytes_ = 0;
};

// The text a row number is shown and sorted by.
std::string rowNumberText(int Number);
