#include "mount/MountTree.h"

#include <QString>

#include "MotoSysUtils.h"
#include "core/files/PhoneText.h"

namespace {

// The last part of a phone path ("x.jpg" of "/a/x.jpg", "b" of "/a/b/").
std::string lastPart(const std::string& PhonePath) {
    std::string path = PhonePath;
    if (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The parts of a phone path between its "/" separators.
std::vector<std::string> splitPath(const std::string& Path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= Path.size()) {
        const size_t slash = Path.find('/', start);
        const size_t end = slash == std::string::npos ? Path.size() : slash;
        parts.push_back(Path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool showable(const std::string& Part) {
    return !Part.empty() && Part != "." && Part != "..";
}

}  // namespace

std::optional<std::string> phoneKey(const std::string& Utf8Name) {
    // A name typed in decomposed form (a letter and its accent apart) is
    // the same name as its composed form.
    const std::optional<std::string> bytes =
        unicodeToPhone(QString::fromStdString(Utf8Name).normalized(QString::NormalizationForm_C));
    if (!bytes) {
        return std::nullopt;
    }
    return UpperCaseText1251(*bytes);
}

TMountTree::TMountTree(const std::vector<std::string>& Drives) {
    TNode& root = nodes_[RootIno];
    root.Ino = RootIno;
    root.Parent = RootIno;
    root.Folder = true;
    for (const std::string& drive : Drives) {
        // "/a" is the folder "a": one part after its "/".
        if (drive.size() < 2 || drive[0] != '/' || drive.find('/', 1) != std::string::npos ||
            !showable(drive.substr(1))) {
            continue;
        }
        const TIno ino = childFor(RootIno, drive.substr(1), true);
        if (ino == 0 || nodes_[ino].Drive >= 0) {
            continue;  // a second drive of that name
        }
        nodes_[ino].Drive = static_cast<int>(drives_.size());
        nodes_[ino].PhonePath = drive + "/";
        drives_.push_back(drive);
    }
}

const TMountTree::TNode* TMountTree::Node(TIno Ino) const {
    const auto it = nodes_.find(Ino);
    return it == nodes_.end() ? nullptr : &it->second;
}

const TMountTree::TNode* TMountTree::Child(TIno Folder, const std::string& Name) const {
    const TNode* folder = Node(Folder);
    if (folder == nullptr || !folder->Folder || !folder->Present) {
        return nullptr;
    }
    if (const auto it = folder->Children.find(Name); it != folder->Children.end()) {
        return Node(it->second);
    }
    const std::optional<std::string> key = phoneKey(Name);
    if (!key) {
        return nullptr;
    }
    const auto it = folder->ByKey.find(*key);
    return it == folder->ByKey.end() ? nullptr : Node(it->second);
}

TMountTree::TIno TMountTree::childFor(TIno Parent, const std::string& Part, bool Folder) {
    TNode& parent = nodes_[Parent];
    const std::string key = UpperCaseText1251(Part);
    if (const auto it = parent.ByKey.find(key); it != parent.ByKey.end()) {
        return nodes_[it->second].Folder == Folder ? it->second : 0;
    }
    const std::string name = phoneToUnicode(Part).toStdString();
    if (parent.Children.count(name) != 0) {
        return 0;  // another phone name shows as this one
    }
    const std::string path = Parent == RootIno ? name : parent.Path + "/" + name;
    // A path keeps its number while it keeps its kind.
    const std::string pathKey = (Folder ? "d:" : "f:") + path;
    TIno ino = 0;
    if (const auto it = byPath_.find(pathKey); it != byPath_.end()) {
        ino = it->second;
    } else {
        ino = next_++;
        byPath_.emplace(pathKey, ino);
    }
    TNode& node = nodes_[ino];
    node = TNode();
    node.Ino = ino;
    node.Parent = Parent;
    node.Name = name;
    node.Path = path;
    node.Folder = Folder;
    node.Drive = Parent == RootIno ? -1 : parent.Drive;
    node.PhonePath = parent.PhonePath + Part + (Folder ? "/" : "");
    parent.Children.emplace(name, ino);
    parent.ByKey.emplace(key, ino);
    return ino;
}

TMountTree::TIno TMountTree::PutFile(int Drive, const std::string& PhonePath, int64_t Size) {
    if (Drive < 0 || Drive >= static_cast<int>(drives_.size())) {
        return 0;
    }
    const std::string& drive = drives_[static_cast<size_t>(Drive)];
    if (PhonePath.size() <= drive.size() + 1 || PhonePath[drive.size()] != '/' ||
        UpperCaseText1251(PhonePath.substr(0, drive.size())) != UpperCaseText1251(drive)) {
        return 0;
    }
    const std::vector<std::string> parts = splitPath(PhonePath.substr(drive.size() + 1));
    for (const std::string& part : parts) {
        if (!showable(part)) {
            return 0;
        }
    }
    TIno folder = RootIno;
    for (const auto& [ino, node] : nodes_[RootIno].Children) {
        (void)ino;
        if (nodes_[node].Drive == Drive) {
            folder = node;
        }
    }
    for (size_t i = 0; i + 1 < parts.size() && folder != 0; ++i) {
        folder = childFor(folder, parts[i], true);
    }
    const TIno file = folder == 0 ? 0 : childFor(folder, parts.back(), false);
    if (file != 0) {
        // The file keeps the phone's own bytes of its path, as listed.
        nodes_[file].PhonePath = PhonePath;
        nodes_[file].Size = Size;
    }
    return file;
}

void TMountTree::clear(TNode& Folder) {
    for (const auto& [name, ino] : Folder.Children) {
        (void)name;
        TNode& child = nodes_[ino];
        if (child.Folder) {
            clear(child);
        }
        child.Present = false;
    }
    Folder.Children.clear();
    Folder.ByKey.clear();
}

int TMountTree::SetDriveFiles(int Drive,
                              const std::vector<std::pair<std::string, int64_t>>& Files) {
    for (const auto& [name, ino] : nodes_[RootIno].Children) {
        (void)name;
        if (nodes_[ino].Drive == Drive) {
            clear(nodes_[ino]);
        }
    }
    int left = 0;
    for (const auto& [path, size] : Files) {
        left += PutFile(Drive, path, size) == 0 ? 1 : 0;
    }
    return left;
}

bool TMountTree::Remove(TIno Ino) {
    const auto it = nodes_.find(Ino);
    if (it == nodes_.end() || Ino == RootIno || !it->second.Present) {
        return false;
    }
    TNode& node = it->second;
    if (node.Folder && (!node.Children.empty() || node.Parent == RootIno)) {
        return false;  // a folder with files, or a drive
    }
    TNode& parent = nodes_[node.Parent];
    parent.Children.erase(node.Name);
    parent.ByKey.erase(UpperCaseText1251(lastPart(node.PhonePath)));
    node.Present = false;
    return true;
}

int64_t TMountTree::TotalBytes() const {
    int64_t bytes = 0;
    for (const auto& [ino, node] : nodes_) {
        (void)ino;
        bytes += node.Present && !node.Folder ? node.Size : 0;
    }
    return bytes;
}
