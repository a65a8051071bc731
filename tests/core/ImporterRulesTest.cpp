// The importer's rules as plain functions: folder patterns and their safety,
// numbered names, same contents, and the durable steps of a second place.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <system_error>

#include "core/files/DurableCopy.h"
#include "core/files/FolderPattern.h"
#include "core/files/SameName.h"
#include "support/RecordingFiles.h"

namespace {

void put(const QString& Path, const QByteArray& Data) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile f(Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Data);
}

std::string utf8(const QString& Text) {
    return Text.toStdString();
}

}  // namespace

// A pattern and the phone's model never make a folder outside the save
// folder: every folder name made must pass as a file name does.
TEST(FolderPattern, ExpandsOnlyToSafeFolders) {
    const QDate day(2006, 7, 5);
    const QString long200(200, QLatin1Char('x'));
    const struct {
        QString Pattern;
        QString Model;
        const char* Want;  // nullptr: no folder may be made
    } cases[] = {
        {"%Y/%Y-%m-%d", "E398", "2006/2006-07-05"},
        {"%M/%Y.%m", "V3 Razr", "V3 Razr/2006.07"},
        {"photos/%d%%/", "E398", "photos/05%"},
        {"%M", QString::fromUtf8("Моторола"), "Моторола"},
        {"%Y", "", "2006"},
        // Hostile patterns: outside the folder, empty parts, unknown tokens.
        {"../%Y", "E398", nullptr},
        {"%Y/../../x", "E398", nullptr},
        {"/etc/%Y", "E398", nullptr},
        {"a//b", "E398", nullptr},
        {"./a", "E398", nullptr},
        {"", "E398", nullptr},
        {"%H-%M", "E398", nullptr},
        {"%Y%", "E398", nullptr},
        {"a\tb", "E398", nullptr},
        // Hostile models: they may not climb, split a folder or vanish.
        {"%M", "..", nullptr},
        {"%M/%Y", "a/../../b", nullptr},
        {"%M", "", nullptr},
        {"%M", QString("E\x01"), nullptr},
        {"%M%M", long200, nullptr},  // 400 bytes: longer than a name may be
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.Pattern + " / " + c.Model));
        const auto got = expandFolderPattern(c.Pattern, day, c.Model);
        if (c.Want) {
            ASSERT_TRUE(got);
            EXPECT_EQ(utf8(*got), c.Want);
        } else {
            EXPECT_FALSE(got) << utf8(got.value_or(""));
        }
    }
    // The pattern is judged alone, before any picture: the model plays no part.
    for (const char* bad : {"../x", "/x", "a//b", "..", "%q", "%"}) {
        EXPECT_TRUE(folderPatternProblem(bad)) << bad;
    }
    for (const char* good : {"%Y/%Y-%m-%d", "%M", "x/", "%%"}) {
        EXPECT_FALSE(folderPatternProblem(good)) << good;
    }
    EXPECT_FALSE(expandFolderPattern("%Y", QDate(), "E398"));
    EXPECT_TRUE(folderPatternUsesDate("x/%d"));
    EXPECT_FALSE(folderPatternUsesDate("%M/%%d"));
}

TEST(SameName, NumberedNamesAndContents) {
    const struct {
        QString Name;
        int K;
        QString Want;
    } names[] = {
        {"x.jpg", 1, "x.jpg"},         {"x.jpg", 2, "x (2).jpg"},
        {"a.b.jpg", 3, "a.b (3).jpg"}, {"noext", 2, "noext (2)"},
        {".jpg", 2, ".jpg (2)"},       {"Picture(1).jpg", 2, "Picture(1) (2).jpg"},
    };
    for (const auto& n : names) {
        EXPECT_EQ(numberedName(n.Name, n.K), n.Want);
    }
    // A name at the longest a name may be is cut in its stem, a whole
    // character at a time, never in its number or extension.
    const QString wide = QString(125, QChar(0x0436)) + QStringLiteral("xx.jpg");  // 256 bytes
    const QString cut = numberedName(wide, 12);
    EXPECT_LE(cut.toUtf8().size(), 255);
    EXPECT_TRUE(cut.endsWith(QStringLiteral(" (12).jpg")));
    EXPECT_EQ(QString::fromUtf8(cut.toUtf8()), cut);  // no half character

    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/";
    put(dir + "x.jpg", "aaaa");
    put(dir + "x (2).jpg", "bbbb");
    put(dir + "x (4).jpg", "cccc");  // past the first free name: not looked at
    const TNumberedNames taken = numberedNames(dir, "x.jpg");
    EXPECT_EQ(taken.Taken, (QStringList{"x.jpg", "x (2).jpg"}));
    EXPECT_EQ(taken.Free, "x (3).jpg");
    EXPECT_EQ(numberedNames(dir, "y.jpg").Free, "y.jpg");

    put(dir + "same", "aaaa");
    put(dir + "longer", "aaaaa");
    put(dir + "last", "aaab");
    put(dir + "empty1", "");
    put(dir + "empty2", "");
    const struct {
        const char* A;
        const char* B;
        bool Same;
    } pairs[] = {{"x.jpg", "same", true},
                 {"x.jpg", "longer", false},
                 {"x.jpg", "last", false},
                 {"empty1", "empty2", true},
                 {"x.jpg", "gone", false}};
    for (const auto& p : pairs) {
        EXPECT_EQ(sameFileContents(dir + p.A, dir + p.B), p.Same) << p.A << " " << p.B;
    }
}

