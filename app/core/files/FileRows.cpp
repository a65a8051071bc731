#include "core/files/FileRows.h"

#include <algorithm>

std::string rowNumberText(int Number) {
    return std::to_string(Number);
}

void TFileRows::Append(std::string Name, int32_t Size, bool Checked) {
    TFileRow row;
    row.Name = std::move(Name);
    row.Size = Size;
    row.Checked = Checked;
    row.Number = Count() + 1;
    rows_.push_back(std::move(row));
}

void TFileRows::Finish(bool Numbered) {
    numbered_ = Numbered;
    if (!Numbered) {
        return;
    }
    // Sort keys made once, not per comparison.
    std::vector<std::pair<std::string, size_t>> keys;
    keys.reserve(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        keys.emplace_back(rowNumberText(rows_[i].Number), i);
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& A, const auto& B) { return A.first < B.first; });
    std::vector<TFileRow> sorted;
    sorted.reserve(rows_.size());
    for (const auto& k : keys) {
        sorted.push_back(std::move(rows_[k.second]));
    }
    rows_ = std::move(sorted);
}

void TFileRows::SetSelected(int Row, bool Selected) {
    TFileRow& r = rows_[static_cast<size_t>(Row)];
    if (r.Selected == Selected) {
        return;
    }
    r.Selected = Selected;
    selectedCount_ += Selected ? 1 : -1;
    selectedBytes_ += Selected ? r.Size : -int64_t{r.Size};
}

void TFileRows::ClearSelection() {
    for (TFileRow& r : rows_) {
        r.Selected = false;
    }
    selectedCount_ = 0;
    selectedBytes_ = 0;
}

void TFileRows::SelectAll() {
    for (int i = 0; i < Count(); ++i) {
        SetSelected(i, true);
    }
}

std::vector<TFileRow> TFileRows::SelectedRows() const {
    std::vector<TFileRow> out;
    out.reserve(static_cast<size_t>(selectedCount_));
    for (const TFileRow& r : rows_) {
        if (r.Selected) {
            out.push_back(r);
        }
    }
    return out;
}
