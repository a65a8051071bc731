// The file list's data and the rules the commands decide by.
#include <gtest/gtest.h>

#include <QString>
#include <climits>

#include "core/files/ExcludeIndex.h"
#include "core/files/FileRows.h"
#include "core/files/ListRules.h"
#include "core/files/PhoneText.h"
#include "core/files/TransferRules.h"

TEST(PhoneText, EveryByteRoundTripsAndOnlyPhoneCharactersEncode) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const QString shown = phoneToUnicode(all);
    ASSERT_EQ(shown.size(), 256);
    EXPECT_EQ(unicodeToPhone(shown), all);
    EXPECT_EQ(phoneToUnicode("\xf4\xee\xf2\xee \xa8\xb8 \xa5\xb4"),
              QString::fromUtf8("фото Ёё Ґґ"));
    EXPECT_EQ(unicodeToPhone(QString::fromUtf8("Фото №1.jpg")),
              "\xd4\xee\xf2\xee \xb9"
              "1.jpg");
    for (const char* foreign : {"日本.jpg", "x\xf0\x9f\x98\x80.jpg", "é.jpg"}) {
        EXPECT_FALSE(unicodeToPhone(QString::fromUtf8(foreign))) << foreign;
    }
}

TEST(ExcludeIndex, CaseBlindOrderedWithDuplicates) {
    TExcludeIndex x;
    x.Assign({"/a/\xd4\xce\xd2\xce.JPG", "/a/one.jpg", "/a/ONE.jpg"});
    EXPECT_TRUE(x.Contains("/a/\xf4\xee\xf2\xee.jpg"));  // фото.jpg
    EXPECT_TRUE(x.Contains("/A/One.JPG"));
    EXPECT_FALSE(x.Contains("/a/one.jp"));
    // Letters outside the Russian alphabet fold too: Ґ (A5) and ґ (B4).
    EXPECT_TRUE(x.AddUnique("/a/\xa5.jpg"));
    EXPECT_FALSE(x.AddUnique("/a/\xb4.jpg"));
    x.Append("/a/\xb4.jpg");  // kept even though an equal name stands
    EXPECT_EQ(x.Count(), 5);

    // Removal takes the first equal name in list order, one at a time.
    EXPECT_TRUE(x.RemoveFirst("/A/ONE.JPG"));
    EXPECT_EQ(x.Entries(), (std::vector<std::string>{"/a/\xd4\xce\xd2\xce.JPG", "/a/ONE.jpg",
                                                     "/a/\xa5.jpg", "/a/\xb4.jpg"}));
    EXPECT_TRUE(x.RemoveFirst("/a/one.jpg"));
    EXPECT_FALSE(x.RemoveFirst("/a/one.jpg"));
    EXPECT_FALSE(x.Contains("/a/one.jpg"));
    EXPECT_TRUE(x.RemoveFirst("/a/\xb4.jpg"));
    EXPECT_TRUE(x.Contains("/a/\xa5.jpg"));
    EXPECT_EQ(x.Entries(), (std::vector<std::string>{"/a/\xd4\xce\xd2\xce.JPG", "/a/\xb4.jpg"}));
}

