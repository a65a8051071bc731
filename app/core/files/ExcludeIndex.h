#pragma once

#include <list>
#include <string>
#include <unordered_map>
#include <vector>

// The exclusion list: phone file names (8-bit phone text) never to
// download, in the order they were added. Names are compared without regard
// to letter case, Cyrillic included; duplicates may stand in the list. Every
// look-up, addition and removal takes constant time whatever its length.
class TExcludeIndex {
  public:
    // Replaces the entries, keeping their order and duplicates.
    void Assign(const std::vector<std::string>& Names);
    void Clear();

    bool Contains(const std::string& Name) const;
    // Adds Name at the end unless an equal name is listed; true when added.
    bool AddUnique(const std::string& Name);
    // Adds Name at the end even when an equal name is listed.
    void Append(const std::string& Name);
    // Removes the first listed name equal to Name; false when none is.
    bool RemoveFirst(const std::string& Name);

    int Count() const { return static_cast<int>(entries_.size()); }
    // The names as they were added, in order.
    std::vector<std::string> Entries() const;

  private:
    using TEntries = std::list<std::string>;
    TEntries entries_;
    // Case-folded name -> its entries, in list order.
    std::unordered_map<std::string, std::vector<TEntries::iterator>> index_;
};
