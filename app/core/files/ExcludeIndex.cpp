#include "core/files/ExcludeIndex.h"

#include "MotoSysUtils.h"

void TExcludeIndex::Assign(const std::vector<std::string>& Names) {
    Clear();
    for (const std::string& n : Names) {
        Append(n);
    }
}

void TExcludeIndex::Clear() {
    entries_.clear();
    index_.clear();
}

bool TExcludeIndex::Contains(const std::string& Name) const {
    return index_.contains(UpperCaseText1251(Name));
}

bool TExcludeIndex::AddUnique(const std::string& Name) {
    if (Contains(Name)) {
        return false;
    }
    Append(Name);
    return true;
}

void TExcludeIndex::Append(const std::string& Name) {
    entries_.push_back(Name);
    index_[UpperCaseText1251(Name)].push_back(std::prev(entries_.end()));
}

bool TExcludeIndex::RemoveFirst(const std::string& Name) {
    auto it = index_.find(UpperCaseText1251(Name));
    if (it == index_.end()) {
        return false;
    }
    // Equal names are appended in list order, so the first of them is the
    // first in the list.
    std::vector<TEntries::iterator>& same = it->second;
    entries_.erase(same.front());
    same.erase(same.begin());
    if (same.empty()) {
        index_.erase(it);
    }
    return true;
}

std::vector<std::string> TExcludeIndex::Entries() const {
    return {entries_.begin(), entries_.end()};
}
