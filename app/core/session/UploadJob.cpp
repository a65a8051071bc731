#include "core/session/UploadJob.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <system_error>

#include "MotoP2KMode.h"
#include "MotoSysUtils.h"
#include "core/files/PhoneText.h"
#include "core/files/TransferRules.h"
#include "core/session/PhoneSession.h"

TUploadJob::TUploadJob(TPhoneSession& Session, std::shared_ptr<TMotoP2KModemItem> Item,
                       std::string Folder, QStringList Files)
    : session_(Session),
      item_(std::move(Item)),
      folder_(std::move(Folder)),
      files_(std::move(Files)) {}

TUploadOutcome TUploadJob::Run() {
    TUploadOutcome out;
    const int count = static_cast<int>(files_.size());
    auto stepBar = [&] {
        session_.SetFileBar(std::min(std::max(session_.FileBar(), 0) + 1, count));
    };
    for (const QString& file : files_) {
        if (!session_.Pump()) {
            (session_.PhoneLost(item_) ? out.PhoneLost : out.Interrupted) = true;
            break;
        }
        if (session_.StopRequested()) {
            out.Stopped = true;
            break;
        }
        const int64_t size = QFileInfo(file).size();
        session_.Rate().FileBegins(size);
        const std::optional<std::string> phoneName = uploadPhoneName(folder_, file);
        if (!phoneName) {
            // Sent as "?" it would land under a name nobody chose.
            session_.LogMsg("idBadPhoneName", {QFileInfo(file).fileName()});
            out.Failed.append(file);
            stepBar();
            continue;
        }
        if (int64_t free = 0; !fits(*phoneName, size, free)) {
            session_.LogMsg("idUploadNoRoom", {file, size / 1024.0, free / 1024.0});
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
                    return session_.TransferBlock("idUploading", Done, Total, stopped);
                });
        } catch (const std::system_error& e) {
            session_.ReportLocalFailure(QString::fromUtf8(e.what()));
            out.LocalFailure = true;
            out.Failed.append(file);
            break;
        }
        // A phone that left fails no file: this one was not done, like the rest.
        if (!sent && session_.PhoneLost(item_)) {
            out.PhoneLost = true;
            break;
        }
        // At the last block the file is whole although the user said stop:
        // it is checked as any other.
        if (!sent && stopped && !session_.Interrupted()) {
            // The phone closed the file as it stood: it goes again.
            const QString shown = phoneToUnicode(*phoneName);
            session_.LogMsg(item_->DeleteFile(*phoneName) ? "idPartRemoved" : "idPartKept",
                            {shown});
            out.Stopped = true;
            out.Failed.append(file);
            stepBar();
            break;
        }
        if (session_.Interrupted() && !sent) {
            stepBar();
            continue;  // the phones changed: the next pause ends the command
        }
        switch (check(*phoneName, size, sent)) {
            case TStored::Whole:
                out.Uploaded.append(file);
                break;
            case TStored::NotStored:
                session_.LogMsg("idUploadNotStored", {file});
                out.Failed.append(file);
                out.NotStored.append(file);
                break;
            case TStored::Unknown:
                session_.LogMsg("idUploadFailed", {file});
                out.Failed.append(file);
                break;
            case TStored::Lost:
                out.PhoneLost = true;
                break;
        }
        if (out.PhoneLost) {
            break;
        }
        stepBar();
    }
    session_.Rate().FileEnds();
    out.Stopped = out.Stopped || (!out.Interrupted && !out.PhoneLost && session_.StopRequested());
    return out;
}

bool TUploadJob::fits(const std::string& PhoneName, int64_t Size, int64_t& Free) const {
    // The free space a listing read is that of one drive only.
    const std::string drive = FreeSpaceDrive;
    const std::optional<int64_t> known = session_.KnownFreeSpace();
    if (!known ||
        UpperCaseText1251(PhoneName.substr(0, drive.size())) != UpperCaseText1251(drive)) {
        return true;
    }
    // A file of that name is replaced, and its room is the new one's.
    int64_t replaced = 0;
    const TFileRows& rows = session_.Rows();
    for (int i = 0; i < rows.Count(); ++i) {
        if (UpperCaseText1251(rows.At(i).Name) == UpperCaseText1251(PhoneName)) {
            replaced = std::max(rows.At(i).Size, 0);
        }
    }
    Free = *known;
    return Size <= *known + replaced;
}

TUploadJob::TStored TUploadJob::check(const std::string& PhoneName, int64_t Size, bool Sent) {
    int32_t listed = 0;
    const TFileLookup found = Sent ? item_->LookUpFile(PhoneName, listed) : TFileLookup::Listed;
    if (found == TFileLookup::Failed) {
        return session_.PhoneLost(item_) ? TStored::Lost : TStored::Unknown;
    }
    if (Sent && found == TFileLookup::Listed && listed == Size) {
        if (const std::optional<int64_t> free = session_.KnownFreeSpace()) {
            session_.SetKnownFreeSpace(std::max<int64_t>(*free - Size, 0));
        }
        return TStored::Whole;
    }
    // Only a file this upload opened is its own to delete: a refused open
    // leaves whatever stood under that name as it was.
    if (item_->LastUploadOpened() && (!Sent || found == TFileLookup::Listed) &&
        !item_->DeleteFile(PhoneName) && session_.PhoneLost(item_)) {
        return TStored::Lost;
    }
    return TStored::NotStored;
}
