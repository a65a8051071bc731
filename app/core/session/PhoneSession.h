#pragma once

#include <QDate>
#include <QObject>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/files/DownloadHistory.h"
#include "core/files/ExcludeIndex.h"
#include "core/files/FileRows.h"
#include "core/files/ListRules.h"
#include "core/files/StaleTemporaries.h"
#include "core/session/CommandContext.h"
#include "core/session/CommandGuard.h"
#include "core/session/CommandOutcome.h"
#include "core/session/DownloadJob.h"
#include "core/session/FileOutcome.h"
#include "core/session/SessionHost.h"
#include "core/session/SessionMsg.h"
#include "core/session/TransferRate.h"
#include "core/session/UploadJob.h"

class ILocalFiles;
class QSocketNotifier;
class TFileListModel;
class TMotoATMode;
class TMotoATModemItem;
class TMotoP2KMode;
class TMotoP2KModemItem;
struct TP2KFile;
struct TPhoneBackend;

// What the session does with phones attached in modem mode: switch each to
// P2K mode, as the window does, or leave them for the front end to switch
// the one it wants (SwitchModem).
enum class TModemPolicy { SwitchAll, Leave };

// The two kinds of transfer, which the front end shows differently: a
// download takes the file list away while it runs, an upload does not.
enum class TTransferKind { Download, Upload };

// The phone session: the two link components, the phones found, the chosen
// phone with its drives and file list, the exclusion list, and every
// sequence run on them (connecting, listing, download, upload, delete). It
// runs one command at a time; device events that come during a command or
// while a dialog of the front end is open are handled after it. It knows no
// widget: it reports through its signals and asks its host (ISessionHost)
// for what only a front end can do. Its jobs reach it through the command
// context it implements privately: a front end sees only what it may call.
class TPhoneSession : public QObject, private ICommandContext {
    Q_OBJECT
  public:
    TPhoneSession(TPhoneBackend& Backend, ISessionHost& Host, QObject* Parent = nullptr);
    ~TPhoneSession() override;

    // --- What the user does --------------------------------------------------
    // Switches the modem phones (unless Modems says to leave them; then one
    // arriving later is left too) and lists the P2K phones, choosing the first.
    void Start(TModemPolicy Modems = TModemPolicy::SwitchAll);
    // The phones attached in modem mode, by their modem's description, as
    // found now.
    QStringList ModemEntries();
    // Switches modem phone Index (of ModemEntries) to P2K mode; it comes
    // back later as a P2K phone. False when it is gone or cannot be opened.
    bool SwitchModem(int Index);
    // Chooses phone Index and runs the connect-and-list sequence on it.
    void ChoosePhone(int Index);
    // The connect-and-list sequence on the chosen phone; with an empty phone
    // choice, the phones attached are found again (as on an arrival).
    void Refresh();
    // Chooses drive Index and lists it (the connect-and-list sequence).
    void ChooseDrive(int Index);
    // Applies a mode; Relist runs the connect-and-list sequence in it.
    void SetMode(TManagerMode Mode, bool Relist);
    // Downloads the selected rows.
    void Download();
    // Uploads the files the host chooses to the chosen phone.
    void Upload();
    // Deletes the selected rows from the phone, then lists it again.
    void Delete();
    // The exclusion list follows the rows' check marks (Photo Manager mode).
    void ApplyCheckMarks();
    // Adds the first selected row's name to the exclusion list and checks it.
    void NeverDownloadSelected();
    // Ends the running command at its next pause (the program is closing).
    void Interrupt();
    // The user's stop: the running download or upload ends after its
    // current block. The file in transfer is dropped (a download's partial
    // copy, an upload's partial file on the phone), nothing more is deleted
    // from the phone, the rest is left alone and the end steps run as after
    // any transfer. Nothing when no transfer runs.
    void Stop();

