#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// The phone's files as a tree of folders, made from their phone paths: the
// root holds one folder per drive ("/a" is "a"), and "/a/mobile/x.jpg" is
// the file "x.jpg" in the folder "mobile" of "a". Names are shown decoded
// from the phone's code page (UTF-8 here); each file keeps its phone path's
// own bytes. Every path gets one inode number for the life of the tree,
// never reused, so that what the kernel holds of a name stays right across
// listings.
class TMountTree {
  public:
    using TIno = uint64_t;
    static constexpr TIno RootIno = 1;

    struct TNode {
        TIno Ino = 0;
        TIno Parent = 0;
        std::string Name;       // UTF-8, as shown
        std::string Path;       // UTF-8, from the root: "a/mobile/x.jpg"
        std::string PhonePath;  // files: the phone path; folders: the phone folder, ending in "/"
        bool Folder = false;
        int64_t Size = 0;
        int Drive = -1;       // index of the drive it is on; -1 for the root
        bool Present = true;  // false once gone from the phone
        // Folders: children by shown name, and by the phone's case-blind key.
        std::map<std::string, TIno> Children;
        std::unordered_map<std::string, TIno> ByKey;
    };

    // The root with one folder per drive (phone bytes such as "/a"). A drive
    // whose name cannot be a folder name is left out.
    explicit TMountTree(const std::vector<std::string>& Drives);

    const std::vector<std::string>& Drives() const { return drives_; }
    // The node of an inode number; nullptr for one never given.
    const TNode* Node(TIno Ino) const;
    // The child of a folder by name; the exact name first, then the name as
    // the phone compares it (letter case aside). Nullptr when none.
    const TNode* Child(TIno Folder, const std::string& Name) const;

    // Replaces every file of drive Drive by those listed (phone path, size).
    // A path that cannot be shown as a tree of names (not on that drive, an
    // empty, "." or ".." part, or a folder and a file of one name) is left
    // out; returns how many were.
    int SetDriveFiles(int Drive, const std::vector<std::pair<std::string, int64_t>>& Files);

    // The file of phone path PhonePath on drive Drive, with its folders:
    // added, or the one there (letter case aside) given Size. Returns its
    // inode number; 0 when the path cannot be shown (see SetDriveFiles).
    TIno PutFile(int Drive, const std::string& PhonePath, int64_t Size);
    // Takes a file out of its folder; a folder only when it is empty.
    bool Remove(TIno Ino);

    // Every file's size summed, and the count of nodes.
    int64_t TotalBytes() const;
    size_t Count() const { return nodes_.size(); }

  private:
    // The child of Parent whose phone name is Part (phone bytes), made when
    // there is none; 0 when a node of the other kind holds the name.
    TIno childFor(TIno Parent, const std::string& Part, bool Folder);
    // Takes every node under Folder out.
    void clear(TNode& Folder);

    std::vector<std::string> drives_;
    std::unordered_map<TIno, TNode> nodes_;
    // Inode numbers by the path of their node ("a/mobile/x.jpg"), kept for
    // the tree's life.
    std::unordered_map<std::string, TIno> byPath_;
    TIno next_ = RootIno + 1;
};

// The key names are compared by as the phone compares them: the phone
// bytes in upper case (code page 1251); nothing for a name the code page
// cannot hold.
std::optional<std::string> phoneKey(const std::string& Utf8Name);
