// The chosen phone's drives and files, and the exclusion list kept by the
// rows' check marks.
#include "MotoP2KMode.h"
#include "MotoSysUtils.h"
#include "core/session/FileListModel.h"
#include "core/session/PhoneSession.h"

void TPhoneSession::getDrives(const std::optional<std::string>& KeepDrive) {
    const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
    if (!item || (!item->IsOpen() && !item->OpenPhone())) {
        return;  // the drive choice keeps its entries
    }
    const uint64_t errors = phoneErrors_;
    drives_ = driveEntries(item->GetDrives());
    if (phoneErrors_ != errors) {
        listingIncomplete();  // without its drives the phone lists nothing
    }
    int keep = -1;
    for (size_t i = 0; i < drives_.size() && KeepDrive; ++i) {
        if (drives_[i] == *KeepDrive) {
            keep = static_cast<int>(i);
            break;
        }
    }
    chosenDrive_ = drives_.empty() ? -1 : std::max(keep, 0);
    emit drivesChanged();
}

bool TPhoneSession::readFreeSpace(TMotoP2KModemItem& Item) {
    const uint64_t errors = phoneErrors_;
    const int32_t free = Item.GetFreeSpace(FreeSpaceDrive);
    freeSpace_ = phoneErrors_ == errors ? free : -1;
    emit freeSpaceRead(free / 1024.0);
    return phoneErrors_ == errors;
}

bool TPhoneSession::getPics() {
    const std::shared_ptr<TMotoP2KModemItem> item = ChosenItem();
    if (!item || (!item->IsOpen() && !item->OpenPhone())) {
        return false;  // caption, free space and list stay as they were
    }
    emit connectionChanged(true);
    const uint64_t errors = phoneErrors_;
    readFreeSpace(*item);

    fileList_->SetRows({});
    listing_ = TFileRows();
    listingMode_ = mode_;
    listingId_ = ChosenIdentity();
    listed_ = 0;
    const int32_t count = item->GetFileCount(searchText(ChosenDriveName(), listingMode_));
    emit listingStarted(count);
    if (Pump()) {
        item->GetFileList(count, nullptr, [this, count](const TP2KFile& File) {
            ++listed_;
            return fileListed(File) && !(listStopsAtCount_ && listed_ >= count);
        });
    }

    // The rows go into the list in one pass, in caption order.
    listing_.Finish(listingMode_ == mmFileManager);
    fileList_->SetRows(std::move(listing_));
    listing_ = TFileRows();
    emit listingEnded();
    // A listing cut short by a change of the phones gives no count: the
    // change is handled next and says what the phones are now.
    if (Interrupted()) {
        return false;
    }
    // A phone that failed a command or gave fewer entries than it counted
    // has more files than the list shows.
    const bool whole = phoneErrors_ == errors && listed_ >= count;
    if (!whole) {
        listingIncomplete();
    }
    LogMsg("idFilesCount", {qint64{fileList_->Rows().Count()}});
    return whole;
}

bool TPhoneSession::fileListed(const TP2KFile& File) {
    if (!Pump()) {
        return false;  // the phones changed: the listing ends here
    }
    if (listingMode_ == mmPhotoManager) {
        listing_.Append(File.Name, File.Size, exclude_.Contains(File.Name));
        if (history_.Contains(listingId_, File.Name, File.Size)) {
            listing_.SetDownloadedBefore(listing_.Count() - 1);
        }
    } else {
        listing_.Append(File.Name, File.Size, false);
        const std::string folder = ExtractP2KFileDir(File.Name);
        if (uploadFolders_.insert(UpperCaseText1251(folder)).second) {
            emit uploadFolderFound(folder);
        }
    }
    emit listingStep(listing_.Count());
    return true;
}

void TPhoneSession::ApplyCheckMarks() {
    if (mode_ == mmFileManager) {
        return;
    }
    // A checked row means never download that file.
    const TFileRows& rows = fileList_->Rows();
    for (int i = 0; i < rows.Count(); ++i) {
        const TFileRow& r = rows.At(i);
        if (r.Checked) {
            exclude_.AddUnique(r.Name);
        } else {
            exclude_.RemoveFirst(r.Name);
        }
    }
}

void TPhoneSession::NeverDownloadSelected() {
    const TFileRows& rows = fileList_->Rows();
    for (int i = 0; i < rows.Count(); ++i) {
        if (!rows.At(i).Selected) {
            continue;
        }
        exclude_.Append(rows.At(i).Name);
        // Its check mark follows, or the next click in the list would take
        // the name out again.
        fileList_->SetChecked(i, true);
        return;
    }
}