// A second place's steps, in order: each missing folder made and its
// parent flushed, then the temporary file beside its target written,
// flushed, closed, renamed into the folders and both folders flushed.
TEST(DurableCopy, StepsInOrderAndEveryFailureLeavesNothing) {
    QTemporaryDir tmp;
    const std::string root = utf8(tmp.path()) + "/second/";
    const std::string source = utf8(tmp.path()) + "/p.jpg";
    put(QString::fromStdString(source), QByteArray(70000, 'p'));
    QDir().mkpath(QString::fromStdString(root));
    test::TRecordingFiles files;
    files.SkipFlushes = true;

    EXPECT_TRUE(makeFoldersDurably(files, root, "2006/2006-07-05"));
    EXPECT_TRUE(copyDurably(files, source, root + "p.jpg", root + "2006/2006-07-05/p.jpg"));
    std::vector<std::string> steps;
    for (const std::string& l : files.Log) {
        steps.push_back(l.substr(0, l.find(' ')));
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"mkdir", "sync-folder", "mkdir", "sync-folder",
                                               "create", "write", "write", "sync-file", "close",
                                               "rename", "sync-folder", "sync-folder"}));
    EXPECT_EQ(files.Log[1], "sync-folder " + root);
    EXPECT_EQ(files.Created.rfind(root + ".p.jpg.", 0), 0u) << files.Created;
    QFile copy(QString::fromStdString(root + "2006/2006-07-05/p.jpg"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray(70000, 'p'));
    // Folders already there are not made again.
    files.Log.clear();
    EXPECT_TRUE(makeFoldersDurably(files, root, "2006/2006-07-05"));
    EXPECT_TRUE(files.Log.empty());

    // A second place that is not there (a disk unplugged) is not made anew.
    try {
        makeFoldersDurably(files, utf8(tmp.path()) + "/gone/", "2006");
        ADD_FAILURE() << "no error";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ENOENT);
    }
    EXPECT_FALSE(QDir(tmp.path() + "/gone").exists());

    // Every step that fails: an error carrying the disk's reason, or (a
    // folder flush) a copy not known to be on the disk; never a temporary
    // file left behind.
    for (const char* fail :
         {"mkdir", "create", "write", "sync-file", "close", "rename", "sync-folder"}) {
        SCOPED_TRACE(fail);
        QDir(QString::fromStdString(root)).removeRecursively();
        QDir().mkpath(QString::fromStdString(root));
        files.Fail = fail;
        files.FailError = ENOSPC;
        bool durable = true;
        int error = 0;
        try {
            durable = makeFoldersDurably(files, root, "d") &&
                      copyDurably(files, source, root + "p.jpg", root + "d/p.jpg");
        } catch (const std::system_error& e) {
            error = e.code().value();
        }
        files.Fail.clear();
        EXPECT_EQ(error, std::string(fail) == "sync-folder" ? 0 : ENOSPC);
        EXPECT_FALSE(durable && error == 0);
        QStringList left = QDir(QString::fromStdString(root)).entryList(QDir::Files | QDir::Hidden);
        EXPECT_TRUE(left.isEmpty()) << utf8(left.join(","));
    }
}
