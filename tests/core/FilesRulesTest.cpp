#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "core/files/ExcludeList.h"
#include "core/program/Autostart.h"
#include "core/settings/Charsets.h"
#include "core/settings/LanguageFolder.h"
#include "core/settings/SettingsStore.h"

namespace {
void put(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}
QByteArray get(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
}  // namespace

TEST(Charsets, TableAndDecoding) {
    EXPECT_EQ(charsetValueAt(1), 1);
    EXPECT_EQ(charsetValueAt(15), 204);
    EXPECT_EQ(charsetValueAt(16), 222);
    EXPECT_EQ(charsetValueAt(18), 255);
    EXPECT_EQ(charsetValueAt(19), -1);
    EXPECT_EQ(charsetValueAt(-1), -1);

    const QByteArray privet("\xcf\xf0\xe8\xe2\xe5\xf2");  // "Привет" in windows-1251
    EXPECT_EQ(decodeCharsetText(privet, 204), QString::fromUtf8("Привет"));
    EXPECT_EQ(decodeCharsetText(privet, 0), QString::fromUtf8("Ïðèâåò"));  // 1252
    EXPECT_EQ(decodeCharsetText(privet, 1), QString::fromUtf8("Ïðèâåò"));  // not UTF-8: 1252
    EXPECT_EQ(decodeCharsetText(QString::fromUtf8("Grüße").toUtf8(), 1),
              QString::fromUtf8("Grüße"));
    EXPECT_EQ(decodeCharsetText("\xe0", 238), QString::fromUtf8("ŕ"));       // 1250
    EXPECT_EQ(decodeCharsetText("\x82\xa0", 128), QString::fromUtf8("あ"));  // Shift-JIS
    // A cut multi-byte sequence is marked, never read past.
    EXPECT_EQ(decodeCharsetText("a\x82", 128), QStringLiteral("a") + QChar(0xFFFD));
}

// Every charset decodes a whole text: no converter may keep its last letter
// back (1255 and 1258 wait for a combining mark that never comes), not even
// before an undecodable byte.
TEST(Charsets, EveryCharsetDecodesTheWholeText) {
    for (const auto& c : CharsetTable) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(decodeCharsetText("Hello", c.Value), QStringLiteral("Hello"));
    }
    struct Word {
        int Value;
        QByteArray Bytes;
        const char* Text;
    };
    const Word words[] = {
        {177, "\xf9\xec\xe5\xed", "שלום"},            // 1255
        {163, "Vi\xea\xf2t", "Việt"},                 // 1258, with a combining mark
        {163, "Vi\xeat", "Viêt"},                     // 1258, no mark
        {204, "\xcf\xf0\xe8\xe2\xe5\xf2", "Привет"},  // 1251
        {161, "\xe1\xe2\xe3", "αβγ"},                 // 1253
        {177, "\xf9\xff\xec", "ש\xef\xbf\xbdל"},      // an invalid byte keeps the letter
    };
    for (const auto& w : words) {
        SCOPED_TRACE(w.Text);
        EXPECT_EQ(decodeCharsetText(w.Bytes, w.Value), QString::fromUtf8(w.Text));
    }
}

TEST(SettingsStore, WrongTypesCountAsAbsent) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("Snaprill.conf");
    put(path,
        "[General]\n"
        "dir=/photos/\n"
        "overwrite=7\n"
        "delete=0\n"
        "download=yes\n"
        "hide=99999999999\n"
        "lang=\"a, b\"\n"
        "mode=abc\n"
        "charset=15\n");
    const TStoredSettings s = TSettingsStore(path).read();
    EXPECT_EQ(s.Dir, "/photos/");
    EXPECT_EQ(s.Overwrite, true);  // any non-zero number is true
    EXPECT_EQ(s.Delete, false);
    EXPECT_FALSE(s.Download.has_value());
    EXPECT_FALSE(s.Hide.has_value());  // out of a 32-bit value's range
    EXPECT_EQ(s.Lang, "a, b");
    EXPECT_FALSE(s.Mode.has_value());
    EXPECT_EQ(s.Charset, 15);

    put(path, "[General]\nlang=a, b\n");  // an unquoted list is no text
    EXPECT_FALSE(TSettingsStore(path).read().Lang.has_value());
}

