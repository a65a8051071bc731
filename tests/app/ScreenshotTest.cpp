// Pictures of the window for the documentation: run with
// SNAPRILL_SCREENSHOT_DIR set (under a real X server such as Xvfb), they are
// written there; otherwise the test is skipped.
#include <QComboBox>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <QTranslator>

#include "DemoPhones.h"
#include "PhoneWindow.h"
#include "SampleLanguages.h"
#include "core/previews/PreviewFetcher.h"
#include "core/settings/QtTranslations.h"
#include "gui/TrayIcon.h"
#include "support/Controls.h"
#include "support/PreviewPictures.h"
#include "support/VirtualRig.h"
#include "wiring/BackendFactory.h"

namespace {

// The next dialog to open and the window it belongs to, side by side, each
// drawn by itself, saved as Path; then the dialog is closed.
void whenDialogOpen(const QString& Path, bool* Shot) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, Path, Shot] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->parentWidget()) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        const QPixmap window = dialog->parentWidget()->window()->grab(), shown = dialog->grab();
        QPixmap both(window.width() + 8 + shown.width(), std::max(window.height(), shown.height()));
        both.fill(Qt::darkGray);
        QPainter painter(&both);
        painter.drawPixmap(0, 0, window);
        painter.drawPixmap(window.width() + 8, 0, shown);
        painter.end();
        *Shot = both.save(Path);
        dialog->close();
    });
    poll->start(50);
}

}  // namespace

TEST_F(PhoneWindowTest, ScreenshotsOfBothModesAndADownload) {
    const QString out = qEnvironmentVariable("SNAPRILL_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "SNAPRILL_SCREENSHOT_DIR not set";
    }
    TFiles files;
    const char* pictures[] = {"beach.jpg",   "birthday.jpg", "cat.jpg",  "garden.jpg",
                              "harbour.jpg", "kids.jpg",     "snow.jpg", "sunset.jpg"};
    unsigned seed = 1;
    for (const char* p : pictures) {
        // Camera pictures, most with a thumbnail, so that the list shows them.
        files[std::string("/a/mobile/picture/") + p] =
            test::cameraPicture(seed, seed % 3 != 0, 20000 + 3137 * seed);
        ++seed;
    }
    files["/a/mobile/audio/ring.mp3"] = test::FileBytes(48211);
    files["/a/mobile/video/clip.3gp"] = test::FileBytes(96512);
    files["/a/notes.txt"] = test::FileBytes(912);
    TVirtualPhoneState state = phoneState("V3 Razr", "0A4A5A6A7A8A9B", files);
    state.Drives = {{"/a", 5 * 1024 * 1024 + 300 * 1024}, {"/b", 1024 * 1024}};
    auto phone = plugBefore("razr", std::move(state));
    writeFile(config.ExcludePath, "/a/mobile/picture/cat.jpg\r\n");
    config.PicturesDir = root + "/Pictures/";

    TForm1& f = open();
    f.show();
    auto snap = [&](const QString& name) {
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        EXPECT_TRUE(f.grab().save(out + QStringLiteral("/window-%1.png").arg(name)));
    };

    // Photo Manager: the pictures, one excluded, three selected (the
    // excluded one too, its check mark on the highlight).
    ASSERT_TRUE(waitFor([&] { return !f.previewFetcher().Working(); }));
    clickRow(1);
    clickRow(2, Qt::ControlModifier);
    clickRow(4, Qt::ControlModifier);
    snap(QStringLiteral("photo-manager"));

    // A download in progress, caught halfway through the pictures, with its
    // speed and time left.
    int reads = 0;
    transport.SetExchangeHook(
        [&](TVirtualP2KTransport::TExchange Kind, const std::string&, uint64_t) {
            if (Kind != TVirtualP2KTransport::TExchange::Write || phone->OpenFileName().empty()) {
                return;
            }
            // A link of some 40 kB/s on the phone's clock, for the speed
            // and time left.
            clock.Advance(25);
            // The window shows progress a few times a second: a pause lets
            // the next block show it before the picture is taken.
            if (++reads == 150) {
                QThread::msleep(300);
            } else if (reads == 153) {
                snap(QStringLiteral("download"));
            }
        });
    QTest::keyClick(test::control<QTreeView>(f, "ListView1"), Qt::Key_A, Qt::ControlModifier);
    QTest::mouseClick(test::control<QToolButton>(f, "idDownload"), Qt::LeftButton);
    transport.SetExchangeHook(nullptr);

    // File Manager: every file, numbered, with the upload folder row.
    choose(test::control<QComboBox>(f, "idModeSelect"), 1);
    test::control<QTabWidget>(f, "idTabs")->setCurrentIndex(0);
    clickRow(2);
    snap(QStringLiteral("file-manager"));
}

// The Options page with the folder chooser the "..." button opened.
TEST_F(WindowTest, ScreenshotOfTheFolderChooser) {
    const QString out = qEnvironmentVariable("SNAPRILL_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "SNAPRILL_SCREENSHOT_DIR not set";
    }
    QDir().mkpath(root + "/Pictures/Holidays");
    QDir().mkpath(root + "/Pictures/Phone");
    config.PicturesDir = root + "/Pictures/";
    config.Dialogs.ChooseFolder = defaultFormConfig().Dialogs.ChooseFolder;
    TForm1& f = start();
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    bool shot = false;
    whenDialogOpen(out + QStringLiteral("/window-folder-chooser.png"), &shot);
    QTest::mouseClick(test::control<QPushButton>(f, "idBrowse"), Qt::LeftButton);
    EXPECT_TRUE(shot);
}

