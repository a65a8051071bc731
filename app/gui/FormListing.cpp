// The chosen phone's drives and files in the list, the selection summary
// and the exclusion list kept by the check marks.
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTreeView>

#include "MotoP2KMode.h"
#include "MotoSysUtils.h"
#include "core/FileListModel.h"
#include "core/ListRules.h"
#include "core/PhoneText.h"
#include "gui/TForm1.h"

const TFileRows& TForm1::fileRows() const {
    return fileList_->Rows();
}

std::string TForm1::selectedDrive() const {
    const int i = idDriveSelect->currentIndex();
    return i < 0 ? std::string() : idDriveSelect->itemData(i).toByteArray().toStdString();
}

std::string TForm1::selectedUploadFolder() const {
    // Only an entry picked from the list counts, not text typed over it.
    const int i = idUploadPath->currentIndex();
    if (i < 0 || idUploadPath->currentText() != idUploadPath->itemText(i)) {
        return {};
    }
    return idUploadPath->itemData(i).toByteArray().toStdString();
}

void TForm1::addUploadFolder(const std::string& Folder) {
    if (!uploadFolders_.insert(UpperCaseText1251(Folder)).second) {
        return;
    }
    // Adding to an empty box would select the new entry; the box keeps
    // showing what it showed, with no entry selected.
    const bool noneSelected = idUploadPath->currentIndex() < 0;
    const QString shown = idUploadPath->currentText();
    idUploadPath->addItem(phoneToUnicode(Folder), QByteArray::fromStdString(Folder));
    if (noneSelected) {
        idUploadPath->setCurrentIndex(-1);
        idUploadPath->setEditText(shown);
    }
}

void TForm1::getDrives(int Index, const std::optional<std::string>& KeepDrive) {
    const std::shared_ptr<TMotoP2KModemItem> item = MotoP2KMode1->DeviseList().Hold(Index);
    if (!item || (!item->IsOpen() && !item->OpenPhone())) {
        return;  // the drive choice keeps its entries
    }
    const uint64_t errors = phoneErrors_;
    const std::vector<std::string> drives = driveEntries(item->GetDrives());
    if (phoneErrors_ != errors) {
        AddMsg("idListIncomplete");  // without its drives the phone lists nothing
    }
    idDriveSelect->clear();
    int keep = -1;
    for (size_t i = 0; i < drives.size(); ++i) {
        idDriveSelect->addItem(phoneToUnicode(drives[i]), QByteArray::fromStdString(drives[i]));
        if (keep < 0 && KeepDrive && drives[i] == *KeepDrive) {
            keep = static_cast<int>(i);
        }
    }
    idDriveSelect->setCurrentIndex(drives.empty() ? -1 : std::max(keep, 0));
}

void TForm1::GetPics(int Index) {
    const std::shared_ptr<TMotoP2KModemItem> item = MotoP2KMode1->DeviseList().Hold(Index);
    if (!item || (!item->IsOpen() && !item->OpenPhone())) {
        return;  // caption, free space and list stay as they were
    }
    setCaptionState("idConnected");
    const uint64_t errors = phoneErrors_;
    const double freeKb = item->GetFreeSpace(FreeSpaceDrive) / 1024.0;
    setPanelMsg(1, shownMsg("idFreeSpace", {freeKb}));

    ListView1->setUpdatesEnabled(false);
    ListView1->setEnabled(false);
    fileList_->SetRows({});

    listing_ = TFileRows();
    listingMode_ = ManagerMode;
    const int32_t count = item->GetFileCount(searchText(selectedDrive(), listingMode_));
    ProgressBar1->setRange(0, std::max(count, 1));  // 0..0 would be a busy indicator
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    int32_t listed = 0;
    if (pumpMessages()) {
        item->GetFileList(count, nullptr, [this, &listed](const TP2KFile& File) {
            ++listed;
            return FileListCallback(File);
        });
    }
    ProgressBar1->setValue(0);
    ProgressBar1->hide();

    // The rows go into the list in one pass, in caption order.
    listing_.Finish(listingMode_ == mmFileManager);
    fileList_->SetRows(std::move(listing_));
    listing_ = TFileRows();
    ListView1->setUpdatesEnabled(true);
    ListView1->setEnabled(true);
    // A phone that failed a command or gave fewer entries than it counted
    // has more files than the list shows.
    if (!interrupted() && (phoneErrors_ != errors || listed < count)) {
        AddMsg("idListIncomplete");
    }
    AddMsg("idFilesCount", {qint64{fileList_->Rows().Count()}});
}

bool TForm1::FileListCallback(const TP2KFile& File) {
    if (!pumpMessages()) {
        return false;  // the phones changed: the listing ends here
    }
    if (listingMode_ == mmPhotoManager) {
        listing_.Append(File.Name, File.Size, idExclude.Contains(File.Name));
    } else {
        listing_.Append(File.Name, File.Size, false);
        addUploadFolder(ExtractP2KFileDir(File.Name));
    }
    ProgressBar1->setValue(ProgressBar1->value() + 1);
    return true;
}

void TForm1::idDriveSelectClick(QObject* /*Sender*/) {
    // The whole connect-and-list sequence, keeping the drive the user chose.
    const std::string chosen = selectedDrive();
    runCommand([&] { connectAndList(chosen); });
}

void TForm1::ListView1SelectItem(QObject* /*Sender*/) {
    showProgress(true);  // the summary comes after every line logged so far
    const TFileRows& rows = fileList_->Rows();
    setPanelMsg(0,
                shownMsg("idSelectedFiles", {qint64{rows.SelectedCount()}, qint64{rows.Count()},
                                             static_cast<double>(rows.SelectedBytes()) / 1024.0}));
}

void TForm1::ListView1Click(QObject* /*Sender*/) {
    if (ManagerMode == mmFileManager) {
        return;
    }
    // A checked row means never download that file.
    const TFileRows& rows = fileList_->Rows();
    for (int i = 0; i < rows.Count(); ++i) {
        const TFileRow& r = rows.At(i);
        if (r.Checked) {
            idExclude.AddUnique(r.Name);
        } else {
            idExclude.RemoveFirst(r.Name);
        }
    }
}

void TForm1::Neverdownloadthisfile1Click(QObject* /*Sender*/) {
    const TFileRows& rows = fileList_->Rows();
    for (int i = 0; i < rows.Count(); ++i) {
        if (!rows.At(i).Selected) {
            continue;
        }
        idExclude.Append(rows.At(i).Name);
        // Its check mark follows, or the next click in the list would take
        // the name out again.
        if (fileList_->Checkable()) {
            fileList_->setData(fileList_->index(i, TFileListModel::ColCaption), Qt::Checked,
                               Qt::CheckStateRole);
        }
        return;
    }
}
