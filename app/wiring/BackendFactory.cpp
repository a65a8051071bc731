#include "wiring/BackendFactory.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include "backend/Backend.h"
#include "backend/Clock.h"
#include "linux/LinuxBackend.h"
#include "linux/TermiosSerialPort.h"
#include "sim/PhoneFolderClaim.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualModem.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhoneFolder.h"

namespace {

// A change in the folder is looked at once it has been quiet this long, so
// that a phone folder being filled is read with its files rather than empty.
constexpr int VirtualSettleMs = 250;

// The virtual phones of a folder. The folder is watched (inotify), never
// polled: an idle program is woken only when a phone folder comes or goes.
class TVirtualHolder final : public TBackendHolder {
  public:
    explicit TVirtualHolder(const std::filesystem::path& Folder)
        : transport_(devices_),
          folder_(devices_, Folder, StartVirtualModemPhone),
          backend_{devices_, transport_, ports_, clock_} {
        // Two programs on one folder see each other's hold on a phone, as
        // they would on a real phone's interface.
        transport_.SetClaimer(
            [this](const std::string& DevicePath, bool& Held) -> std::shared_ptr<void> {
                if (const auto folder = folder_.FolderOf(DevicePath)) {
                    return ClaimPhoneFolder(*folder, Held);
                }
                Held = false;
                return std::make_shared<int>(0);
            });
        settle_.setSingleShot(true);
        settle_.setInterval(VirtualSettleMs);
        QObject::connect(&settle_, &QTimer::timeout, [this] { rescan(); });
        QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged,
                         [this] { settle_.start(); });
        rescan();
    }
    TPhoneBackend& Backend() override { return backend_; }

  private:
    void rescan() {
        folder_.Rescan();
        watch();
    }
    // Watches the folder, or while it does not exist the nearest folder above
    // it that does, so that its creation is seen too.
    void watch() {
        QString path =
            QFileInfo(QString::fromStdString(folder_.Folder().string())).absoluteFilePath();
        while (!QFileInfo(path).isDir()) {
            const QString parent = QFileInfo(path).path();
            if (parent == path) {
                break;
            }
            path = parent;
        }
        const QStringList watched = watcher_.directories();
        if (watched.size() == 1 && watched.front() == path) {
            return;
        }
        if (!watched.isEmpty()) {
            watcher_.removePaths(watched);
        }
        watcher_.addPath(path);
    }

    TVirtualDeviceSource devices_;
    TVirtualP2KTransport transport_;
    TTermiosSerialPorts ports_;  // a virtual modem is a real pseudo-terminal
    TSteadyClock clock_;
    TVirtualPhoneFolder folder_;
    TPhoneBackend backend_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
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