TEST(FileRows, CaptionOrderAndRunningSelection) {
    TFileRows numbered;
    for (int i = 1; i <= 12; ++i) {
        numbered.Append("/a/f" + std::to_string(i), i, false);
    }
    numbered.Finish(true);
    std::vector<int> order;
    order.reserve(static_cast<size_t>(numbered.Count()));
    for (int r = 0; r < numbered.Count(); ++r) {
        order.push_back(numbered.At(r).Number);
    }
    EXPECT_EQ(order, (std::vector<int>{1, 10, 11, 12, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(numbered.At(1).Name, "/a/f10");

    // Without numbers the phone's order stands; sums do not wrap at 2 GiB.
    TFileRows rows;
    rows.Append("/a/z", INT32_MAX, true);
    rows.Append("/a/b", INT32_MAX, false);
    rows.Append("/a/a", 10, false);
    rows.Finish(false);
    EXPECT_EQ(rows.At(0).Name, "/a/z");
    rows.SetSelected(0, true);
    rows.SetSelected(1, true);
    rows.SetSelected(1, true);  // no change counts once
    EXPECT_EQ(rows.SelectedCount(), 2);
    EXPECT_EQ(rows.SelectedBytes(), 2 * int64_t{INT32_MAX});
    rows.SetSelected(0, false);
    rows.SetSelected(2, true);
    EXPECT_EQ(rows.SelectedBytes(), int64_t{INT32_MAX} + 10);
    const auto selected = rows.SelectedRows();
    ASSERT_EQ(selected.size(), 2u);
    EXPECT_EQ(selected[0].Name, "/a/b");
    EXPECT_EQ(selected[1].Name, "/a/a");
}

TEST(ListRules, SearchTextsAndDrives) {
    EXPECT_EQ(searchText("/a", mmPhotoManager), "/a/mobile/picture/|*.jpg");
    EXPECT_EQ(searchText("/a", mmFileManager), "/a/|*.*");
    EXPECT_EQ(searchText("", mmPhotoManager), "/mobile/picture/|*.jpg");
    EXPECT_EQ(driveEntries("/a\r\n/b"), (std::vector<std::string>{"/a", "/b"}));
    EXPECT_EQ(driveEntries("/a\r\n"), std::vector<std::string>{"/a"});
    EXPECT_TRUE(driveEntries("").empty());
}

TEST(TransferRules, DownloadStepsAndBlockSizes) {
    using S = TDownloadStep;
    struct Case {
        TManagerMode Mode;
        bool Overwrite, Exists, Excluded;
        S Step;
        int32_t Block;
    };
    const Case cases[] = {
        {mmPhotoManager, false, false, false, S::Fetch, 1000},
        {mmPhotoManager, false, true, false, S::SkipExisting, 1000},
        {mmPhotoManager, false, true, true, S::SkipExisting, 1000},  // reported, excluded or not
        {mmPhotoManager, false, false, true, S::SkipExcluded, 1000},
        {mmPhotoManager, true, true, false, S::Fetch, 4000},
        {mmPhotoManager, true, true, true, S::SkipExcluded, 4000},
        {mmFileManager, false, false, true, S::Fetch, 4000},  // no exclusions here
        {mmFileManager, false, true, false, S::AskReplace, 4000},
        {mmFileManager, true, true, true, S::AskReplace, 4000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(downloadStep(c.Mode, c.Overwrite, c.Exists, c.Excluded), c.Step)
            << c.Mode << c.Overwrite << c.Exists << c.Excluded;
        EXPECT_EQ(downloadBlockSize(c.Mode, c.Overwrite), c.Block);
    }
}

TEST(TransferRules, LocalAndUploadNames) {
    const std::pair<std::string, const char*> names[] = {
        {"/a/mobile/picture/x.jpg", "x.jpg"},
        {"x.jpg", "x.jpg"},
        {"/a/\xf4\xee\xf2\xee.jpg", "фото.jpg"},
        {"/a/" + std::string(255, 'n'), "<255>"},
        {"/a/", nullptr},
        {"/a/.", nullptr},
        {"/a/..", nullptr},
        {"/a/b\\..", "b\\.."},
        {"/a/tab\t.jpg", nullptr},
        {"/a/c1\x98.jpg", nullptr},
        {"/a/" + std::string(256, 'n'), nullptr},
        {"/a/" + std::string(128, '\xf4'), nullptr},  // 256 bytes once in UTF-8
    };
    for (const auto& [phone, local] : names) {
        const auto got = localFileName(phone);
        if (!local) {
            EXPECT_FALSE(got) << phone;
        } else if (std::string(local) == "<255>") {
            EXPECT_EQ(got, QString(255, QLatin1Char('n')));
        } else {
            EXPECT_EQ(got, QString::fromUtf8(local)) << phone;
        }
    }
    EXPECT_EQ(uploadPhoneName("/a/mobile/picture/", "/home/u/Фото.jpg"),
              "/a/mobile/picture/\xd4\xee\xf2\xee.jpg");
    EXPECT_EQ(uploadPhoneName("", "/home/u/x.jpg"), "x.jpg");
    EXPECT_FALSE(uploadPhoneName("/a/", QString::fromUtf8("/home/u/日.jpg")));
}

// Mirrored downloads keep the phone's folders, and every part of the path is
// held to the rules of a file name, so no name reaches outside the folder.
TEST(TransferRules, MirrorPaths) {
    const std::pair<std::string, const char*> names[] = {
        {"/a/mobile/picture/x.jpg", "a/mobile/picture/x.jpg"},
        {"/b/x.jpg", "b/x.jpg"},
        {"x.jpg", "x.jpg"},
        {"/a/\xf4\xee\xf2\xee/x.jpg", "a/фото/x.jpg"},
        {"/a/../x.jpg", nullptr},
        {"/a/mobile/../../x.jpg", nullptr},
        {"/../x.jpg", nullptr},
        {"/a/./x.jpg", nullptr},
        {"/a//x.jpg", nullptr},
        {"//a/x.jpg", nullptr},
        {"/a/x/", nullptr},
        {"/a/b\x01/x.jpg", nullptr},
        {"/a/" + std::string(256, 'n') + "/x.jpg", nullptr},
    };
    for (const auto& [phone, local] : names) {
        const auto got = localMirrorPath(phone);
        if (!local) {
            EXPECT_FALSE(got) << phone << " gave " << got->toStdString();
        } else {
            EXPECT_EQ(got, QString::fromUtf8(local)) << phone;
        }
    }
}
