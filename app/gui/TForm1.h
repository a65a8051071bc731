#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/session/PhoneSession.h"
#include "core/session/SessionHost.h"
#include "core/settings/MessageFormat.h"
#include "core/settings/SettingsStore.h"
#include "gui/FormConfig.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QShortcut;
class QTabWidget;
class QToolButton;
class QTreeView;
class QVBoxLayout;
class TElidedLabel;
class TLinkLabel;
class TPicturePreviews;
class TPreviewFetcher;
class TLogModel;
class TLogView;
class TTrayIcon;
struct TPhoneBackend;

// The main window: a view over the phone session. It builds the controls,
// passes on what the user does, shows what the session reports, and is the
// session's host (its dialogs, its options, its event loop). The controls
// carry the object names that language files address; each setting lives
// in the control that shows it while the program runs and is stored when
// the window closes.
class TForm1 : public QMainWindow, private ISessionHost {
    Q_OBJECT
  public:
    TForm1(TPhoneBackend& Backend, TFormConfig Config, QWidget* Parent = nullptr);
    ~TForm1() override;

    // Appends Text to the Log page and shows it in status panel 0.
    void AddLog(const QString& Text);
    // The caption of the template label Name formatted with Args; the
    // built-in template when the caption does not fit the arguments.
    QString Msg(const char* Name, const QList<TMessageArg>& Args = {}) const;

    // Start-up and close, as the program runs them.
    void FormCreate();
    void FormClose();
    // Shows the window, restored from a minimised state, in front and active.
    void bringToFront();
    // Applies the language file Name of the language folder.
    void loadLang(const QString& Name);
    // The charset value whose code page decodes the applied language texts.
    int FontCharset() const { return fontCharset_; }
    // The named control, found without regard to letter case; nullptr if none.
    QObject* findControl(const QString& Name) const;
    // The text a language file would set on a control, or nothing for one without text.
    static bool controlText(const QObject* Control, QString* Text);

    const TFormConfig& config() const { return config_; }
    TPhoneSession& session() { return *session_; }
    const TPhoneSession& session() const { return *session_; }
    // The thumbnails of the listed pictures, fetched between commands.
    TPreviewFetcher& previewFetcher() { return *previewFetcher_; }

  protected:
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    // --- Building ---
    void buildWindow();
    void buildPicturesPage();
    void buildOptionsPage();
    // A check box of the Options page's settings column.
    QCheckBox* addOptionBox(const char* Name, const char* Caption);
    // The importer settings, under the check boxes (FormImportOptions.cpp).
    void buildImportOptions(QVBoxLayout* Column);
    void connectImportOptions();
    // Those controls, shown in Photo Manager mode only.
    QList<QWidget*> importOptionControls() const;
    void browseForSecondFolder();
    void restoreImportOptions(const TStoredSettings& Stored);
    void storeImportOptions(TSettingsToWrite& Values) const;
    void buildLogPage();
    // --- The Log page's menu (FormLog.cpp) ---
    void buildLogMenu();
    void showLogMenu(const QPoint& At);
    void saveLog();
    void buildAboutPage();
    void buildTemplates();
    void buildTray();
    void buildPreviews();
    void fitPreviewPane();
    void fitToolBar();
    void registerControl(QObject* Control, const QString& Name);
    void connectControls();
    void connectSession();
    QFileDialog* openDialog();

    // --- The window's place (FormPlace.cpp) ---
    void restorePlace(const TWindowPlace& Place);
    TWindowPlace currentPlace() const;
    void watchColumns();
    void showNameWidth();
    // The width the name column may take beside the other columns.
    int nameRoom() const;

    // --- What the user does ---
    void modeChosen(bool ByUser);
    void languageChosen();
    void charsetChosen();
    void browseForFolder();
    // The folder chooser, opened at Current when it exists; the folder
    // chosen, ending in "/", or empty when cancelled.
    QString chooseFolderFrom(const QString& Current);
    void trayClicked();
    // Whether the window is on show, as a tray click or the tray menu toggles it.
    bool windowShown() const;
    void nameTrayMenu();
    // Closes the window as the user would and ends the program.
    void quitProgram();
    void minimized();
    void openLink(const QString& Target);
    void getLangs();
    void placeUploadPath();
    void setControlText(QObject* Control, const QString& Text);
    int charsetFor(const QObject* Control) const;
    // The session reads and lists as "Fast transfers" says.
    void applyTransferSpeed();
    // Disables the phone commands (and what opens a dialog) while a command runs.
    void setCommandControlsEnabled(bool Enabled);

