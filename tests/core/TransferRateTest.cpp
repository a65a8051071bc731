// Speed and time left: a moving window of a few seconds over the bytes a
// transfer moved, and the listed bytes still to come.
#include <gtest/gtest.h>

#include "core/SessionFixture.h"
#include "core/session/TransferRate.h"
#include "support/VirtualRig.h"

TEST(TransferRate, MovingWindowAndTheBytesLeft) {
    int64_t now = 1000;
    TTransferRate r([&] { return now; }, 5000);
    r.Begin(100000);
    EXPECT_FALSE(r.BytesPerSecond());
    EXPECT_FALSE(r.SecondsLeft());
    EXPECT_EQ(r.BytesLeft(), 100000);

    // 1000 bytes every 100 ms: 10000 bytes a second, once half a second passed.
    r.FileBegins(60000);
    for (int i = 1; i <= 10; ++i) {
        now += 100;
        r.FileProgress(int64_t{i} * 1000);
        if (i == 4) {
            EXPECT_FALSE(r.BytesPerSecond());
        }
    }
    EXPECT_DOUBLE_EQ(*r.BytesPerSecond(), 10000.0);
    EXPECT_EQ(r.BytesLeft(), 90000);
    EXPECT_EQ(r.SecondsLeft(), 9);

    // The link slows to 1000 bytes a second: after the window's 5 s the
    // fast start is forgotten.
    for (int i = 11; i <= 20; ++i) {
        now += 1000;
        r.FileProgress(int64_t{i} * 1000);
    }
    EXPECT_DOUBLE_EQ(*r.BytesPerSecond(), 1000.0);
    EXPECT_EQ(r.SecondsLeft(), 80);

    // A file that fails halfway is not waited for; neither is a skipped one,
    // and a phone reporting less than before moves nothing.
    r.FileProgress(5000);
    EXPECT_EQ(r.BytesMoved(), 20000);
    r.FileEnds();
    EXPECT_EQ(r.BytesLeft(), 40000);
    r.FileBegins(30000);
    r.FileBegins(10000);
    EXPECT_EQ(r.BytesLeft(), 10000);
    // More than listed counts as the listed size.
    now += 1000;
    r.FileProgress(12000);
    EXPECT_EQ(r.BytesLeft(), 0);
    EXPECT_EQ(r.SecondsLeft(), 0);

    // A stalled link: the rate falls with the time passing, and a window
    // with nothing moved gives no time left.
    now += 20000;
    EXPECT_DOUBLE_EQ(*r.BytesPerSecond(), 0.0);
    EXPECT_FALSE(r.SecondsLeft());

    // A new command starts from nothing.
    r.Begin(500);
    EXPECT_FALSE(r.BytesPerSecond());
    EXPECT_EQ(r.BytesLeft(), 500);
}

TEST(TransferRate, TimeLeftTexts) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0:00"},       {59, "0:59"},      {61, "1:01"}, {3599, "59:59"},
        {3600, "1:00:00"}, {3725, "1:02:05"}, {-5, "0:00"}, {360000, "100:00:00"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(formatTimeLeft(seconds), QString(text)) << seconds;
    }
}

// The session's rate runs on the backend's clock: here a second a block.
class SessionRate : public test::SessionTest {};

TEST_F(SessionRate, SpeedAndTimeLeftForEverySelectedFile) {
    const std::string pic = "/a/mobile/picture/";
    plug("one", phoneState("A", "0A",
                           {{pic + "a.jpg", test::FileBytes(20000, 1)},
                            {pic + "b.jpg", test::FileBytes(20000, 2)}}));
    start();
    selectAll();
    int blocks = 0;
    std::optional<double> speed;
    std::optional<int64_t> left;
    QObject::connect(session.get(), &TPhoneSession::transferBytes, [&] {
        if (++blocks == 30) {
            speed = session->Rate().BytesPerSecond();
            left = session->Rate().SecondsLeft();
        }
    });
    host.OnPump = [&](int) { clock.Advance(1000); };
    session->Download();
    // 1000 bytes a second (give or take the ticks of the fake clock's
    // every reading), 10000 bytes to go of the second file.
    ASSERT_TRUE(speed && left);
    EXPECT_NEAR(*speed, 1000.0, 30.0);
    EXPECT_NEAR(*left, 10, 1);
    EXPECT_EQ(session->Rate().BytesLeft(), 0);
}