    // --- Single files by name (the phone's folder, scripts) -------------------
    // Each is one command: Busy while another runs. The phone is the chosen
    // one, open as the last listing left it; nothing reopens it.
    //
    // Lists drive Index of the chosen phone again in the current mode, into
    // the file list; true when the listing is whole.
    bool ListDrive(int Index);
    // Downloads phone file Name, listed at Size bytes, whole into the local
    // file Local (replacing it) in the largest blocks every link carries, by
    // the download's own rule: nothing stands under Local unless all of it
    // arrived.
    TFileOutcome FetchFile(const std::string& Name, int32_t Size, const QString& Local);
    // Uploads the local file Local into the phone folder Folder (phone
    // bytes, ending in "/") under its own name, replacing a phone file of
    // Replaces bytes when there is one. Refused before anything is sent when
    // the name does not fit the phone's code page or the file does not fit
    // in the free space; an upload that fails leaves no part of the file
    // on the phone.
    TFileOutcome PutFile(const QString& Local, const std::string& Folder, int64_t Replaces = 0);
    // Deletes the phone file Name.
    TFileOutcome DeleteNamed(const std::string& Name);
    // Whether Bytes more fit on the drive of phone folder Folder, replacing
    // Replaces bytes, as far as the last free space read knows; true when
    // the free space of that drive is not known.
    bool RoomFor(const std::string& Folder, int64_t Bytes, int64_t Replaces = 0) const;
    // The free bytes of drive "/a/" as last read, less what uploads stored
    // there since; -1 when unknown (before the first read, after a failed one).
    int64_t FreeSpace() const { return freeSpace_; }
    // Whether Item is still among the phones attached.
    bool Attached(const std::shared_ptr<TMotoP2KModemItem>& Item) const;

    // --- Rules a front end may change; the defaults are the window's --------
    void SetDownloadSettings(const TDownloadSettings& Settings) { downloadSettings_ = Settings; }
    // A listing ends as soon as the counted entries have arrived, instead of
    // asking the phone once per counted file (most of those asks come back
    // empty: each answer carries up to three entries).
    void SetListStopsAtCount(bool Stop) { listStopsAtCount_ = Stop; }
    // How a download tells stale temporary files in its folder.
    TStaleCheck& StaleCheck() { return staleCheck_; }
    // The date a download is made on, which pictures without a date of their
    // own are sorted by (today's unless set, for tests).
    void SetDownloadDate(std::function<QDate()> Today) { today_ = std::move(Today); }

    // --- Dialogs of the front end --------------------------------------------
    // While a modal dialog of the front end is open, device events wait as
    // during a command; they are handled once the last dialog closes.
    void BeginModal();
    void EndModal();

    // --- What the front end shows -------------------------------------------
    bool Busy() const { return guard_.Busy(); }
    // Whether a modal dialog of the front end is open.
    bool ModalOpen() const { return modal_ > 0; }
    // Whether a download or upload runs, which Stop can end.
    bool Transferring() const { return transferring_; }
    // The running transfer's speed and time left (see TTransferRate).
    const TTransferRate& Rate() const { return rate_; }
    TManagerMode Mode() const { return mode_; }
    // The phone choice: one "model [firmware]" entry per P2K phone.
    const QStringList& PhoneEntries() const { return phoneEntries_; }
    int ChosenPhone() const { return chosenPhone_; }
    // The chosen phone's drives (phone bytes) and the chosen one; -1 for none.
    const std::vector<std::string>& Drives() const { return drives_; }
    int ChosenDrive() const { return chosenDrive_; }
    std::string ChosenDriveName() const;
    // The file list, for a view.
    TFileListModel& FileList() { return *fileList_; }
    const TFileRows& Rows() const;
    TExcludeIndex& Exclude() { return exclude_; }
    const TExcludeIndex& Exclude() const { return exclude_; }
    // The pictures downloaded complete before, by phone; the front end loads it.
    TDownloadHistory& History() { return history_; }
    // The chosen phone as the history knows it; empty fields for none.
    TPhoneIdentity ChosenIdentity() const;
    // The P2K phones attached, as the session's component lists them.
    TMotoP2KMode& P2K() { return *p2k_; }
    // The host the session was made with; what listens to the session
    // (previews) reads its options here.
    ISessionHost& Host() { return host_; }

    // The phone behind the phone choice; empty when there is none.
    std::shared_ptr<TMotoP2KModemItem> ChosenItem() const;
    // What the last download and upload did, file by file.
    const TDownloadOutcome& LastDownload() const { return lastDownload_; }
    const TUploadOutcome& LastUpload() const { return lastUpload_; }
    // How the last command of that kind ended (see commandEnded); a command
    // that was never run reads as done with no files.
    const TCommandOutcome& LastOutcome(TCommandKind Kind) const {
        return outcomes_[static_cast<size_t>(Kind)];
    }

