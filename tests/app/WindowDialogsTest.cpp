// The window's dialogs and the phones: a phone that comes while a dialog of
// ours is open waits until it closes, and a running command leaves no way
// to open another dialog over it.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

#include "PhoneWindow.h"
#include "support/Controls.h"
#include "support/VirtualRig.h"

namespace {
const std::string Pic = "/a/mobile/picture/";
}

class WindowDialogs : public PhoneWindowTest {
  protected:
    // While the dialog is open a second phone is plugged and the event loop
    // runs: the phones must not change under the dialog.
    void plugDuringDialog(const std::string& Name) {
        duringDialog = [this, Name] {
            plug(Name, phoneState("B", "0B"));
            settle();
            seenInDialog = log().filter("P2K devices found").size();
            choiceInDialog = test::control<QComboBox>(*form, "ComboBox1")->count();
        };
    }
    qsizetype seenInDialog = 0;
    int choiceInDialog = 0;
};

TEST_F(WindowDialogs, APhoneArrivingUnderADialogIsListedAfterIt) {
    auto one = plugBefore("one", phoneState("A", "0A", {{Pic + "a.jpg", test::FileBytes(10)}}));
    TForm1& f = open();
    const qsizetype before = log().filter("P2K devices found").size();
    ASSERT_EQ(before, 1);

    // The folder chooser of the Options page.
    plugDuringDialog("two");
    chooserAnswer = root + "/elsewhere";
    test::control<QTabWidget>(f, "idTabs")->setCurrentIndex(1);
    QTest::mouseClick(test::control<QPushButton>(f, "idBrowse"), Qt::LeftButton);
    EXPECT_EQ(seenInDialog, before);
    EXPECT_EQ(choiceInDialog, 1);
    settle();
    EXPECT_EQ(log().filter("P2K devices found").size(), before + 1);
    EXPECT_EQ(test::control<QComboBox>(f, "ComboBox1")->count(), 2);

    // The upload's file dialog: the files still go to the phone they were
    // chosen for, once the new phone has been listed.
    test::control<QTabWidget>(f, "idTabs")->setCurrentIndex(0);
    writeFile(root + "/up/u.jpg", "upload");
    filesAnswer = {root + "/up/u.jpg"};
    const qsizetype found = log().filter("P2K devices found").size();
    plugDuringDialog("three");
    QTest::mouseClick(test::control<QToolButton>(f, "idUpload"), Qt::LeftButton);
    EXPECT_EQ(seenInDialog, found);
    settle();
    EXPECT_EQ(log().filter("P2K devices found").size(), found + 1);
    EXPECT_TRUE(one->State().Files.contains(Pic + "u.jpg"));
}

TEST_F(WindowDialogs, ARunningCommandDisablesWhatOpensADialog) {
    writeFile(config.SettingsPath, "[General]\nmode=1\n");
    plugBefore("one", phoneState("A", "0A", {{"/a/x.txt", test::FileBytes(10)}}));
    TForm1& f = open();
    std::vector<bool> enabled;
    duringDialog = [&] {
        for (const char* name : {"idBrowse", "idLanguageSel", "idCharsetSel", "idModeSelect",
                                 "idRefresh", "ComboBox1"}) {
            enabled.push_back(test::control<QWidget>(f, name)->isEnabled());
        }
    };
    chooserAnswer = root + "/target";
    QTest::keyClick(test::control<QTreeView>(f, "ListView1"), Qt::Key_A, Qt::ControlModifier);
    QTest::mouseClick(test::control<QToolButton>(f, "idDownload"), Qt::LeftButton);
    EXPECT_EQ(enabled, std::vector<bool>(6, false));
    EXPECT_TRUE(QFile::exists(root + "/target/x.txt"));
    EXPECT_TRUE(test::control<QWidget>(f, "idBrowse")->isEnabled());
}
