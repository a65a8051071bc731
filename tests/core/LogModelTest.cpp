// The Log's compact lines: what goes in reads back, messages are formatted
// when read (so they follow a changed template decoding), and views see
// lines only once published.
#include <gtest/gtest.h>

#include <limits>

#include "core/settings/LogModel.h"
#include "core/settings/MessageTemplates.h"

namespace {
struct LogModelTest : ::testing::Test {
    // Stands in for the window: a language file's template is decoded by
    // Decode, so that a test can change how it reads.
    QString (*Decode)(const QByteArray&) = [](const QByteArray& b) {
        return QString::fromLatin1(b);
    };
    int renders = 0;
    TLogModel log{[this](const char* Name, const QByteArray* Raw, const QList<TMessageArg>& Args) {
        ++renders;
        const QString builtIn = builtInTemplate(QString::fromLatin1(Name));
        return formatMessage(Raw ? Decode(*Raw) : builtIn, builtIn, Args);
    }};
};
}  // namespace

TEST_F(LogModelTest, EveryKindOfLineReadsBackAsAdded) {
    const QByteArray russian = "\xd1\xe2\xee\xe1\xee\xe4\xed\xee: %2.f";  // "Свободно" in 1251
    struct Case {
        const char* Name;  // nullptr: a text line
        QList<TMessageArg> Args;
        const QByteArray* Raw;
        QString Text;
        QString Expected;
    };
    const Case cases[] = {
        {nullptr, {}, nullptr, "plain", "plain"},
        {nullptr, {}, nullptr, "", ""},
        {nullptr,
         {},
         nullptr,
         QString::fromUtf8("два\r\nlines\n"),
         QString::fromUtf8("два  lines ")},
        {"idPhoneFound", {qint64{0}}, nullptr, {}, "0 P2K devices found"},
        {"idPhoneFound",
         {std::numeric_limits<qint64>::min()},
         nullptr,
         {},
         "-9223372036854775808 P2K devices found"},
        {"idPhoneFound",
         {std::numeric_limits<qint64>::max()},
         nullptr,
         {},
         "9223372036854775807 P2K devices found"},
        {"idSelectedFiles",
         {qint64{-3}, qint64{300}, 1536.0 / 1024},
         nullptr,
         {},
         "-3 of 300 files -  2 kB"},
        {"idSkipping",
         {QString::fromUtf8("/a/фото\n1.jpg")},
         nullptr,
         {},
         QString::fromUtf8("The file /a/фото 1.jpg exists, skipping")},
        {"idSkipping", {QString()}, nullptr, {}, "The file  exists, skipping"},
        {"idFreeSpace",
         {-1536.0 / 1024},
         &russian,
         {},
         QString::fromLatin1(russian.left(10)) + "-2"},
        {"idConnected", {}, nullptr, {}, "connected"},
        // A template that does not fit its arguments falls back, as the window's do.
        {"idConnected", {qint64{1}}, nullptr, {}, "connected"},
    };
    for (const Case& c : cases) {
        if (c.Name) {
            log.AddMsg(c.Name, c.Args, c.Raw);
        } else {
            log.AddText(c.Text);
        }
    }
    ASSERT_EQ(log.Lines(), int(std::size(cases)));
    for (int i = 0; i < log.Lines(); ++i) {
        EXPECT_EQ(log.Line(i), cases[i].Expected) << i;
    }
    EXPECT_EQ(log.Line(-1), "");
    EXPECT_EQ(log.Line(log.Lines()), "");
}

TEST_F(LogModelTest, ManyLinesStayCheapAndReachable) {
    constexpr int Lines = 100000;
    for (int i = 0; i < Lines; ++i) {
        if (i % 3 == 0) {
            log.AddText(QStringLiteral("line %1").arg(i));
        } else {
            log.AddMsg("idDownloading", {i / 1024.0, 50.0}, nullptr);
        }
    }
    log.Publish();
    EXPECT_EQ(log.rowCount(), Lines);
    for (const int i : {0, 1, 31, 32, 33, 63, 64, 65535, Lines - 1}) {
        const QString expected =
            i % 3 == 0 ? QStringLiteral("line %1").arg(i)
                       : formatMessage(builtInTemplate("idDownloading"), {}, {i / 1024.0, 50.0});
        EXPECT_EQ(log.index(i).data().toString(), expected) << i;
    }
    // A download's progress line takes a few dozen bytes, not a text block's hundreds.
    EXPECT_LT(log.BytesUsed(), size_t{40} * Lines);
}

TEST_F(LogModelTest, ViewsSeeLinesWhenPublishedAndMessagesFormattedWhenRead) {
    const QByteArray raw = "\xf1\xe2\xff\xe7\xfc";  // "связь" in 1251
    std::vector<std::pair<int, int>> inserted, changed;
    QObject::connect(
        &log, &QAbstractItemModel::rowsInserted,
        [&](const QModelIndex&, int First, int Last) { inserted.emplace_back(First, Last); });
    QObject::connect(&log, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& First, const QModelIndex& Last) {
                         changed.emplace_back(First.row(), Last.row());
                     });
    log.RenderAgain();
    EXPECT_TRUE(changed.empty());  // nothing published: nothing to tell

    log.AddMsg("idConnected", {}, &raw);
    log.AddText("text");
    log.AddMsg("idConnected", {}, &raw);
    EXPECT_EQ(log.rowCount(), 0);
    EXPECT_TRUE(log.HasUnpublished());
    EXPECT_EQ(renders, 0);  // nothing formatted until read
    log.Publish();
    log.Publish();
    EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_EQ(log.rowCount(), 3);
    EXPECT_FALSE(log.HasUnpublished());
    EXPECT_EQ(log.index(0).data().toString(), QString::fromLatin1(raw));

    // The same template bytes read under another decoding.
    Decode = [](const QByteArray& b) {
        return QString::fromLocal8Bit(b).isEmpty()
                   ? QString()
                   : QStringLiteral("decoded:") + QString::number(b.size());
    };
    log.RenderAgain();
    EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_EQ(log.index(0).data().toString(), "decoded:5");
    EXPECT_EQ(log.index(2).data().toString(), "decoded:5");
    EXPECT_EQ(log.index(1).data().toString(), "text");
    EXPECT_FALSE(log.index(1).data(Qt::ToolTipRole).isValid());

    // A name that is no template is kept as the text it reads when added.
    log.AddMsg("noSuchTemplate", {}, nullptr);
    EXPECT_EQ(log.Line(3), "");
}
