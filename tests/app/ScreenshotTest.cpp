// Pictures of the window for the documentation: run with
// SNAPRILL_SCREENSHOT_DIR set (under a real X server such as Xvfb), they are
// written there; otherwise the test is skipped.
#include <QComboBox>
#include <QPixmap>
#include <QTabWidget>

#include "AppFixture.h"

TEST_F(WindowTest, ScreenshotsOfBothModes) {
    const QString out = qEnvironmentVariable("SNAPRILL_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "SNAPRILL_SCREENSHOT_DIR not set";
    }
    config.PicturesDir = QStringLiteral("/home/user/Pictures/");
    TForm1& f = start();
    f.show();
    for (int mode : {0, 1}) {
        f.idModeSelect->setCurrentIndex(mode);
        f.idModeSelectChange(&f);
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
        }
        const QString name =
            mode == 0 ? QStringLiteral("photo-manager") : QStringLiteral("file-manager");
        f.idTabs->setCurrentIndex(0);
        QCoreApplication::processEvents();
        EXPECT_TRUE(f.grab().save(out + QStringLiteral("/window-%1.png").arg(name)));
    }
}