  signals:
    // A command is about to make its first exchange with the phone; what
    // else talks to the phone between commands (previews) lets go of it
    // here. Connected directly: it is done when the signal returns.
    void commandStarting();
    // The last modal dialog of the front end closed (and the device events
    // it held back were handled).
    void modalEnded();
    // The session is going: the phones are still there, so whatever holds
    // a phone file open closes it now.
    void closing();
    // A line for the Log.
    void logged(const TSessionMsg& Msg);
    // A command began (true) or ended (false).
    void busyChanged(bool Busy);
    void phonesChanged();
    void drivesChanged();
    // The caption's state: a phone was opened for listing (true) or removed.
    void connectionChanged(bool Connected);
    void freeSpaceRead(double Kilobytes);
    // A folder seen in a File Manager listing, not seen before (phone bytes).
    void uploadFolderFound(const std::string& Folder);
    // A listing: Count files announced, Listed of them added so far.
    void listingStarted(int Count);
    void listingStep(int Listed);
    void listingEnded();
    // A transfer of Files files, the file bar starting at From.
    void transferStarted(TTransferKind Kind, int Files, int From);
    void transferFileStep(int Value);
    void transferBytes(int32_t Done, int32_t Total);
    void transferEnded();
    // A phone file was downloaded whole into Local (a UTF-8 path).
    void fileDownloaded(const std::string& PhoneName, int32_t Size, const QString& Local);
    // A row of the running download met its fate (downloaded, and deleted
    // if so; skipped; failed), as soon as it is known. SoFar is the
    // download's outcome up to it; for the row at which the download ended,
    // its flags say why.
    void downloadRowDone(const TDownloadedRow& Row, const TDownloadOutcome& SoFar);

    // What front ends act on, each beside its Log line.
    // The listing just made (or its drives) has more files than the list shows.
    void listIncomplete();
    // A downloaded picture stays on the phone (phone bytes): its local copy
    // is not known to be on the disk, so it was not deleted.
    void keptOnPhone(const std::string& PhoneName);
    // A phone in modem mode is being switched to P2K mode; it comes back
    // later as a P2K phone. Modem is its modem's description.
    void modemSwitching(const QString& Modem);
    // Count P2K phones are attached (counted at a search or a removal).
    void phonesFound(int Count);
    // A command ended: which, how, and what became of its files. Emitted
    // once the session is no longer busy, before device events held back
    // during it are handled.
    void commandEnded(const TCommandOutcome& Outcome);

  private:
    // Why a single-file command cannot run now (a command running, the
    // phone gone), or nothing when it can.
    std::optional<TFileOutcome> singleFileRefused(
        const std::shared_ptr<TMotoP2KModemItem>& Item) const;
    enum class TDeviceEvent { P2KArrival, P2KRemoval, ATArrival };

    // --- The jobs' context ---------------------------------------------------
    bool Pump() override;
    bool Interrupted() const override { return guard_.Interrupted(); }
    bool StopRequested() const override { return stopRequested_; }
    bool Option(TSessionOption Option) override { return host_.Option(Option); }
    bool AskYesNo(const TSessionMsg& Question) override { return host_.AskYesNo(Question); }
    int FileBar() const override { return fileBar_; }
    void SetFileBar(int Value) override;
    void FileBegins(int64_t ListedBytes) override { rate_.FileBegins(ListedBytes); }
    void FileEnds() override { rate_.FileEnds(); }
    bool TransferBlock(const char* Template, int32_t Done, int32_t Total, bool& Stopped) override;
    bool Excluded(const std::string& Name) const override { return exclude_.Contains(Name); }
    bool DownloadedBefore(const TFileRow& Row) const override;
    void RecordDownloaded(const TFileRow& Row) override;
    void FileDownloaded(const TFileRow& Row, const QString& Local) override {
        emit fileDownloaded(Row.Name, Row.Size, Local);
    }
    void KeptOnPhone(const std::string& Name) override;
    void RowDone(const TDownloadedRow& Row, const TDownloadOutcome& SoFar) override {
        emit downloadRowDone(Row, SoFar);
    }
    void Log(const TSessionMsg& Msg) override { emit logged(Msg); }
    void ReportLocalFailure(const QString& Text) override;
    bool PhoneLost(const std::shared_ptr<TMotoP2KModemItem>& Item) override;
    std::optional<int64_t> KnownFreeSpace() const override {
        return freeSpace_ >= 0 ? std::optional<int64_t>(freeSpace_) : std::nullopt;
    }
    void SpaceUsed(int64_t Bytes) override;
    int32_t ListedSize(const std::string& Name) const override;
    QString FolderPattern() override { return host_.FolderPattern(); }
    QString SecondFolder() override { return host_.SecondFolder(); }
    std::string PhoneModel() const override { return ChosenIdentity().Model; }
    QDate DownloadDate() const override { return today_ ? today_() : QDate::currentDate(); }
    ILocalFiles& LocalFiles() override;