TEST_F(PhoneWindowTest, ScreenshotOfTheDemo) {
    const QString out = qEnvironmentVariable("SNAPRILL_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "SNAPRILL_SCREENSHOT_DIR not set";
    }
    // The demo's phones, as `make demo` shows them: the phone in modem mode
    // switched and listed beside the other, whose pictures fill the list.
    ASSERT_EQ(makeDemoPhones(root + "/phones"), QString());
    config.PicturesDir = QStringLiteral("/tmp/snaprill-demo/downloads/");
    qputenv("SNAPRILL_VIRTUAL_PHONES", (root + "/phones").toUtf8());
    std::unique_ptr<TBackendHolder> holder = createBackend();
    qunsetenv("SNAPRILL_VIRTUAL_PHONES");
    form = std::make_unique<TForm1>(holder->Backend(), config);
    form->show();
    ASSERT_TRUE(waitFor(
        [&] {
            return test::control<QComboBox>(*form, "ComboBox1")->count() == 2 &&
                   list()->rowCount() == 12;
        },
        10000));
    ASSERT_TRUE(waitFor([&] { return !form->previewFetcher().Working(); }, 20000));
    // Rows with pictures are taller: the ninth is scrolled to first.
    test::control<QTreeView>(*form, "ListView1")->scrollTo(list()->index(8, 1));
    clickRow(8);
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(form->grab().save(out + QStringLiteral("/window-demo.png")));
    form.reset();
}

// The end of a download on connect in which five of twelve pictures failed.
TEST_F(PhoneWindowTest, ScreenshotOfTheFailureSummary) {
    const QString out = qEnvironmentVariable("SNAPRILL_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "SNAPRILL_SCREENSHOT_DIR not set";
    }
    writeLang("English.lang", test::sampleLang("English.lang"));
    writeFile(config.SettingsPath, "[General]\ndownload=1\nlang=English.lang\n");
    TFiles files;
    for (int i = 0; i < 12; ++i) {
        files["/a/mobile/picture/picture" + std::to_string(i + 1) + ".jpg"] =
            test::FileBytes(i % 2 == 1 && i < 10 ? 2500 : 900, unsigned(i + 1));
    }
    auto phone = plugBefore("razr", phoneState("V3 Razr", "0A4A5A6A7A8A9B", files));
    phone->Faults().FailReadAtBlock = 2;  // the pictures over one small block fail
    phone->Faults().BlockFailuresStall = false;
    config.PicturesDir = root + "/Pictures/";
    config.Dialogs.ShowMessage = defaultFormConfig().Dialogs.ShowMessage;
    bool shot = false;
    whenDialogOpen(out + QStringLiteral("/window-download-failures.png"), &shot);
    open();  // shown, listed and downloaded as it is made
    EXPECT_TRUE(shot);
}

// The window in Russian, with Qt's own dialogs in the desktop's language:
// the Options page and its folder chooser.
TEST_F(PhoneWindowTest, ScreenshotOfTheRussianWindow) {
    const QString out = qEnvironmentVariable("SNAPRILL_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "SNAPRILL_SCREENSHOT_DIR not set";
    }
    std::unique_ptr<QTranslator> russian(
        installQtTranslations(testApp(), QLocale(QLocale::Russian)));
    ASSERT_TRUE(russian);
    writeLang("Russian.lang", test::sampleLang("Russian.lang"));
    writeFile(config.SettingsPath, "[General]\nlang=Russian.lang\ncharset=15\n");
    plugBefore("razr", phoneState("V3 Razr", "0A4A5A6A7A8A9B",
                                  {{"/a/mobile/picture/beach.jpg", test::FileBytes(20000)}}));
    QDir().mkpath(root + "/Pictures/Holidays");
    config.PicturesDir = root + "/Pictures/";
    config.Dialogs.ChooseFolder = defaultFormConfig().Dialogs.ChooseFolder;
    TForm1& f = open();
    test::control<QTabWidget>(f, "idTabs")
        ->setCurrentWidget(test::control<QWidget>(f, "idOptions"));
    bool shot = false;
    whenDialogOpen(out + QStringLiteral("/window-russian.png"), &shot);
    QTest::mouseClick(test::control<QPushButton>(f, "idBrowse"), Qt::LeftButton);
    EXPECT_TRUE(shot);
}

// The tray menu, opened over the notification area under the window.
TEST_F(WindowTest, ScreenshotOfTheTrayMenu) {
    const QString out = qEnvironmentVariable("SNAPRILL_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "SNAPRILL_SCREENSHOT_DIR not set";
    }
    TForm1& f = start();
    QMenu* menu = test::control<TTrayIcon>(f, "TrayIcon1")->platformIcon()->contextMenu();
    menu->popup(f.geometry().bottomRight());  // names its entries, as a right click does
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
    }
    const QPixmap window = f.grab(), popup = menu->grab();
    menu->hide();
    // The window above a panel whose tray holds the icon, the menu over both.
    constexpr int Panel = 28, Icon = 22;
    QPixmap shot(window.width() + popup.width() / 2 + 8, window.height() + 8 + Panel);
    shot.fill(Qt::darkGray);
    QPainter painter(&shot);
    painter.drawPixmap(0, 0, window);
    const QRect panel(0, shot.height() - Panel, shot.width(), Panel);
    painter.fillRect(panel, f.palette().window());
    const QPoint iconAt(panel.right() - Icon - 6, panel.top() + (Panel - Icon) / 2);
    painter.drawPixmap(iconAt, f.windowIcon().pixmap(Icon, Icon));
    painter.drawPixmap(iconAt.x() + Icon / 2 - popup.width(), panel.top() - popup.height(), popup);
    painter.end();
    EXPECT_TRUE(shot.save(out + QStringLiteral("/window-tray-menu.png")));
}
