// The command line as read, and the progress line as drawn.
#include "CliFixture.h"
#include "cli/ProgressLine.h"

class CliArgs : public test::CliTest {};

TEST_F(CliArgs, HelpVersionAndUsageErrors) {
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.str().find("3  no phone, the phone is in use by another program"),
              std::string::npos);
    EXPECT_EQ(run({"get", "--help"}), 0);
    EXPECT_NE(out.str().find("--delete-after"), std::string::npos);
    EXPECT_NE(out.str().find("Exit status:"), std::string::npos);
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out.str(), "snaprill-cli " SNAPRILL_VERSION "\n");

    const std::vector<std::vector<std::string>> usage = {
        {},
        {"nonsense"},
        {"ls", "--phone", "0"},
        {"ls", "--bogus"},
        {"put"},
        {"rm"},
        {"exclude"},
        {"exclude", "add"},
        {"get", "--files", "--delete-after"},
        {"get", "--files", "--into", "%Y"},
        {"get", "--files", "--keep-both"},
        {"get", "--mirror", "--into", "%Y"},
        {"get", "--into", "../%Y"},
        {"get", "--into", "%H"},
        {"get", "--into", "/%Y"},
        {"put", "--to", "mobile/picture", "x.jpg"},
        {"--wait", "-1", "phones"},
        {"phones", "extra"},
    };
    for (const auto& args : usage) {
        SCOPED_TRACE(testing::PrintToString(args));
        EXPECT_EQ(run(args), 2);
        EXPECT_EQ(out.str(), "");
        EXPECT_NE(err.str(), "");
    }
    // Global options may stand after the command.
    EXPECT_EQ(run({"phones", "--json", "-q"}), 3);
    EXPECT_EQ(json()["command"].toString(), "phones");
}

TEST(ProgressLine, TextsCutToTheTerminal) {
    const TProgressFile file{"/a/mobile/picture/img_0002.jpg", 50000};
    const struct {
        int64_t Done;
        double Speed;
        int64_t Left;
        int Width;
        const char* Text;
    } cases[] = {
        {0, -1, 0, 80, "[2/10] /a/mobile/picture/img_0002.jpg  0.0/48.8 kB"},
        {12288, 36044.8, 3, 80,
         "[2/10] /a/mobile/picture/img_0002.jpg  12.0/48.8 kB  35.2 kB/s  0:03 left"},
        {12288, 1024, 3725, 80,
         "[2/10] /a/mobile/picture/img_0002.jpg  12.0/48.8 kB  1.0 kB/s  1:02:05 left"},
        {12288, 36044.8, 3, 50, "[2/10] ....jpg  12.0/48.8 kB  35.2 kB/s  0:03 left"},
        {12288, 36044.8, 3, 20, "[2/10]   12.0/48.8 k"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(progressText(file, 1, 10, c.Done, c.Speed, c.Left, c.Width), c.Text);
    }
    const TProgressFile hostile{"a\x1b[2Jb.jpg", 10};
    EXPECT_EQ(progressText(hostile, 0, 1, 0, -1, 0, 80), "[1/1] a?[2Jb.jpg  0.0/0.0 kB");
}

// On a terminal the progress is drawn on standard error and erased before
// the results; elsewhere standard error stays empty.
TEST_F(CliArgs, ProgressOnlyOnATerminal) {
    plug("one", phoneState("E398", {{"/a/mobile/picture/p.jpg", test::FileBytes(9000)}}));
    for (const bool tty : {true, false}) {
        terminal = tty;
        EXPECT_EQ(run({"get", "--overwrite", "--to", (root + "/out").toStdString()}), 0);
        if (tty) {
            EXPECT_NE(err.str().find("\r[1/1] /a/mobile/picture/p.jpg  0.0/8.8 kB\x1b[K"),
                      std::string::npos)
                << err.str();
            EXPECT_EQ(err.str().substr(err.str().size() - 4), "\r\x1b[K");
        } else {
            EXPECT_EQ(err.str(), "");
        }
    }
}
