#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/CommandGuard.h"
#include "core/ExcludeIndex.h"
#include "core/FileRows.h"
#include "core/MessageFormat.h"
#include "core/SettingsStore.h"
#include "gui/FormConfig.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSocketNotifier;
class QTabWidget;
class QToolButton;
class QTreeView;
class TFileListModel;
class TLinkLabel;
class TMotoATMode;
class TMotoP2KMode;
class TMotoP2KModemItem;
class TTrayIcon;
struct TP2KFile;
struct TPhoneBackend;

// The main window. Its controls carry the object names that language files
// address; each setting lives in the control that shows it while the program
// runs and is stored when the window closes.
class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    TForm1(TPhoneBackend& Backend, TFormConfig Config, QWidget* Parent = nullptr);
    ~TForm1() override;

    // Appends Text to the Log page and shows it in status panel 0.
    void AddLog(const QString& Text);
    // The caption of the template label Name formatted with Args; the
    // built-in template when the caption does not fit the arguments.
    QString Msg(const char* Name, const QList<TMessageArg>& Args = {}) const;
    // AddLog of a message: the line follows later charset changes.
    void AddMsg(const char* Name, const QList<TMessageArg>& Args = {});

    // 0 Photo Manager, 1 File Manager.
    int ManagerMode = 0;

    // Handlers, as the controls and components run them.
    void FormCreate();
    void FormClose();
    void idModeSelectChange(QObject* Sender);
    void getLangs();
    void loadLang(const QString& Name);
    void idLanguageSelClick(QObject* Sender);
    void idCharsetSelChange(QObject* Sender);
    void TrayIcon1Click(QObject* Sender);
    void MinimizeEvtHandler();
    void idBrowseClick(QObject* Sender);
    void Label1Click(QObject* Sender);
    void Label6Click(QObject* Sender);
    void Label8Click(QObject* Sender);
    void Label11Click(QObject* Sender);
    void Label13Click(QObject* Sender);
    // The connection flow: phones found, switched, chosen and listed.
    void switchP2K();
    void GetDevises();
    void CloseAllDevices();
    void MotoP2KMode1Arrival(void* Sender);
    void MotoP2KMode1Remove(void* Sender);
    void MotoATMode1Arrival(void* Sender);
    void ComboBox1Select(QObject* Sender);
    void idRefreshClick(QObject* Sender);
    // The file list of the chosen phone.
    void getDrives(int Index, const std::optional<std::string>& KeepDrive = std::nullopt);
    void GetPics(int Index);
    bool FileListCallback(const TP2KFile& File);
    void idDriveSelectClick(QObject* Sender);
    void ListView1Click(QObject* Sender);
    void ListView1SelectItem(QObject* Sender);
    void Neverdownloadthisfile1Click(QObject* Sender);
    // The three commands on the listed files.
    void idDownloadClick(QObject* Sender);
    bool DownloadProgress(int32_t Done, int32_t Total);
    void idUploadClick(QObject* Sender);
    bool UploadProgress(int32_t Done, int32_t Total);
    void idDeleteClick(QObject* Sender);

    // The charset value whose code page decodes the applied language texts.
    int FontCharset() const { return fontCharset_; }
    // Re-places the upload path box after the "Upload to:" label.
    void placeUploadPath();
    // The named control, found without regard to letter case; nullptr if none.
    QObject* findControl(const QString& Name) const;
    // The text a language file would set on a control, or nothing for one without text.
    static bool controlText(const QObject* Control, QString* Text);

    const TFormConfig& config() const { return config_; }
    TTrayIcon* trayIcon() const { return TrayIcon1; }
    TMotoP2KMode* p2kMode() const { return MotoP2KMode1.get(); }
    TMotoATMode* atMode() const { return MotoATMode1.get(); }
    // The rows of the file list, as the commands see them.
    const TFileRows& fileRows() const;
    // Whether a phone command is running.
    bool commandRunning() const { return commands_.Busy(); }

    // The controls, by their names.
    QTabWidget* idTabs = nullptr;
    QWidget* idList = nullptr;
    QWidget* idOptions = nullptr;
    QWidget* idLog = nullptr;
    QWidget* idAbout = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;

    QWidget* ToolBar1 = nullptr;
    QToolButton* idDownload = nullptr;
    QToolButton* idDelete = nullptr;
    QToolButton* idUpload = nullptr;
    QToolButton* idRefresh = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QComboBox* idDriveSelect = nullptr;
    QFrame* Panel3 = nullptr;
    QLabel* idUploadToC = nullptr;
    QComboBox* idUploadPath = nullptr;
    QTreeView* ListView1 = nullptr;
    QAction* Neverdownloadthisfile1 = nullptr;
    // The exclusion list: phone names never to download.
    TExcludeIndex idExclude;

    QLabel* idMode = nullptr;
    QComboBox* idModeSelect = nullptr;
    QLabel* idSaveImages = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* idBrowse = nullptr;
    QCheckBox* idDownloadAll = nullptr;
    QCheckBox* idOverwrite = nullptr;
    QCheckBox* idDeleteAfter = nullptr;
    QCheckBox* idLoad = nullptr;
    QCheckBox* idHide = nullptr;
    QLabel* idLanguage = nullptr;
    QComboBox* idLanguageSel = nullptr;
    QPlainTextEdit* info = nullptr;
    QLabel* idCharset = nullptr;
    QComboBox* idCharsetSel = nullptr;
    QPlainTextEdit* idLangContainer = nullptr;
    QListWidget* idLanguageList = nullptr;
    QFrame* Panel2 = nullptr;

    QPlainTextEdit* Log = nullptr;

    TLinkLabel* Label1 = nullptr;
    TLinkLabel* Label6 = nullptr;
    TLinkLabel* Label8 = nullptr;
    TLinkLabel* Label11 = nullptr;
    TLinkLabel* Label13 = nullptr;

    // The upload's open-file dialog, made when first needed.
    QFileDialog* OpenDialog1 = nullptr;
    TTrayIcon* TrayIcon1 = nullptr;
    QList<QIcon> ImageList1;

  protected:
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    void buildWindow();
    void buildPicturesPage();
    void buildOptionsPage();
    void buildLogPage();
    void buildAboutPage();
    void buildTemplates();
    void fitToolBar();
    void buildComponents();
    void registerControl(QObject* Control, const QString& Name);
    void setControlText(QObject* Control, const QString& Text);
    int charsetFor(const QObject* Control) const;
    void applySettings(const TStoredSettings& Stored);
    void openLink(const QString& Target);
    void createLinks();
    void destroyLinks();
    void connectConnectionHandlers();

    // Runs Body as the one phone command: the phone controls are disabled
    // meanwhile, and device events that arrive during it are handled after it.
    void runCommand(const std::function<void()>& Body);
    void setPhoneControlsEnabled(bool Enabled);
    bool interrupted() const { return commands_.Interrupted(); }
    // Lets the window handle pending messages; false when the running
    // command must end because the phones changed meanwhile.
    bool pumpMessages();
    enum class TDeviceEvent { P2KArrival, P2KRemoval, ATArrival };
    void deferDeviceEvent(TDeviceEvent Event);
    void runDeferredDeviceEvents();
    // The connect-and-list sequence inside a running command.
    void connectAndList(const std::optional<std::string>& KeepDrive);
    void downloadSelected();
    void uploadFiles(const std::shared_ptr<TMotoP2KModemItem>& Item, const QStringList& Files);
    // The phone item behind the phone choice; empty when there is none.
    std::shared_ptr<TMotoP2KModemItem> chosenPhone() const;
    std::string selectedDrive() const;
    std::string selectedUploadFolder() const;
    void addUploadFolder(const std::string& Folder);
    void setCaptionState(const char* Template);
    // A message as formatted from its template label. A template that came
    // from a language file is kept as its bytes, so that the message can be
    // formatted again when the charset changes.
    struct TShownMsg {
        const char* Name = nullptr;
        QList<TMessageArg> Args;
        std::optional<QByteArray> Raw;  // the language file's template, if any
    };
    TShownMsg shownMsg(const char* Name, const QList<TMessageArg>& Args) const;
    QString render(const TShownMsg& Shown) const;
    void addLogLine(const QString& Text, std::optional<TShownMsg> Shown);
    // Shows Shown in status panel 0 (Panel 0) or 1, remembered for a charset change.
    void setPanelMsg(int Panel, const TShownMsg& Shown);
    // Formats every message still on show again, after a charset change.
    void renderShownMsgs();
    // Reports a local file that could not be written or read, and says so in a box.
    void reportLocalFailure(const QString& Text);
    QFileDialog* openDialog();

    // A transfer reports every block, but the window shows its progress (the
    // log's new lines, the status panel, both bars) at most every
    // ShowEveryMs while a command runs, and at once otherwise: drawing it
    // per block would cost more than the transfer. The log keeps every line.
    static constexpr int ShowEveryMs = 150;
    void showProgress(bool Now);
    void showBar(QProgressBar* Bar, int Maximum, int Value);
    void setBytesBar(int32_t Done, int32_t Total);
    void setFileBar(int Value);
    // Moves the file-count bar on by one.
    void stepFileBar();

    TPhoneBackend& backend_;
    TFormConfig config_;
    QHash<QString, QObject*> controls_;       // lower-case name -> control
    QHash<QObject*, QByteArray> appliedRaw_;  // raw language-file bytes of applied texts
    int fontCharset_ = 1;
    bool minimizeHandlerInstalled_ = false;
    std::unique_ptr<TMotoATMode> MotoATMode1;
    std::unique_ptr<TMotoP2KMode> MotoP2KMode1;
    // Errors the P2K phone commands reported so far: a listing that met one
    // says its list is not the whole list.
    uint64_t phoneErrors_ = 0;
    QSocketNotifier* deviceNotifier_ = nullptr;

    TFileListModel* fileList_ = nullptr;
    TCommandGuard commands_;
    std::vector<TDeviceEvent> deferred_;
    // The rows of a listing in progress and the mode it lists in.
    TFileRows listing_;
    int listingMode_ = 0;
    // Case-folded phone folders already offered as upload folders.
    std::unordered_set<std::string> uploadFolders_;

    // Progress not shown yet (see ShowEveryMs).
    QStringList pendingLog_;
    // The Log's lines so far (shown or pending) and those formatted from a
    // language file's template, by line number.
    int logLines_ = 0;
    std::vector<std::pair<int, TShownMsg>> logMsgs_;
    std::optional<TShownMsg> lastLineMsg_;
    std::optional<TShownMsg> captionMsg_;
    std::optional<TShownMsg> panelMsgs_[2];
    int bytesDone_ = 0;
    int bytesTotal_ = 0;
    int fileValue_ = 0;
    bool barsPending_ = false;
    QElapsedTimer shownAt_;
};
