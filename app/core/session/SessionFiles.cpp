// Single phone files by name: listed again, fetched whole into a local file,
// uploaded from one, deleted. The same jobs and the same one-command rule as
// the commands on the selected rows, for a front end that names its files
// (the phone's folder mounted by the command line).
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>

#include <cerrno>

#include "MotoP2KMode.h"
#include "MotoSysUtils.h"
#include "core/files/PhoneText.h"
#include "core/files/TransferRules.h"
#include "core/session/DownloadJob.h"
#include "core/session/PhoneSession.h"
#include "core/session/UploadJob.h"

namespace {

// The drive part of a phone path: "/a" of "/a/mobile/x.jpg", compared
// without regard to letter case as the phone compares names.
bool onDrive(const std::string& Path, const std::string& Drive) {
    return Path.size() > Drive.size() && Path[Drive.size()] == '/' &&
           UpperCaseText1251(Path.substr(0, Drive.size())) == UpperCaseText1251(Drive);
}

}  // namespace

bool TPhoneSession::Attached(const std::shared_ptr<TMotoP2KModemItem>& Item) const {
    TMotoP2KModemList& phones = p2k_->DeviseList();
    for (int i = 0; i < phones.Count(); ++i) {
        if (phones.Hold(i) == Item) {
            return true;
        }
    }
    return false;
}

TFileResult TPhoneSession::failureOf(const std::shared_ptr<TMotoP2KModemItem>& Item, bool Stopped) {
    // A removal waiting behind the command is news about this phone too.
    host_.ProcessEvents();
    // The phone is asked too, so its removal event need not have come.
    if (!Attached(Item) || PhoneLost(Item)) {
        return TFileResult::PhoneLost;
    }
    return Stopped || Interrupted() ? TFileResult::Stopped : TFileResult::PhoneFailed;
}

void TPhoneSession::endedBy(const TFileOutcome& Result) {
    if (Result.Ok()) {
        return;
    }
    // The command's one file did not make it: how the command ended says
    // why. A phone that left fails no file: it was not done.
    outcome_.Done = 0;
    outcome_.NotTried = 0;
    outcome_.Failed = 1;
    if (Result.Result == TFileResult::PhoneLost) {
        outcome_.End = TCommandEnd::PhoneLost;
        outcome_.Failed = 0;
        outcome_.NotTried = 1;
    } else if (Result.Result == TFileResult::Stopped && outcome_.End == TCommandEnd::Done) {
        outcome_.End = TCommandEnd::Interrupted;
    }
}

bool TPhoneSession::ListDrive(int Index) {
    if (Busy() || Index < 0 || Index >= static_cast<int>(drives_.size())) {
        return false;
    }
    bool whole = false;
    runCommand(TCommandKind::List, [&] {
        if (Index != chosenDrive_) {
            chosenDrive_ = Index;
            emit drivesChanged();
        }
        whole = getPics();
    });
    return whole;
}

std::optional<TFileOutcome> TPhoneSession::singleFileRefused(
    const std::shared_ptr<TMotoP2KModemItem>& Item) const {
    if (Busy()) {
        return TFileOutcome{TFileResult::Busy};
    }
    if (!Item || !Item->IsOpen()) {
        return TFileOutcome{TFileResult::PhoneLost};
    }
    return std::nullopt;
}

TFileOutcome TPhoneSession::FetchFile(const std::string& Name, int32_t Size, const QString& Local) {
    const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
    if (const std::optional<TFileOutcome> no = singleFileRefused(item)) {
        return *no;
    }
    TFileOutcome result{TFileResult::Busy};
    runCommand(TCommandKind::Download, [&] {
        beginTransfer(TTransferKind::Download, 1, 0, std::max(Size, 0));
        TDownloadSettings settings;
        settings.BlockSize = LargestReadBlock;
        TFileRow row;
        row.Name = Name;
        row.Size = Size;
        TDownloadJob job(*this, item, mmFileManager, {row}, settings);
        job.SetTarget(Local);
        const TDownloadOutcome out = job.Run(QString());
        outcome_ = out.Summary(1);
        endTransfer();
        if (!out.Rows.empty() && out.Rows.front().Fate == TDownloadFate::Downloaded) {
            result = {TFileResult::Done};
        } else if (out.End == TCommandEnd::LocalFailure) {
            result = {TFileResult::LocalFailed, out.LocalError};
        } else {
            result = {failureOf(
                item, out.End == TCommandEnd::Stopped || out.End == TCommandEnd::Interrupted)};
        }
        endedBy(result);
    });
    return result;
}

bool TPhoneSession::RoomFor(const std::string& Folder, int64_t Bytes, int64_t Replaces) const {
    return freeSpace_ < 0 || !onDrive(Folder, "/a") || Bytes - Replaces <= freeSpace_;
}

TFileOutcome TPhoneSession::PutFile(const QString& Local, const std::string& Folder,
                                    int64_t Replaces) {
    const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
    if (const std::optional<TFileOutcome> no = singleFileRefused(item)) {
        return *no;
    }
    const std::optional<std::string> phoneName = uploadPhoneName(Folder, Local);
    if (!phoneName || phoneName->size() > MaxPhonePath) {
        return {TFileResult::BadName};
    }
    const QFileInfo info(Local);
    if (!info.isFile()) {
        return {TFileResult::LocalFailed, ENOENT};
    }
    TFileOutcome result{TFileResult::Busy};
    runCommand(TCommandKind::Upload, [&] {
        outcome_.NotTried = 1;
        // The free space as it is now, not as the last listing saw it.
        if (!readFreeSpace(*item)) {
            result = {failureOf(item, false)};
            endedBy(result);
            return;
        }
        // The room, the upload and what becomes of a part the phone took
        // are the upload's own rule, as for the files the window uploads.
        beginTransfer(TTransferKind::Upload, 1, 0, info.size());
        TUploadJob job(*this, item, Folder, {Local});
        job.SetReplaces(Replaces);
        const TUploadOutcome out = job.Run();
        outcome_ = out.Summary(1);
        endTransfer();
        if (out.Uploaded.size() == 1) {
            readFreeSpace(*item);
            result = {TFileResult::Done};
            return;
        }
        if (out.End == TCommandEnd::LocalFailure) {
            result = {TFileResult::LocalFailed, out.LocalError};
        } else if (out.End == TCommandEnd::PhoneLost) {
            result = {TFileResult::PhoneLost};
        } else if (!out.NoRoom.isEmpty()) {
            result = {TFileResult::NoRoom};
        } else if (!out.Refused.isEmpty()) {
            result = {TFileResult::Refused};
        } else if (!out.DriveFull.isEmpty()) {
            result = {TFileResult::DriveFull};
        } else {
            result = {failureOf(
                item, out.End == TCommandEnd::Stopped || out.End == TCommandEnd::Interrupted)};
        }
        endedBy(result);
    });
    return result;
}

TFileOutcome TPhoneSession::DeleteNamed(const std::string& Name) {
    const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
    if (const std::optional<TFileOutcome> no = singleFileRefused(item)) {
        return *no;
    }
    TFileOutcome result{TFileResult::Busy};
    runCommand(TCommandKind::Delete, [&] {
        if (item->DeleteFile(Name)) {
            readFreeSpace(*item);
            result = {TFileResult::Done};
            outcome_.Done = outcome_.Deleted = 1;
        } else {
            result = {failureOf(item, false)};
            endedBy(result);
        }
    });
    return result;
}
