// Every phone command on a phone that starts in modem mode: switched, waited
// for (with --wait, or up to its own bound), then used as one in P2K mode.
#include "CliFixture.h"
#include "sim/VirtualModem.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}  // namespace

class CliModem : public test::CliTest {};

TEST_F(CliModem, EveryCommandOnAPhoneSwitchedFromModemMode) {
    realWait = true;
    writeFile(root + "/up/u.jpg", "uploaded");
    const auto picture = test::FileBytes(6000, 7);
    const struct {
        std::vector<std::string> Args;
        std::function<bool(TVirtualPhone&)> Done;
    } commands[] = {
        {{"ls"},
         [&](TVirtualPhone&) { return out.str().find(Pic + "p.jpg") != std::string::npos; }},
        {{"get", "--delete-after", "--to", (root + "/out").toStdString()},
         [&](TVirtualPhone& P) {
             return readLocal(root + "/out/p.jpg") == test::asBytes(picture) &&
                    !P.State().Files.contains(Pic + "p.jpg");
         }},
        {{"put", (root + "/up/u.jpg").toStdString()},
         [&](TVirtualPhone& P) { return P.State().Files.contains(Pic + "u.jpg"); }},
        {{"rm", "p.jpg"}, [&](TVirtualPhone& P) { return P.State().Files.empty(); }},
    };
    int n = 0;
    for (const auto& c : commands) {
        SCOPED_TRACE(c.Args.front());
        auto phone =
            std::make_shared<TVirtualPhone>(phoneState("E398", {{Pic + "p.jpg", picture}}));
        TVirtualModemPhone modem(devices, "m" + std::to_string(++n), phone);
        ASSERT_TRUE(modem.IsValid());
        std::vector<std::string> args = c.Args;
        if (n % 2 == 0) {
            args.insert(args.begin(), {"--wait", "10"});
        }
        EXPECT_EQ(run(args), 0) << err.str();
        EXPECT_TRUE(c.Done(*phone)) << out.str();
        EXPECT_EQ(err.str(), "snaprill-cli: Switching to P2K mode: Motorola USB Modem (virtual)\n");
    }
}
