// snaprill-cli on a real terminal (a pseudo-terminal): what a person at it
// sees, in the order it is written.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "CliFixture.h"

class CliTerminal : public test::CliTest {
  protected:
    // Runs the program with Args on a new terminal and returns all it wrote
    // there, standard output and error together; Status gets its exit status.
    std::string runOnTerminal(const std::vector<std::string>& Args, int* Status) {
        const std::string home = (root + "/home").toStdString();
        const std::string phones = (root + "/phones").toStdString();
        std::vector<std::string> all = {SNAPRILL_CLI_PROGRAM};
        all.insert(all.end(), Args.begin(), Args.end());
        std::vector<char*> argv;
        argv.reserve(all.size() + 1);
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        winsize size{};
        size.ws_col = 100;
        size.ws_row = 30;
        int master = -1;
        const pid_t child = ::forkpty(&master, nullptr, nullptr, &size);
        if (child == 0) {
            ::setenv("HOME", home.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
            ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
            ::setenv("SNAPRILL_VIRTUAL_PHONES", phones.c_str(), 1);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        std::string seen;
        if (child < 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return seen;
        }
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                seen.append(buffer, size_t(n));
            } else if (n == 0 || errno != EINTR) {
                break;  // EIO: the program and its terminal are gone
            }
        }
        ::close(master);
        int status = 0;
        ::waitpid(child, &status, 0);
        *Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return seen;
    }
};

// Each file's line is written as the file is done, above the progress line
// (which is erased first), not all at the end; the progress counts the
// transfer's bytes in human units.
TEST_F(CliTerminal, EachFileIsToldAsItIsDone) {
    for (int i = 0; i < 3; ++i) {
        writeFile(root + QString("/phones/cam/a/mobile/picture/p%1.jpg").arg(i),
                  test::asBytes(test::FileBytes(9000 + 100 * size_t(i), unsigned(i))));
    }
    int status = -1;
    const std::string seen = runOnTerminal({"get", "--to", (root + "/out").toStdString()}, &status);
    EXPECT_EQ(status, 0) << seen;
    const size_t first = seen.find("downloaded /a/mobile/picture/p0.jpg");
    const size_t second = seen.find("[2/3] /a/mobile/picture/p1.jpg  8.8 kB/26.7 kB");
    const size_t third = seen.find("[3/3]");
    ASSERT_NE(first, std::string::npos) << seen;
    ASSERT_NE(second, std::string::npos) << seen;
    ASSERT_NE(third, std::string::npos) << seen;
    EXPECT_LT(first, second) << seen;
    EXPECT_LT(seen.find("downloaded /a/mobile/picture/p1.jpg"), third) << seen;
    // The progress line is erased before each line of text.
    EXPECT_EQ(seen.substr(first - 4, 4), "\r\x1b[K") << seen;
    EXPECT_NE(seen.find("3 downloaded, 0 skipped, 0 failed"), std::string::npos) << seen;
}
