#include "wiring/BackendFactory.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "backend/Backend.h"
#include "backend/Clock.h"
#include "backend/TracingBackend.h"
#include "core/program/LogCategories.h"
#include "linux/LinuxBackend.h"
#include "linux/SystemView.h"
#include "linux/TermiosSerialPort.h"
#include "sim/VirtualDeviceSource.h"
#include "sim/VirtualModem.h"
#include "sim/VirtualP2KTransport.h"
#include "sim/VirtualPhoneFolder.h"

namespace {

std::function<void(const std::string&)> warner(const TBackendOptions& Options) {
    if (Options.Warn) {
        return Options.Warn;
    }
    const std::string program = Options.Program;
    return [program](const std::string& Text) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), Text.c_str());
    };
}

// The system as it is, with the virtual phones in place of the USB ones.
class TVirtualSystemView final : public TLinuxSystemView {
  public:
    explicit TVirtualSystemView(IDeviceSource& Devices) : devices_(Devices) {}
    std::vector<TUsbDeviceView> PhoneDevices() override {
        std::vector<TUsbDeviceView> out;
        for (const char* guid : {UsbDeviceInterfaceGuid, P2KInterfaceGuid}) {
            const bool modem = std::string(guid) == UsbDeviceInterfaceGuid;
            for (const TDeviseInterface& d : devices_.Enumerate(guid)) {
                TUsbDeviceView v;
                v.Virtual = true;
                const auto slash = d.DevicePath.find_last_of('/');
                v.VirtualName = modem ? d.Properties.IdPath : d.DevicePath.substr(slash + 1);
                if (v.VirtualName.rfind("virtual:", 0) == 0) {
                    v.VirtualName.erase(0, 8);
                }
                v.VendorId = d.Properties.VendorId;
                v.ProductId = d.Properties.ProductId;
                TUsbInterfaceView i;
                i.Number = modem ? "00" : "08";
                i.Class = modem ? "02" : "ff";
                i.TtyNode = modem ? d.DevicePath : std::string();
                v.Interfaces.push_back(i);
                out.push_back(std::move(v));
            }
        }
        return out;
    }

  private:
    IDeviceSource& devices_;
};

// A change in the folder is looked at once it has been quiet this long, so
// that a phone folder being filled is read with its files rather than empty.
constexpr int VirtualSettleMs = 250;

// The virtual phones of a folder. The folder is watched (inotify), never
// polled: an idle program is woken only when a phone folder comes or goes.
class TVirtualHolder final : public TBackendHolder {
  public:
    TVirtualHolder(const std::filesystem::path& Folder,
                   const std::function<void(const std::string&)>& Warn)
        : transport_(devices_),
          folder_(devices_, Folder, StartVirtualModemPhone),
          backend_{devices_, transport_, ports_, clock_} {
        folder_.SetOnReplayMessage(Warn);
        settle_.setSingleShot(true);
        settle_.setInterval(VirtualSettleMs);
        QObject::connect(&settle_, &QTimer::timeout, [this] { rescan(); });
        QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged,
                         [this] { settle_.start(); });
        rescan();
    }
    TDoctorReport Doctor(const std::string& ProgramVersions) override {
        TVirtualSystemView view(devices_);
        return RunDoctor(view, ProgramVersions);
    }

  protected:
    TPhoneBackend& Layers() override { return backend_; }

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
    TDoctorReport Doctor(const std::string& ProgramVersions) override {
        TLinuxSystemView view;
        return RunDoctor(view, ProgramVersions);
    }

  protected:
    TPhoneBackend& Layers() override { return linux_.Backend(); }

  private:
    TLinuxBackend linux_;
};

}  // namespace

TBackendHolder::~TBackendHolder() = default;

TPhoneBackend& TBackendHolder::Backend() {
    return traced_ ? traced_->Backend() : Layers();
}

void TBackendHolder::StartTrace(const TBackendOptions& Options, const char* Phones) {
    std::string file = Options.TraceFile;
    if (file.empty()) {
        const char* named = std::getenv("SNAPRILL_TRACE");
        file = named != nullptr ? named : "";
    }
    const char* keep = std::getenv("SNAPRILL_TRACE_DATA");
    const bool keepData = Options.TraceData || (keep != nullptr && std::string(keep) == "1");
    const bool logging = wireLoggingEnabled();
    if (file.empty() && !logging) {
        return;  // the layers as they are: not one call more on the wire's way
    }
    trace_ = std::make_unique<TTraceLog>(keepData);
    if (!file.empty()) {
        trace_->OpenFile(file, warner(Options));
    }
    if (logging) {
        trace_->SetListener([](const std::string& Topic, const std::string& Line) {
            const QString text = QString::fromStdString(Line);
            if (Topic == "usb") {
                qCDebug(lcUsb).noquote() << text;
            } else if (Topic == "at") {
                qCDebug(lcAt).noquote() << text;
            } else {
                qCDebug(lcP2K).noquote() << text;
            }
        });
    }
    if (!trace_->Active()) {
        trace_.reset();
        return;
    }
    TTraceEvent start("program", "start");
    start.Add("name", Options.Program).Add("version", SNAPRILL_VERSION);
    start.Add("phones", Phones).Add("data", keepData ? "kept" : "hashed");
    trace_->Write(start);
    traced_ = std::make_unique<TTracedBackend>(Layers(), *trace_);
}

std::unique_ptr<TBackendHolder> createBackend(const TBackendOptions& Options) {
    std::unique_ptr<TBackendHolder> holder;
    const char* phones = "usb";
    if (auto folder = TVirtualPhoneFolder::FromEnvironment()) {
        holder = std::make_unique<TVirtualHolder>(*folder, warner(Options));
        phones = "virtual";
    } else {
        holder = std::make_unique<TLinuxHolder>();
    }
    holder->StartTrace(Options, phones);
    return holder;
}