TEST(SettingsStore, RoundTripAndUnwritableFile) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("sub/Snaprill.conf");
    TSettingsToWrite w;
    w.Dir = QStringLiteral("/home/u/Bilder, neu/");
    w.Overwrite = true;
    w.Hide = true;
    w.Lang = QStringLiteral("Russian.lang");
    w.Mode = 1;
    w.Charset = 15;
    // The window's place: only present values are written.
    w.Place.Left = -20;
    w.Place.Width = 800;
    w.Place.Maximized = true;
    w.Place.Columns[1] = 412;
    ASSERT_TRUE(TSettingsStore(path).write(w));
    const TStoredSettings r = TSettingsStore(path).read();
    EXPECT_EQ(r.Place.Left, -20);
    EXPECT_EQ(r.Place.Width, 800);
    EXPECT_EQ(r.Place.Maximized, true);
    EXPECT_EQ(r.Place.Columns[1], 412);
    EXPECT_FALSE(r.Place.Top || r.Place.Height || r.Place.Columns[0] || r.Place.Columns[2]);
    EXPECT_EQ(r.Dir, w.Dir);
    EXPECT_EQ(r.Overwrite, true);
    EXPECT_EQ(r.Delete, false);
    EXPECT_EQ(r.Hide, true);
    EXPECT_EQ(TSettingsStore(path).readHide(), true);
    EXPECT_EQ(r.Lang, w.Lang);
    EXPECT_EQ(r.Mode, 1);
    EXPECT_EQ(r.Charset, 15);

    // A folder where the file should be: nothing can be written there.
    const QString blocked = tmp.filePath("blocked.conf");
    QDir().mkpath(blocked);
    QString error;
    EXPECT_FALSE(TSettingsStore(blocked).write(w, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ExcludeList, LinesAndFailures) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
    EXPECT_TRUE(splitLines("").empty());

    QTemporaryDir tmp;
    const QString path = tmp.filePath("data/exclude.txt");
    EXPECT_FALSE(loadExcludeList(path).Exists);
    // Names are the phone's own bytes: they go to the file and come back as they are.
    const Lines names{"/a/mobile/picture/one.jpg", "/a/\xf4\xee\xf2\xee.jpg", "/a/\x98\xff"};
    ASSERT_EQ(saveExcludeList(path, names), "");
    EXPECT_EQ(get(path), "/a/mobile/picture/one.jpg\r\n/a/\xf4\xee\xf2\xee.jpg\r\n/a/\x98\xff\r\n");
    EXPECT_EQ(loadExcludeList(path).Entries, names);
    ASSERT_EQ(saveExcludeList(path, {}), "");
    EXPECT_EQ(get(path), "");

    // A list an earlier version wrote as UTF-8 reads back as the phone's bytes.
    put(path, QString::fromUtf8("/a/фото.jpg\r\n/a/x.jpg\r\n").toUtf8());
    EXPECT_EQ(loadExcludeList(path).Entries, (Lines{"/a/\xf4\xee\xf2\xee.jpg", "/a/x.jpg"}));
    // UTF-8 with a character the phones cannot name stays byte for byte.
    put(path, QString::fromUtf8("/a/日.jpg").toUtf8());
    EXPECT_EQ(loadExcludeList(path).Entries, Lines{QString::fromUtf8("/a/日.jpg").toStdString()});

    const QString dirInstead = tmp.filePath("dir/exclude.txt");
    QDir().mkpath(dirInstead);
    EXPECT_FALSE(saveExcludeList(dirInstead, names).isEmpty());
    EXPECT_FALSE(loadExcludeList(dirInstead).Error.isEmpty());
}

TEST(Autostart, WrittenWithTheExecutableAndRemoved) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("autostart/snaprill.desktop");
    EXPECT_FALSE(autostartPresent(path));
    EXPECT_EQ(removeAutostart(path), "");  // absent is no error
    ASSERT_EQ(writeAutostart(path, "/opt/snaprill/bin/snaprill"), "");
    EXPECT_TRUE(autostartPresent(path));
    EXPECT_TRUE(get(path).contains("\nExec=/opt/snaprill/bin/snaprill\n"));
    EXPECT_TRUE(get(path).startsWith("[Desktop Entry]\n"));
    ASSERT_EQ(writeAutostart(path, "/new/place/snaprill"), "");
    EXPECT_TRUE(get(path).contains("\nExec=/new/place/snaprill\n"));
    EXPECT_EQ(removeAutostart(path), "");
    EXPECT_FALSE(autostartPresent(path));

    EXPECT_EQ(desktopExecValue("/home/a b/snap$rill"), "\"/home/a b/snap\\\\$rill\"");
    EXPECT_EQ(desktopExecValue("/home/100%/x"), "\"/home/100%%/x\"");
}

TEST(LanguageFolder, ListsLangFilesSortedWithoutCase) {
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("lang");
    put(dir + "/English.lang", "");
    put(dir + "/deutsch.lang", "");
    put(dir + "/readme.txt", "");
    put(dir + "/.hidden.lang", "");
    QDir().mkpath(dir + "/folder.lang");
    EXPECT_EQ(listLanguageFiles(dir), (QStringList{"deutsch.lang", "English.lang"}));
    EXPECT_TRUE(listLanguageFiles(tmp.filePath("none")).isEmpty());

    QDir().mkpath(tmp.filePath("prefix/bin"));
    QDir().mkpath(tmp.filePath("prefix/share/snaprill/lang"));
    EXPECT_EQ(languageFolderFor(tmp.filePath("prefix/bin")),
              QDir::cleanPath(tmp.filePath("prefix/share/snaprill/lang")));
    QDir().mkpath(tmp.filePath("prefix/bin/lang"));
    EXPECT_EQ(languageFolderFor(tmp.filePath("prefix/bin")), tmp.filePath("prefix/bin/lang"));
}
