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

#include "DemoPhones.h"
#include "PhoneWindow.h"
#include "core/BackendFactory.h"
#include "gui/TrayIcon.h"
#include "support/Controls.h"
#include "support/VirtualRig.h"

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
        files[std::string("/a/mobile/picture/") + p] = test::FileBytes(20000 + 3137 * seed, seed);
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

    // Photo Manager: the pictures, one excluded, two selected.
    clickRow(1);
    clickRow(4, Qt::ControlModifier);
    snap(QStringLiteral("photo-manager"));

    // A download in progress, caught halfway through the pictures.
    int reads = 0;
    transport.SetExchangeHook(
        [&](TVirtualP2KTransport::TExchange Kind, const std::string&, uint64_t) {
            if (Kind != TVirtualP2KTransport::TExchange::Write || phone->OpenFileName().empty()) {
                return;
            }
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
    QTimer::singleShot(500, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            return;
        }
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        // The window and its dialog side by side, each drawn by itself.
        const QPixmap window = f.grab(), chooser = dialog->grab();
        QPixmap both(window.width() + 8 + chooser.width(),
                     std::max(window.height(), chooser.height()));
        both.fill(Qt::darkGray);
        QPainter painter(&both);
        painter.drawPixmap(0, 0, window);
        painter.drawPixmap(window.width() + 8, 0, chooser);
        painter.end();
        shot = both.save(out + QStringLiteral("/window-folder-chooser.png"));
        dialog->close();
    });
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
    clickRow(8);
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(form->grab().save(out + QStringLiteral("/window-demo.png")));
    form.reset();
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
