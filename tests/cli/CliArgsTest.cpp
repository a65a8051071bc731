// The command line as read, and the progress line as drawn.
#include "CliFixture.h"
#include "cli/CliReport.h"
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

// Help and usage errors read as the common tools' do: the usage line first,
// plain value names, "snaprill-cli: " before each error and a pointer to
// --help after it.
TEST_F(CliArgs, HelpAndErrorsInTheWordsOfTheCommonTools) {
    for (const char* command :
         {"", "phones", "ls", "get", "put", "rm", "exclude", "add", "doctor", "mount"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args;
        if (std::string(command) == "add") {
            args.push_back("exclude");
        }
        if (*command) {
            args.push_back(command);
        }
        args.push_back("--help");
        EXPECT_EQ(run(args), 0);
        const std::string help = out.str();
        EXPECT_EQ(help.rfind("Usage: snaprill-cli", 0), 0u) << help;
        for (const char* parser : {"INT", "POSITIVE", "TEXT", "REQUIRED", "SUBCOMMAND", "in ["}) {
            EXPECT_EQ(help.find(parser), std::string::npos) << parser << "\n" << help;
        }
    }
    const std::pair<std::vector<std::string>, const char*> errors[] = {
        {{"ls", "--phone", "0"}, "--phone must be 1 or more"},
        {{"ls", "--phone", "two"}, "--phone must be 1 or more"},
        {{"--wait", "-1", "phones"}, "--wait must be 0 to 86400 seconds"},
        {{"phones", "--wait", "86401"}, "--wait must be 0 to 86400 seconds"},
        {{"mount", "d", "--refresh", "-1"}, "--refresh must be 0 to 86400 seconds"},
        {{}, "a command is needed: phones, ls, get, put, rm, exclude, doctor, mount or umount"},
        {{"nonsense"}, "unknown command 'nonsense'"},
        {{"ls", "--bogus"}, "unknown option '--bogus'"},
        {{"phones", "extra"}, "unexpected argument 'extra'"},
        {{"ls", "--drive"}, "--drive needs a value (DRIVE)"},
        {{"put"}, "put: missing FILE"},
        {{"exclude"}, "exclude needs one of list, add or remove"},
        {{"exclude", "add"}, "exclude add: missing NAME"},
        {{"get", "--files", "--delete-after"},
         "--delete-after takes pictures only: it cannot go with --files"},
    };
    for (const auto& [args, message] : errors) {
        SCOPED_TRACE(testing::PrintToString(args));
        EXPECT_EQ(run(args), 2);
        EXPECT_EQ(err.str(), std::string("snaprill-cli: ") + message +
                                 "\nTry 'snaprill-cli --help' for more information.\n");
    }
}

TEST(ProgressLine, TextsCutToTheTerminal) {
    const TProgressFile file{"/a/mobile/picture/img_0002.jpg", 50000};
    const struct {
        int64_t Done;
        int64_t Total;
        double Speed;
        int64_t Left;
        int Width;
        const char* Text;
    } cases[] = {
        {0, 500000, -1, 0, 80, "[2/10] /a/mobile/picture/img_0002.jpg  0 B/488.3 kB"},
        {262144, 81577000, 36044.8, 3, 80,
         "[2/10] /a/mobile/picture/img_0002.jpg  256.0 kB/77.8 MB  35.2 kB/s  0:03 left"},
        {1023, 1048570, 1024, 3725, 80,
         "[2/10] /a/mobile/picture/img_0002.jpg  1023 B/1.0 MB  1.0 kB/s  1:02:05 left"},
        {12288, 500000, 36044.8, 3, 56, "[2/10] ...02.jpg  12.0 kB/488.3 kB  35.2 kB/s  0:03 left"},
        {12288, 500000, 36044.8, 3, 20, "[2/10]   12.0 kB/488"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(progressText(file, 1, 10, c.Done, c.Total, c.Speed, c.Left, c.Width), c.Text);
    }
    const TProgressFile hostile{"a\x1b[2Jb.jpg", 10};
    EXPECT_EQ(progressText(hostile, 0, 1, 0, 10, -1, 0, 80), "[1/1] a?[2Jb.jpg  0 B/10 B");
}

// Sizes as a person reads them, in 1024s, at each unit's edges.
TEST(HumanSize, UnitsOfTenTwentyFour) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1.0 kB"},
        {1048524, "1023.9 kB"},
        {1048575, "1.0 MB"},
        {81577000, "77.8 MB"},
        {int64_t(5) << 30, "5.0 GB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(humanSize(bytes), text) << bytes;
    }
}

// On a terminal the progress is drawn on standard error and erased before
// the results; elsewhere standard error stays empty.
TEST_F(CliArgs, ProgressOnlyOnATerminal) {
    plug("one", phoneState("E398", {{"/a/mobile/picture/p.jpg", test::FileBytes(9000)}}));
    for (const bool tty : {true, false}) {
        terminal = tty;
        EXPECT_EQ(run({"get", "--overwrite", "--to", (root + "/out").toStdString()}), 0);
        if (tty) {
            EXPECT_NE(err.str().find("\r[1/1] /a/mobile/picture/p.jpg  0 B/8.8 kB\x1b[K"),
                      std::string::npos)
                << err.str();
            EXPECT_EQ(err.str().substr(err.str().size() - 4), "\r\x1b[K");
        } else {
            EXPECT_EQ(err.str(), "");
        }
    }
}