    // --- What the session reports ---
    void showPhones();
    void showDrives();
    void showTransferStarted(TTransferKind Kind, int Files, int From);
    void showTransferEnded();
    void showListingStarted(int Count);
    void showListingEnded();
    void addUploadFolder(const std::string& Folder);
    void showSelectionSummary();

    // --- The session's host ---
    void ProcessEvents() override;
    bool Option(TSessionOption Option) override;
    QString SaveFolder() override;
    std::string UploadFolder() override;
    QString FolderPattern() override;
    QString SecondFolder() override;
    QString ChooseFolder(const TSessionMsg& Title) override;
    QStringList ChooseFiles() override;
    bool AskYesNo(const TSessionMsg& Question) override;
    void ShowMessage(const TSessionMsg& Message, bool Error) override;
    QString text(const TSessionMsg& Message) const;

    // --- Messages and the Log ---
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
    // A line was added to the Log: Shown when it was formatted from a
    // language file's template, so that the status panel can follow a
    // charset change.
    void lineAdded(std::optional<TShownMsg> Shown);
    void addMsg(const TSessionMsg& Msg);
    void setCaptionState(const char* Template);
    // Shows Shown in status panel 0, 1 or 2, remembered for a charset change.
    void setPanelMsg(int Panel, const TShownMsg& Shown);
    // Status panel 0's text, with the whole of it in the panel's tooltip.
    void showInMessagePanel(const QString& Text);
    // Formats every message still on show again, after a charset change.
    void renderShownMsgs();
    // Formats the caption's state and the status panels again, from the
    // templates applied now (after a language or charset change).
    void renderStateMsgs();
    // The tooltips taken from templates, from the templates applied now.
    void renderTips();

    // A transfer reports every block, but the window shows its progress (the
    // log's new lines, the status panel, both bars) at most every
    // ShowEveryMs while a command runs, and at once otherwise: drawing it
    // per block would cost more than the transfer. The log keeps every line.
    static constexpr int ShowEveryMs = 150;
    void showProgress(bool Now);
    void showBar(QProgressBar* Bar, int Maximum, int Value);
    void setBytesBar(int32_t Done, int32_t Total);
    void setFileBar(int Value);
    // The transfer's speed and time left in status panel 2, once known.
    void showRate();

    TFormConfig config_;
    std::unique_ptr<TPhoneSession> session_;
    TPreviewFetcher* previewFetcher_ = nullptr;  // the session's child
    QHash<QString, QObject*> controls_;          // lower-case name -> control
    QHash<QObject*, QByteArray> appliedRaw_;     // raw language-file bytes of applied texts
    int fontCharset_ = 1;
    bool minimizeHandlerInstalled_ = false;
    // The file-name column's width as the user set it (or as it was stored)
    // and the window's width then: the column grows and shrinks with the
    // window, and is shown no narrower than a minimum.
    int nameWidth_ = 290;
    int nameAtWindowWidth_ = 469;  // the window's first width
    bool sizingColumns_ = false;   // a width set by the window, not the user

