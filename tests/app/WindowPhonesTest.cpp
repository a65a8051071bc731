// The window's link components on the virtual phone: they list the phones
// present at start and hear arrivals through the GUI loop.
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include "AppFixture.h"
#include "MotoP2KMode.h"
#include "backend/Clock.h"
#include "gui/BackendFactory.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualP2KTransport.h"

TEST_F(WindowTest, LinkComponentsEnumerateAndHearArrivals) {
    TVirtualDeviceSource devices;
    TVirtualP2KTransport transport(devices);
    TFakeClock clock;
    TPhoneBackend phones{devices, transport, backend.Serial, clock};
    devices.PlugPhone("one", std::make_shared<TVirtualPhone>());
    devices.DispatchPending();  // nobody listens yet

    form = std::make_unique<TForm1>(phones, config);
    ASSERT_NE(form->p2kMode(), nullptr);
    ASSERT_NE(form->atMode(), nullptr);
    EXPECT_EQ(form->p2kMode()->DeviseList().Count(), 1);
    EXPECT_TRUE(form->Log->toPlainText().endsWith("1 P2K devices found"))
        << form->Log->toPlainText().toStdString();

    devices.PlugPhone("two", std::make_shared<TVirtualPhone>());
    // The arrival waits in the source until the loop sees its descriptor.
    EXPECT_EQ(form->p2kMode()->DeviseList().Count(), 1);
    QElapsedTimer waited;
    waited.start();
    while (form->p2kMode()->DeviseList().Count() != 2 && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(form->p2kMode()->DeviseList().Count(), 2);
    EXPECT_TRUE(form->Log->toPlainText().endsWith("2 P2K devices found"));
    form.reset();  // the components go before the source they listen to
}

TEST_F(WindowTest, VirtualPhonesWhenTheEnvironmentNamesAFolder) {
    QDir().mkpath(root + "/phones/first/a/mobile/picture");
    qputenv("SNAPRILL_VIRTUAL_PHONES", (root + "/phones").toUtf8());
    std::unique_ptr<TBackendHolder> holder = createBackend();
    qunsetenv("SNAPRILL_VIRTUAL_PHONES");
    form = std::make_unique<TForm1>(holder->Backend(), config);
    EXPECT_EQ(form->p2kMode()->DeviseList().Count(), 1);
    EXPECT_TRUE(form->Log->toPlainText().endsWith("1 P2K devices found"));
    form.reset();
}
