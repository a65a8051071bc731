#include "core/session/UploadJob.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <system_error>

#include "MotoP2KMode.h"
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
            out.Interrupted = true;
            break;
        }
        if (session_.StopRequested()) {
            out.Stopped = true;
            break;
        }
        session_.Rate().FileBegins(QFileInfo(file).size());
        const std::optional<std::string> phoneName = uploadPhoneName(folder_, file);
        if (!phoneName) {
            // Sent as "?" it would land under a name nobody chose.
            session_.LogMsg("idBadPhoneName", {QFileInfo(file).fileName()});
            out.Failed.append(file);
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
            out.LocalError = e.code().value();
            out.Failed.append(file);
            break;
        }
        if (sent) {
            out.Uploaded.append(file);
        } else if (stopped && !session_.Interrupted()) {
            // The phone closed the file as it stood: it goes again.
            const QString shown = phoneToUnicode(*phoneName);
            session_.LogMsg(item_->DeleteFile(*phoneName) ? "idPartRemoved" : "idPartKept",
                            {shown});
            out.Stopped = true;
            out.Failed.append(file);
            stepBar();
            break;
        } else if (!session_.Interrupted()) {
            session_.LogMsg("idUploadFailed", {file});
            out.Failed.append(file);
        }
        stepBar();
    }
    session_.Rate().FileEnds();
    out.Stopped = out.Stopped || (!out.Interrupted && session_.StopRequested());
    return out;
}
