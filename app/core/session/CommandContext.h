#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <cstdint>
#include <string>

#include "core/files/FileRows.h"
#include "core/session/SessionHost.h"
#include "core/session/SessionMsg.h"

class ILocalFiles;

// What a job (a download, an upload) may do while a command of the phone
// session runs it: let events run, see a stop, move the bars and the rate,
// record what it fetched, log, report a local failure, and read the host's
// options and answers. The session gives it to the jobs it runs; a test may
// give a job a context of its own.
class ICommandContext {
  public:
    virtual ~ICommandContext() = default;

    // --- Pauses ----------------------------------------------------------------
    // Lets the host handle pending events; false when the command must end
    // because the phones changed meanwhile. Anything may run re-entrantly.
    virtual bool Pump() = 0;
    // Whether the phones changed since the command began.
    virtual bool Interrupted() const = 0;
    // Whether the user stopped the running transfer.
    virtual bool StopRequested() const = 0;

    // --- The host --------------------------------------------------------------
    virtual bool Option(TSessionOption Option) = 0;
    // A question with the answers Yes (true) and No.
    virtual bool AskYesNo(const TSessionMsg& Question) = 0;

    // --- Progress --------------------------------------------------------------
    // Where the file bar stands, and moving it to Value.
    virtual int FileBar() const = 0;
    virtual void SetFileBar(int Value) = 0;
    // The next file, listed at ListedBytes, begins; the last one ended.
    virtual void FileBegins(int64_t ListedBytes) = 0;
    virtual void FileEnds() = 0;
    // One block of a file done: its bars, its Log line (Template, as
    // "%2.f/%2.f kB") and a pause. False when the transfer must end; Stopped
    // then says whether the user stopped it.
    virtual bool TransferBlock(const char* Template, int32_t Done, int32_t Total,
                               bool& Stopped) = 0;

    // --- What the phone holds and what was fetched -----------------------------
    // Whether Name is on the exclusion list.
    virtual bool Excluded(const std::string& Name) const = 0;
    // Whether Row's picture was downloaded from the chosen phone before.
    virtual bool DownloadedBefore(const TFileRow& Row) const = 0;
    // A complete picture download of Row: remembered in the history, and its
    // row marked as downloaded before.
    virtual void RecordDownloaded(const TFileRow& Row) = 0;
    // Row was downloaded whole into Local (a UTF-8 path).
    virtual void FileDownloaded(const TFileRow& Row, const QString& Local) = 0;
    // A downloaded picture stays on the phone: its local copy is not known
    // to be on the disk. Logged, and told to the front end.
    virtual void KeptOnPhone(const std::string& Name) = 0;

    // --- Messages --------------------------------------------------------------
    virtual void Log(const TSessionMsg& Msg) = 0;
    void LogMsg(const char* Name, QList<TMessageArg> Args = {}) {
        Log(TSessionMsg::Template(Name, std::move(Args)));
    }
    // A local file or folder that could not be written: logged and shown.
    virtual void ReportLocalFailure(const QString& Text) = 0;

    // --- Where a download's pictures go ----------------------------------------
    // The host's folder pattern and second folder; empty when not set.
    virtual QString FolderPattern() = 0;
    virtual QString SecondFolder() = 0;
    // The chosen phone's model (phone bytes), which folder names may hold.
    virtual std::string PhoneModel() const = 0;
    // The day of the download, for pictures that carry no date of their own.
    virtual QDate DownloadDate() const = 0;
    // The local file steps a second place is written through.
    virtual ILocalFiles& LocalFiles() = 0;
};
