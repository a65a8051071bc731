#include "gui/BackendFactory.h"

#include <QTimer>

#include "backend/Backend.h"
#include "backend/Clock.h"
#include "linux/LinuxBackend.h"
#include "linux/TermiosSerialPort.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualModem.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhoneFolder.h"

namespace {

// How often the virtual phone folder is looked at for phones plugged or
// unplugged by adding or removing a subfolder.
constexpr int VirtualRescanMs = 1000;

class TVirtualHolder final : public TBackendHolder {
  public:
    explicit TVirtualHolder(const std::filesystem::path& Folder)
        : transport_(devices_),
          folder_(devices_, Folder, StartVirtualModemPhone),
          backend_{devices_, transport_, ports_, clock_} {
        folder_.Rescan();
        QObject::connect(&rescan_, &QTimer::timeout, [this] { folder_.Rescan(); });
        rescan_.start(VirtualRescanMs);
    }
    TPhoneBackend& Backend() override { return backend_; }

  private:
    TVirtualDeviceSource devices_;
    TVirtualP2KTransport transport_;
    TTermiosSerialPorts ports_;  // a virtual modem is a real pseudo-terminal
    TSteadyClock clock_;
    TVirtualPhoneFolder folder_;
    TPhoneBackend backend_;
    QTimer rescan_;
};

// The phones on this computer's USB bus.
class TLinuxHolder final : public TBackendHolder {
  public:
    TPhoneBackend& Backend() override { return linux_.Backend(); }

  private:
    TLinuxBackend linux_;
};

}  // namespace

std::unique_ptr<TBackendHolder> createBackend() {
    if (auto folder = TVirtualPhoneFolder::FromEnvironment()) {
        return std::make_unique<TVirtualHolder>(*folder);
    }
    return std::make_unique<TLinuxHolder>();
}
