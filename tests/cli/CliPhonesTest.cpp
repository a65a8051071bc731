// phones and ls on virtual phones in both modes, waiting for phones, and the
// statuses of a phone missing, busy or lost.
#include "CliFixture.h"
#include "sim/VirtualModem.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}  // namespace

class CliPhones : public test::CliTest {};

// A phone in modem mode is listed as one, after the P2K phones and numbered
// on, and left as it is; --switch switches it, and with --wait waits until
// it is back in P2K mode.
TEST_F(CliPhones, ListsBothModesAndSwitchesOnlyWhenAsked) {
    plug("one", phoneState("E398"));
    TVirtualModemPhone modem(devices, "two", std::make_shared<TVirtualPhone>(phoneState("V3")));
    ASSERT_TRUE(modem.IsValid());
    realWait = true;

    EXPECT_EQ(run({"phones"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "1  E398 [0A4A5A6A7A8A9B]  P2K\n"
              "2  Motorola USB Modem (virtual)  modem\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_TRUE(modem.Modem().Lines().empty());

    modem.Modem().SetReading(false);  // it switches only once told to read
    EXPECT_EQ(run({"phones", "--switch"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "1  E398 [0A4A5A6A7A8A9B]  P2K\n"
              "2  Motorola USB Modem (virtual)  modem, switching to P2K\n");
    EXPECT_EQ(err.str(), "snaprill-cli: Switching to P2K mode: Motorola USB Modem (virtual)\n");

    OnIdle = [&](int) { modem.Modem().SetReading(true); };
    EXPECT_EQ(run({"phones", "--switch", "--wait", "10", "--json", "-q"}), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    const QJsonArray phones = json()["phones"].toArray();
    ASSERT_EQ(phones.size(), 2);
    EXPECT_EQ(phones[1]["index"].toInt(), 2);
    EXPECT_EQ(phones[1]["name"].toString(), "V3 [0A4A5A6A7A8A9B]");
    EXPECT_EQ(phones[1]["mode"].toString(), "P2K");
    EXPECT_FALSE(phones[1]["in_use"].toBool());
}

// A command switches the one phone it uses, by its number in `phones`, and
// leaves the others in modem mode.
TEST_F(CliPhones, ACommandSwitchesOnlyThePhoneItUses) {
    plug("one", phoneState("E398", {{Pic + "one.jpg", test::FileBytes(10)}}));
    std::vector<std::unique_ptr<TVirtualModemPhone>> modems;
    for (const char* name : {"m1", "m2"}) {
        modems.push_back(std::make_unique<TVirtualModemPhone>(
            devices, name,
            std::make_shared<TVirtualPhone>(
                phoneState(name, {{Pic + name + ".jpg", test::FileBytes(20)}}))));
        ASSERT_TRUE(modems.back()->IsValid());
    }
    realWait = true;
    EXPECT_EQ(run({"ls", "--phone", "3"}), 0) << err.str();
    // One modem switched, the other left as it was.
    ASSERT_EQ(int(modems[0]->InP2KMode()) + int(modems[1]->InP2KMode()), 1);
    const std::string used = modems[0]->InP2KMode() ? "m1" : "m2";
    EXPECT_NE(out.str().find(Pic + used + ".jpg"), std::string::npos) << out.str();
    EXPECT_EQ(run({"ls", "--phone", "4"}), 3);
    EXPECT_EQ(err.str(), "snaprill-cli: there is no phone 4: 3 connected\n");
    EXPECT_EQ(int(modems[0]->InP2KMode()) + int(modems[1]->InP2KMode()), 1);
    EXPECT_EQ(run({"ls", "--phone", "1"}), 0) << err.str();
    EXPECT_EQ(int(modems[0]->InP2KMode()) + int(modems[1]->InP2KMode()), 1);
}

TEST_F(CliPhones, LsShowsSizesNamesExclusionsAndTheCount) {
    plug("one", phoneState("E398", {{Pic + "a.jpg", test::FileBytes(2048)},
                                    {Pic + "\xd4\xee\xf2\xee.jpg", test::FileBytes(1024)},
                                    {"/a/other/n.txt", test::FileBytes(10)}}));
    writeFile(paths.ExcludePath, QByteArray::fromStdString(Pic + "a.jpg\r\n"));
    EXPECT_EQ(run({"ls"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "      2048  /a/mobile/picture/a.jpg  (excluded)\n"
              "      1024  /a/mobile/picture/Фото.jpg\n"
              "2 files, 3.0 kB, 1 excluded\n");
    EXPECT_EQ(run({"ls", "--files", "--drive", "a", "--json"}), 0) << err.str();
    const QJsonObject doc = json();
    EXPECT_EQ(doc["count"].toInt(), 3);
    EXPECT_EQ(doc["bytes"].toInt(), 3082);
    EXPECT_EQ(doc["drive"].toString(), "/a");
    EXPECT_EQ(doc["kind"].toString(), "files");
    EXPECT_TRUE(doc["complete"].toBool());
    EXPECT_FALSE(doc["files"].toArray().at(0)["excluded"].toBool());  // File Manager marks none
    EXPECT_EQ(run({"ls", "--drive", "/z"}), 2);
    EXPECT_EQ(err.str(), "snaprill-cli: phone 1 has no drive /z (its drives: /a, /b)\n");
}

// Every way of having no phone to use gives status 3 and one sentence.
TEST_F(CliPhones, NoPhoneBusyPhoneAndTimeOutGiveStatusThree) {
    EXPECT_EQ(run({"ls"}), 3);
    EXPECT_EQ(err.str(), "snaprill-cli: no phone is connected\n");
    EXPECT_EQ(run({"phones", "--wait", "30"}), 3);  // on the fake clock: no real wait
    EXPECT_GE(clock.Now(), 30u * 1000);

    auto phone = plug("one", phoneState("E398", {{Pic + "a.jpg", test::FileBytes(10)}}));
    EXPECT_EQ(run({"ls", "--phone", "2"}), 3);
    EXPECT_EQ(err.str(), "snaprill-cli: there is no phone 2: 1 connected\n");

    // The window holds the phone: nothing at all is sent to it.
    transport.SetHeldElsewhere(TVirtualDeviceSource::PhonePath("one"), true);
    const size_t received = phone->Received().size();
    EXPECT_EQ(run({"get", "--delete-after", "--to", (root + "/out").toStdString()}), 3);
    EXPECT_EQ(err.str(),
              "snaprill-cli: phone 1 is in use by another program, such as the "
              "Snaprill window: nothing was done\n");
    EXPECT_EQ(phone->Received().size(), received);
    EXPECT_EQ(run({"phones"}), 0);
    EXPECT_EQ(out.str(), "1  unknown model  P2K, in use by another program\n");
}

// A phone plugged in while --wait waits is used; one pulled out during a
// listing gives status 3.
TEST_F(CliPhones, APhonePluggedDuringTheWaitIsListed) {
    OnIdle = [this](int Idle) {
        if (Idle == 3) {
            plug("one", phoneState("E398", {{Pic + "a.jpg", test::FileBytes(10)}}));
        }
    };
    EXPECT_EQ(run({"ls", "--wait", "5"}), 0) << err.str();
    EXPECT_NE(out.str().find("1 files, 10 B"), std::string::npos) << out.str();
    OnIdle = nullptr;

    const uint64_t start = transport.Exchanges();
    transport.SetExchangeHook([&](auto, const std::string&, uint64_t Index) {
        if (Index == start + 12) {
            devices.UnplugPhone("one");
        }
    });
    EXPECT_EQ(run({"ls"}), 3);
    transport.SetExchangeHook(nullptr);
    EXPECT_EQ(err.str(), "snaprill-cli: no phone is connected\n");
}