    // The controls, with the object names that language files address.
    QTabWidget* tabs_ = nullptr;              // idTabs
    QWidget* picturesPage_ = nullptr;         // idList
    QWidget* optionsPage_ = nullptr;          // idOptions
    QWidget* logPage_ = nullptr;              // idLog
    QWidget* aboutPage_ = nullptr;            // idAbout
    QProgressBar* bytesBar_ = nullptr;        // ProgressBar1: bytes, or rows while listing
    QProgressBar* filesBar_ = nullptr;        // ProgressBar2: files of a transfer
    TElidedLabel* messagePanel_ = nullptr;    // StatusPanel0
    QLabel* freeSpacePanel_ = nullptr;        // StatusPanel1
    QLabel* ratePanel_ = nullptr;             // StatusPanel2: speed and time left
    QWidget* toolBar_ = nullptr;              // ToolBar1
    QToolButton* downloadButton_ = nullptr;   // idDownload
    QToolButton* deleteButton_ = nullptr;     // idDelete
    QToolButton* uploadButton_ = nullptr;     // idUpload
    QToolButton* refreshButton_ = nullptr;    // idRefresh
    QToolButton* stopButton_ = nullptr;       // idStop
    QShortcut* stopKey_ = nullptr;            // Escape on the Pictures page
    QComboBox* phoneChoice_ = nullptr;        // ComboBox1
    QComboBox* driveChoice_ = nullptr;        // idDriveSelect
    QFrame* uploadRow_ = nullptr;             // Panel3
    QLabel* uploadToLabel_ = nullptr;         // idUploadToC
    QComboBox* uploadFolderBox_ = nullptr;    // idUploadPath
    QTreeView* fileView_ = nullptr;           // ListView1
    QAction* neverDownloadAction_ = nullptr;  // Neverdownloadthisfile1
    QLabel* modeLabel_ = nullptr;             // idMode
    QComboBox* modeChoice_ = nullptr;         // idModeSelect
    QLabel* saveFolderLabel_ = nullptr;       // idSaveImages
    QLineEdit* saveFolderField_ = nullptr;    // Edit1
    QPushButton* browseButton_ = nullptr;     // idBrowse
    QCheckBox* downloadAllBox_ = nullptr;     // idDownloadAll
    QCheckBox* overwriteBox_ = nullptr;       // idOverwrite
    QCheckBox* deleteAfterBox_ = nullptr;     // idDeleteAfter
    QCheckBox* autostartBox_ = nullptr;       // idLoad
    QCheckBox* hideBox_ = nullptr;            // idHide
    QCheckBox* previewsBox_ = nullptr;        // idPreviews
    QCheckBox* pictureTimeBox_ = nullptr;     // idPictureTime
    QCheckBox* skipDownloadedBox_ = nullptr;  // idSkipDownloaded
    QCheckBox* fastTransfersBox_ = nullptr;   // idFastTransfers
    QVBoxLayout* optionBoxes_ = nullptr;      // the column of those check boxes; more go below
    QCheckBox* dateFoldersBox_ = nullptr;     // idDateFolders
    QLineEdit* datePatternField_ = nullptr;   // idDatePattern
    QLabel* sameNameLabel_ = nullptr;         // idSameName
    QRadioButton* sameSkipButton_ = nullptr;  // idSameSkip
    QRadioButton* keepBothButton_ = nullptr;  // idSameKeepBoth
    QCheckBox* alsoCopyBox_ = nullptr;        // idAlsoCopy
    QLineEdit* alsoCopyField_ = nullptr;      // idAlsoCopyDir
    QPushButton* alsoCopyBrowse_ = nullptr;   // idAlsoCopyBrowse
    QLabel* languageLabel_ = nullptr;         // idLanguage
    QComboBox* languageChoice_ = nullptr;     // idLanguageSel
    QPlainTextEdit* languageInfo_ = nullptr;  // info
    QLabel* charsetLabel_ = nullptr;          // idCharset
    QComboBox* charsetChoice_ = nullptr;      // idCharsetSel
    QPlainTextEdit* languageKeys_ = nullptr;  // idLangContainer
    QListWidget* languageFiles_ = nullptr;    // idLanguageList
    QFrame* templatePanel_ = nullptr;         // Panel2
    TLogView* logView_ = nullptr;             // Log
    TLogModel* logModel_ = nullptr;           // the Log's lines
    QMenu* logMenu_ = nullptr;                // LogMenu: Copy, Select All, Save as..., Clear
    QAction* logCopy_ = nullptr;              // LogCopy
    QAction* logSelectAll_ = nullptr;         // LogSelectAll
    QAction* logSave_ = nullptr;              // LogSave
    QAction* logClear_ = nullptr;             // LogClear
    TLinkLabel* mailLink_ = nullptr;          // Label1
    TLinkLabel* ownersLink_ = nullptr;        // Label6
    TLinkLabel* componentsLink_ = nullptr;    // Label8
    TLinkLabel* homeLink_ = nullptr;          // Label11
    TLinkLabel* artLink_ = nullptr;           // Label13
    QFileDialog* openDialog_ = nullptr;       // OpenDialog1, made when first needed
    TTrayIcon* tray_ = nullptr;               // TrayIcon1
    TPicturePreviews* previews_ = nullptr;    // the list's pictures, the icon grid, the pane
    QList<QIcon> toolIcons_;                  // ImageList1

    // The last line of the Log, when it was formatted from a language file's template.
    std::optional<TShownMsg> lastLineMsg_;
    std::optional<TShownMsg> captionMsg_;
    std::optional<TShownMsg> panelMsgs_[3];
    int bytesDone_ = 0;
    int bytesTotal_ = 0;
    int fileValue_ = 0;
    bool barsPending_ = false;
    QElapsedTimer shownAt_;
};