    void createLinks();
    // Runs Body as a command of that kind, unless one runs already; its
    // outcome is told when it ends.
    void runCommand(TCommandKind Kind, const std::function<void()>& Body);
    // The phones found, in the Log and to the front end.
    void phonesCounted(int Count);
    // The listing misses files, in the Log and to the front end.
    void listingIncomplete();
    bool deferring() const { return guard_.Busy() || modal_ > 0; }
    void deferDeviceEvent(TDeviceEvent Event);
    void runDeferredDeviceEvents();
    void p2kArrival();
    void p2kRemoval();
    void atArrival();
    // No phone chosen any more: the phone choice, drives and rows emptied.
    void forgetPhones();
    // The running command found its phone gone: it ends as lost, with one
    // Log line counting its files done and not tried, and the phone is forgotten.
    void endPhoneLost();

    // The connection flow.
    void switchP2K();
    // Opens modem Item and tells it to switch; false when it cannot be opened.
    bool switchModem(TMotoATModemItem& Item);
    void getDevises();
    void closeAllDevices();
    void connectAndList(const std::optional<std::string>& KeepDrive);
    // The listing.
    void getDrives(const std::optional<std::string>& KeepDrive);
    // True when the listing is whole.
    bool getPics();
    // Reads the free space of drive "/a/" into freeSpace_; false when the phone failed.
    bool readFreeSpace(TMotoP2KModemItem& Item);
    bool fileListed(const TP2KFile& File);
    // The commands.
    void downloadSelected();
    void beginTransfer(TTransferKind Kind, int Files, int From, int64_t Bytes);
    void endTransfer();
    // Done of Total bytes of the current file moved: the bytes bar and the rate.
    void reportBytes(int32_t Done, int32_t Total);
    void removeStaleTemporaries(const QString& Folder);
    // The outcome of a single-file command that did not succeed, by its cause.
    TFileResult failureOf(const std::shared_ptr<TMotoP2KModemItem>& Item, bool Stopped);
    // The running single-file command's outcome, once its file failed so.
    void endedBy(const TFileOutcome& Result);
    // Milliseconds of the backend's clock, counted on past its wrap.
    int64_t clockMs();

    TPhoneBackend& backend_;
    ISessionHost& host_;
    std::unique_ptr<TMotoATMode> at_;
    std::unique_ptr<TMotoP2KMode> p2k_;
    QSocketNotifier* deviceNotifier_ = nullptr;
    uint64_t phoneErrors_ = 0;

    TCommandGuard guard_;
    // The running command's phone left (see PhoneLost).
    bool phoneLost_ = false;
    int modal_ = 0;
    std::vector<TDeviceEvent> deferred_;

    TModemPolicy modemPolicy_ = TModemPolicy::SwitchAll;
    TManagerMode mode_ = mmPhotoManager;
    QStringList phoneEntries_;
    int chosenPhone_ = -1;
    std::vector<std::string> drives_;
    int chosenDrive_ = -1;
    TFileListModel* fileList_ = nullptr;
    TExcludeIndex exclude_;
    // The rows of a listing in progress and the mode it lists in.
    TFileRows listing_;
    TManagerMode listingMode_ = mmPhotoManager;
    TPhoneIdentity listingId_;
    int listed_ = 0;
    // Where the file bar of the last transfer stands; an upload goes on from there.
    int fileBar_ = 0;
    // The running transfer, whether the user stopped it, and its rate.
    bool transferring_ = false;
    bool stopRequested_ = false;
    TTransferRate rate_;
    uint32_t lastTick_ = 0;
    int64_t clockMs_ = 0;
    bool clockStarted_ = false;
    TDownloadHistory history_;
    QString historyError_;  // the last failure to write it, logged once
    // Beside phoneEntries_: each P2K phone as the history knows it.
    std::vector<TPhoneIdentity> phoneIds_;
    TStaleCheck staleCheck_;
    // Case-folded phone folders already offered as upload folders.
    std::unordered_set<std::string> uploadFolders_;
    TDownloadSettings downloadSettings_;
    bool listStopsAtCount_ = false;
    std::function<QDate()> today_;
    // The free space of FreeSpaceDrive as last read, less what uploads
    // stored there since; -1 when unknown.
    int64_t freeSpace_ = -1;
    TDownloadOutcome lastDownload_;
    TUploadOutcome lastUpload_;
    // The running command's outcome, and the last one of each kind.
    TCommandOutcome outcome_;
    std::array<TCommandOutcome, CommandKindCount> outcomes_;
};
