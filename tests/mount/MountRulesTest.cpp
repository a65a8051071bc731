// The mounted folder's decisions and its tree of names, by the table.
#include <gtest/gtest.h>

#include <cerrno>

#include "mount/MountRules.h"
#include "mount/MountTree.h"

TEST(MountRules, ErrnoOfEachOutcome) {
    const std::pair<TFileOutcome, int> cases[] = {
        {{TFileResult::Done}, 0},
        {{TFileResult::PhoneFailed}, EIO},
        {{TFileResult::PhoneLost}, EIO},
        {{TFileResult::NoRoom}, ENOSPC},
        {{TFileResult::BadName}, EILSEQ},
        {{TFileResult::LocalFailed, ENOSPC}, ENOSPC},  // the local disk's own reason
        {{TFileResult::LocalFailed, 0}, EIO},
        {{TFileResult::Stopped}, EINTR},
    };
    for (const auto& [outcome, error] : cases) {
        EXPECT_EQ(errnoOf(outcome), error) << int(outcome.Result);
    }
}

TEST(MountRules, NewPhonePaths) {
    const std::string folder = "/a/mobile/picture/";
    const std::string longest(255 - folder.size(), 'x');
    const struct {
        std::string Name;
        std::variant<std::string, int> Result;
    } cases[] = {
        {"x.jpg", folder + "x.jpg"},
        {"Дача.jpg", folder + "\xC4\xE0\xF7\xE0.jpg"},  // the phone's code page
        {"\xD0\xB8\xCC\x86.jpg", folder + "\xE9.jpg"},  // decomposed й, stored composed
        {"日本.jpg", EILSEQ},
        {"\xFF\xFE.jpg", EILSEQ},  // not UTF-8 at all
        {longest, folder + longest},
        {longest + "x", ENAMETOOLONG},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(newPhonePath(folder, c.Name), c.Result) << c.Name;
    }
}

TEST(MountRules, ListingDue) {
    const struct {
        bool Changed;
        uint32_t ListedAt, Now;
        int Refresh;
        bool Due;
    } cases[] = {
        {false, 1000, 1000, 30, false},         {false, 1000, 31000, 30, false},
        {false, 1000, 31001, 30, true},         {true, 1000, 1000, 30, true},
        {false, 1000, 1000, 0, true},           {false, 0xFFFFF000u, 0x5000, 30, false},  // wrapped
        {false, 0xFFFFF000u, 0x8000, 30, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(listingDue(c.Changed, c.ListedAt, c.Now, c.Refresh), c.Due)
            << c.ListedAt << " " << c.Now << " " << c.Refresh;
    }
}

TEST(MountTree, FoldersFromPhonePaths) {
    TMountTree tree({"/a", "/b", "", "/c/d", "/A"});
    ASSERT_EQ(tree.Drives(), (std::vector<std::string>{"/a", "/b"}));
    const int left = tree.SetDriveFiles(0, {{"/a/mobile/picture/x.jpg", 10},
                                            {"/A/mobile/\xC4\xE0\xF7\xE0.jpg", 20},
                                            {"/a/notes.txt", 5},
                                            {"/a/mobile/../y.jpg", 1},
                                            {"/a//z.jpg", 1},
                                            {"/b/elsewhere.jpg", 1},
                                            {"/a/notes.txt/inside", 1},
                                            {"/a/mobile", 1}});
    EXPECT_EQ(left, 5) << "a '..' part, an empty part, another drive, a file as a folder and back";
    const auto* a = tree.Child(TMountTree::RootIno, "a");
    ASSERT_NE(a, nullptr);
    const auto* mobile = tree.Child(a->Ino, "mobile");
    ASSERT_TRUE(mobile && mobile->Folder);
    EXPECT_EQ(mobile->PhonePath, "/a/mobile/");
    const auto* dacha = tree.Child(mobile->Ino, "Дача.jpg");
    ASSERT_NE(dacha, nullptr);
    EXPECT_EQ(dacha->PhonePath, "/A/mobile/\xC4\xE0\xF7\xE0.jpg") << "the phone's own bytes";
    EXPECT_EQ(dacha->Size, 20);
    // Names are found as the phone finds them, letter case aside.
    EXPECT_EQ(tree.Child(mobile->Ino, "дАЧА.JPG"), dacha);
    EXPECT_EQ(tree.Child(TMountTree::RootIno, "A"), a);
    EXPECT_EQ(tree.Child(mobile->Ino, "none.jpg"), nullptr);
    EXPECT_EQ(tree.TotalBytes(), 35);
}

TEST(MountTree, NumbersStayWithTheirPathsAcrossListings) {
    TMountTree tree({"/a"});
    tree.SetDriveFiles(0, {{"/a/f/x.jpg", 1}, {"/a/f/y.jpg", 2}});
    const auto* folder = tree.Child(tree.Child(TMountTree::RootIno, "a")->Ino, "f");
    const TMountTree::TIno x = tree.Child(folder->Ino, "x.jpg")->Ino;
    const TMountTree::TIno y = tree.Child(folder->Ino, "y.jpg")->Ino;

    tree.SetDriveFiles(0, {{"/a/f/y.jpg", 3}, {"/a/f/z.jpg", 4}});
    EXPECT_FALSE(tree.Node(x)->Present) << "gone from the phone";
    EXPECT_EQ(tree.Child(folder->Ino, "y.jpg")->Ino, y);
    EXPECT_EQ(tree.Node(y)->Size, 3);
    const TMountTree::TIno z = tree.Child(folder->Ino, "z.jpg")->Ino;
    EXPECT_NE(z, x) << "a number is never given to another path";

    tree.SetDriveFiles(0, {{"/a/f/x.jpg", 5}});
    EXPECT_EQ(tree.Child(folder->Ino, "x.jpg")->Ino, x) << "back under its old number";

    // A file goes; its folder only once empty; a drive never.
    EXPECT_FALSE(tree.Remove(folder->Ino));
    EXPECT_TRUE(tree.Remove(x));
    EXPECT_TRUE(tree.Remove(folder->Ino));
    EXPECT_FALSE(tree.Remove(tree.Child(TMountTree::RootIno, "a")->Ino));
    EXPECT_FALSE(tree.Remove(TMountTree::RootIno));
}
