#include <gtest/gtest.h>

#include "core/settings/MessageFormat.h"
#include "core/settings/MessageTemplates.h"

TEST(MessageFormat, RoundsHalvesAwayFromZeroAndPadsToTwo) {
    EXPECT_EQ(formatRoundedWidth2(0.5), " 1");
    EXPECT_EQ(formatRoundedWidth2(0.49), " 0");
    EXPECT_EQ(formatRoundedWidth2(0.0), " 0");
    EXPECT_EQ(formatRoundedWidth2(4000.0 / 1024), " 4");
    EXPECT_EQ(formatRoundedWidth2(1.5), " 2");
    EXPECT_EQ(formatRoundedWidth2(2.5), " 3");
    EXPECT_EQ(formatRoundedWidth2(9.5), "10");
    EXPECT_EQ(formatRoundedWidth2(99.5), "100");
    EXPECT_EQ(formatRoundedWidth2(-0.4), " 0");
    EXPECT_EQ(formatRoundedWidth2(-0.5), "-1");
    EXPECT_EQ(formatRoundedWidth2(1e12), "1000000000000");
}

TEST(MessageFormat, FillsEveryPlaceholderKind) {
    EXPECT_EQ(formatTemplate("%d of %d files - %2.f kB", {qint64{2}, qint64{10}, 1536.0 / 1024}),
              "2 of 10 files -  2 kB");
    EXPECT_EQ(formatTemplate("The file %s exists, skipping", {QStringLiteral("/x/a.jpg")}),
              "The file /x/a.jpg exists, skipping");
    EXPECT_EQ(formatTemplate("%S and %D", {QStringLiteral("up"), qint64{-3}}), "up and -3");
    EXPECT_EQ(formatTemplate("100%% %s", {QStringLiteral("%d")}), "100% %d");  // no re-expansion
    EXPECT_EQ(formatTemplate("connected", {}), "connected");
}

TEST(MessageFormat, MismatchedTemplateFallsBackToBuiltIn) {
    const QString builtIn = builtInTemplate("idUploading");
    const QList<TMessageArg> args{1.0, 2.0};
    EXPECT_EQ(formatMessage("Up %2.f", builtIn, args), "Uploading -  1/ 2 kB");     // missing
    EXPECT_EQ(formatMessage("Up %s/%2.f", builtIn, args), "Uploading -  1/ 2 kB");  // wrong kind
    EXPECT_EQ(formatMessage("%2.f %2.f %2.f", builtIn, args), "Uploading -  1/ 2 kB");  // extra
    EXPECT_EQ(formatMessage("Up %x %y", builtIn, args), "Uploading -  1/ 2 kB");        // unknown
    EXPECT_EQ(formatMessage("Up %2.f/%2.f%", builtIn, args), "Uploading -  1/ 2 kB");   // lone %
    EXPECT_EQ(formatMessage("Up %2.", builtIn, args), "Uploading -  1/ 2 kB");          // cut short
    EXPECT_EQ(formatMessage("Hoch %2.f von %2.f", builtIn, args), "Hoch  1 von  2");
    // A fallback that does not fit either is shown as it stands.
    EXPECT_EQ(formatMessage("%d", "%d", {QStringLiteral("x")}), "%d");
    EXPECT_EQ(builtInTemplate("noSuchLabel"), "");
}
