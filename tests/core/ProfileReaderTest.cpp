#include <gtest/gtest.h>

#include "core/settings/ProfileReader.h"

TEST(ProfileReader, ReadsByTheProfileRules) {
    const TProfile p = TProfile::fromBytes(
        "; comment\r\n"
        "top=ignored\n"
        "[other]\n"
        "idRefresh=Other\n"
        "  [ lang ]  \r"
        "  IDREFRESH  =   Reload   \r\n"
        "idDownload=\"  Get  \"\n"
        "idDelete='Remove'\n"
        "idUpload=\"mismatched'\n"
        "idMode=\"\n"
        "empty=\n"
        "noequals\n"
        "=novalue\n"
        "idrefresh=second wins not\n"
        "; idHide=commented\n");
    const QList<QByteArray> keys = p.keys("LANG");
    EXPECT_EQ(keys, (QList<QByteArray>{"IDREFRESH", "idDownload", "idDelete", "idUpload", "idMode",
                                       "empty"}));
    EXPECT_EQ(p.value("Lang", "idRefresh"), "Reload");
    EXPECT_EQ(p.value("LANG", "iddownload"), "  Get  ");
    EXPECT_EQ(p.value("LANG", "idDelete"), "Remove");
    EXPECT_EQ(p.value("LANG", "idUpload"), "\"mismatched'");
    EXPECT_EQ(p.value("LANG", "idMode"), "\"");
    EXPECT_EQ(p.value("LANG", "empty"), "");
    EXPECT_FALSE(p.value("LANG", "idHide").has_value());
    EXPECT_FALSE(p.value("NONE", "idRefresh").has_value());
    EXPECT_EQ(p.value("other", "idRefresh"), "Other");
    EXPECT_TRUE(p.keys("missing").isEmpty());
}

TEST(ProfileReader, LimitsValuesAndTheKeyList) {
    const QByteArray longValue(5000, 'v');
    TProfile p = TProfile::fromBytes("[LANG]\nk=" + longValue + "\n");
    EXPECT_EQ(p.value("LANG", "k")->size(), 2047);

    // 1000 names of 15 characters plus their zero bytes take 16000 bytes; the
    // list has room for 16382 bytes of names, so a 400-character name is cut
    // to the 382 left and nothing after it is listed.
    QByteArray data = "[LANG]\n";
    for (int i = 0; i < 1000; ++i) {
        data += "key" + QByteArray::number(i).rightJustified(12, '0') + "=x\n";
    }
    data += QByteArray(400, 'n') + "=y\nlast=z\n";
    p = TProfile::fromBytes(data);
    const QList<QByteArray> keys = p.keys("LANG");
    ASSERT_EQ(keys.size(), 1001);
    EXPECT_EQ(keys.last(), QByteArray(382, 'n'));
    EXPECT_FALSE(p.value("LANG", keys.last()).has_value());  // the reader's "no value"
    EXPECT_EQ(p.value("LANG", "last"), "z");                 // readable, just not listed
}

TEST(ProfileReader, SurvivesBinaryAndMissingFiles) {
    QByteArray binary;
    for (int i = 0; i < 70000; ++i) {
        binary.append(static_cast<char>((i * 7919) & 0xff));
    }
    binary += "\n[LANG]\nid\0Mode=x\nidRefresh=A\0B\n"_qba;
    const TProfile p = TProfile::fromBytes(binary);
    // A zero byte ends the line's text: the first line keeps no "=".
    EXPECT_EQ(p.keys("LANG"), QList<QByteArray>{"idRefresh"});
    EXPECT_EQ(p.value("LANG", "idRefresh"), "A");
    EXPECT_TRUE(TProfile::fromFile("/nonexistent/file.lang").keys("LANG").isEmpty());
}
