#include "core/session/UploadJob.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <system_error>

#include "MotoP2KMode.h"
#include "MotoSysUtils.h"
#include "core/files/PhoneText.h"
#include "core/files/TransferRules.h"
#include "core/session/CommandContext.h"

TCommandOutcome TUploadOutcome::Summary(int Total) const {
    TCommandOutcome out;
    out.Command = TCommandKind::Upload;
    out.End = End;
    out.Reason = Reason;
    out.Done = static_cast<int>(Uploaded.size());
    out.Failed = static_cast<int>(Failed.size());
    out.NotTried = std::max(Total - out.Done - out.Failed, 0);
    return out;
}

TUploadJob::TUploadJob(ICommandContext& Context, std::shared_ptr<TMotoP2KModemItem> Item,
                       std::string Folder, QStringList Files)
    : context_(Context),
      item_(std::move(Item)),
      folder_(std::move(Folder)),
      files_(std::move(Files)) {}

TUploadOutcome TUploadJob::Run() {
    TUploadOutcome out;
    const int count = static_cast<int>(files_.size());
    auto stepBar = [&] {
        context_.SetFileBar(std::min(std::max(context_.FileBar(), 0) + 1, count));
    };
    for (const QString& file : files_) {
        if (!context_.Pump()) {
            out.End = context_.PhoneLost(item_) ? TCommandEnd::PhoneLost : TCommandEnd::Interrupted;
            break;
        }
        if (context_.StopRequested()) {
            out.End = TCommandEnd::Stopped;
            break;
        }
        const int64_t size = QFileInfo(file).size();
        context_.FileBegins(size);
        const std::optional<std::string> phoneName = uploadPhoneName(folder_, file);
        if (!phoneName) {
            // Sent as "?" it would land under a name nobody chose.
            context_.LogMsg("idBadPhoneName", {QFileInfo(file).fileName()});
            out.Failed.append(file);
            stepBar();
            continue;
        }
        if (int64_t free = 0; !fits(*phoneName, size, free)) {
            context_.LogMsg("idUploadNoRoom", {file, static_cast<double>(size) / 1024.0,
                                               static_cast<double>(free) / 1024.0});
            out.Failed.append(file);
            out.NoRoom.append(file);
            stepBar();
            continue;
        }
        bool sent = false;
        bool stopped = false;  // this file ends because the user stopped it
        try {
            sent = item_->UploadFile(
                QFile::encodeName(file).toStdString(), *phoneName, UploadBlockSize,
                [this, &stopped](int32_t Done, int32_t Total) {
                    return context_.TransferBlock("idUploading", Done, Total, stopped);
                });
        } catch (const std::system_error& e) {
            const QString text = QString::fromUtf8(e.what());
            context_.ReportLocalFailure(text);
            out.End = TCommandEnd::LocalFailure;
            out.Reason = text;
            out.LocalError = e.code().value();
            out.Failed.append(file);
            break;
        }
        // A phone that left fails no file: this one was not done, like the rest.
        if (!sent && context_.PhoneLost(item_)) {
            out.End = TCommandEnd::PhoneLost;
            break;
        }
        // At the last block the file is whole although the user said stop:
        // it is checked as any other.
        if (!sent && stopped && !context_.Interrupted()) {
            // The phone closed the file as it stood: it goes again.
            const QString shown = phoneToUnicode(*phoneName);
            context_.LogMsg(item_->DeleteFile(*phoneName) ? "idPartRemoved" : "idPartKept",
                            {shown});
            out.End = TCommandEnd::Stopped;
            out.Failed.append(file);
            stepBar();
            break;
        }
        if (context_.Interrupted() && !sent) {
            // The phones changed: the next pause ends the command, and what
            // the phone took of this file goes.
            if (item_->LastUploadOpened()) {
                context_.LogMsg(item_->DeleteFile(*phoneName) ? "idPartRemoved" : "idPartKept",
                                {phoneToUnicode(*phoneName)});
            }
            stepBar();
            continue;
        }
        switch (check(*phoneName, size, sent)) {
            case TStored::Whole:
                out.Uploaded.append(file);
                break;
            case TStored::NotStored:
                context_.LogMsg("idUploadNotStored", {file});
                out.Failed.append(file);
                out.NotStored.append(file);
                if (item_->LastUploadRefused()) {
                    (item_->LastUploadOpened() ? out.DriveFull : out.Refused).append(file);
                }
                break;
            case TStored::Unknown:
                context_.LogMsg("idUploadFailed", {file});
                out.Failed.append(file);
                break;
            case TStored::Lost:
                out.End = TCommandEnd::PhoneLost;
                break;
        }
        if (out.End == TCommandEnd::PhoneLost) {
            break;
        }
        stepBar();
    }
    context_.FileEnds();
    if (out.End == TCommandEnd::Done && context_.StopRequested()) {
        out.End = TCommandEnd::Stopped;
    }
    return out;
}

bool TUploadJob::fits(const std::string& PhoneName, int64_t Size, int64_t& Free) const {
    // The free space a listing read is that of one drive only.
    const std::string drive = FreeSpaceDrive;
    const std::optional<int64_t> known = context_.KnownFreeSpace();
    if (!known ||
        UpperCaseText1251(PhoneName.substr(0, drive.size())) != UpperCaseText1251(drive)) {
        return true;
    }
    // A file of that name is replaced, and its room is the new one's.
    const int64_t replaced =
        std::max<int64_t>(replaces_ ? *replaces_ : context_.ListedSize(PhoneName), 0);
    Free = *known;
    return Size <= *known + replaced;
}

TUploadJob::TStored TUploadJob::check(const std::string& PhoneName, int64_t Size, bool Sent) {
    int32_t listed = 0;
    const TFileLookup found = Sent ? item_->LookUpFile(PhoneName, listed) : TFileLookup::Listed;
    if (found == TFileLookup::Failed && context_.PhoneLost(item_)) {
        return TStored::Lost;
    }
    if (Sent && found == TFileLookup::Listed && listed == Size) {
        context_.SpaceUsed(Size);
        return TStored::Whole;
    }
    // Only a file this upload opened is its own to delete: a refused open
    // leaves whatever stood under that name as it was. One not found is not
    // there to delete; one the search failed on is deleted all the same, as
    // its upload counts as failed.
    if (item_->LastUploadOpened() && found != TFileLookup::Missing &&
        !item_->DeleteFile(PhoneName) && context_.PhoneLost(item_)) {
        return TStored::Lost;
    }
    return found == TFileLookup::Failed ? TStored::Unknown : TStored::NotStored;
}
