// "Fast transfers": off, the window reads and lists as it always did; on, the
// phone sees from the window what it sees from the command line for the same
// listing and download.
#include <QCheckBox>
#include <QTabWidget>
#include <sstream>

#include "TransferWindow.h"
#include "cli/CliEnv.h"
#include "support/PreviewPictures.h"

TEST_F(TransferWindowTest, FastTransfersGiveTheWindowTheCommandLinesTraffic) {
    TFiles files;
    for (int i = 0; i < 7; ++i) {
        files[Pic + "p" + std::to_string(i) + ".jpg"] = test::FileBytes(9100 + 10 * i, unsigned(i));
    }
    writeFile(config.SettingsPath, "[General]\npreviews=0\n");
    // The window's traffic from its start to the end of a download of every row.
    auto window = [&](const std::string& Name) {
        QDir(saveDir).removeRecursively();
        auto phone = plugBefore(Name, phoneState("E398", "0A", files));
        open();
        selectAll();
        clickDownload();
        EXPECT_EQ(QDir(saveDir).entryList(QDir::Files).size(), 7);
        form->close();
        form.reset();
        devices.UnplugPhone(Name);
        devices.DispatchPending();
        return phone;
    };

    // Off, as it always was: a request per counted file, 1000-byte blocks.
    const auto slow = window("slow");
    EXPECT_EQ(readSizes(*slow), std::vector<uint32_t>(size_t{7} * 10, 1000));

    // Turned on by a click, and kept.
    TForm1& f = open();
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    auto* box = test::control<QCheckBox>(f, "idFastTransfers");
    ASSERT_FALSE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    ASSERT_TRUE(box->isChecked());
    form->close();
    form.reset();
    const auto fast = window("fast");
    EXPECT_EQ(readSizes(*fast), std::vector<uint32_t>(size_t{7} * 3, 4000));

    // The command line on the same phone, for the same listing and download.
    QDir(saveDir).removeRecursively();
    auto cliPhone = plugBefore("cli", phoneState("E398", "0A", files));
    std::ostringstream out, err;
    TCliEnv env{phones, out, err, {}, false, 80, {}, {}};
    env.Paths = {config.SettingsPath, config.ExcludePath, config.PicturesDir, config.HistoryPath};
    env.Idle = [this](int Ms) { clock.Advance(uint32_t(Ms)); };
    ASSERT_EQ(runCli(env, {"snaprill-cli", "get", "--to", saveDir.toStdString()}), 0) << err.str();
    EXPECT_TRUE(test::commandsFrom(*fast, 0) == test::commandsFrom(*cliPhone, 0));
    EXPECT_FALSE(test::commandsFrom(*slow, 0) == test::commandsFrom(*cliPhone, 0));
}
