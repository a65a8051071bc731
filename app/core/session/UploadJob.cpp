#include "core/session/UploadJob.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <system_error>

#include "MotoP2KMode.h"
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
            out.End = TCommandEnd::Interrupted;
            break;
        }
        if (context_.StopRequested()) {
            out.End = TCommandEnd::Stopped;
            break;
        }
        context_.FileBegins(QFileInfo(file).size());
        const std::optional<std::string> phoneName = uploadPhoneName(folder_, file);
        if (!phoneName) {
            // Sent as "?" it would land under a name nobody chose.
            context_.LogMsg("idBadPhoneName", {QFileInfo(file).fileName()});
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
        if (sent) {
            out.Uploaded.append(file);
        } else if (stopped && !context_.Interrupted()) {
            // The phone closed the file as it stood: it goes again.
            const QString shown = phoneToUnicode(*phoneName);
            context_.LogMsg(item_->DeleteFile(*phoneName) ? "idPartRemoved" : "idPartKept",
                            {shown});
            out.End = TCommandEnd::Stopped;
            out.Failed.append(file);
            stepBar();
            break;
        } else if (!context_.Interrupted()) {
            context_.LogMsg("idUploadFailed", {file});
            out.Failed.append(file);
        }
        stepBar();
    }
    context_.FileEnds();
    if (out.End == TCommandEnd::Done && context_.StopRequested()) {
        out.End = TCommandEnd::Stopped;
    }
    return out;
}
