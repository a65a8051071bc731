// Messages formatted from the template labels, and the Log they go to.
#include <QLabel>

#include "core/Charsets.h"
#include "core/LogModel.h"
#include "core/MessageTemplates.h"
#include "core/WindowTitle.h"
#include "gui/TForm1.h"

void TForm1::AddLog(const QString& Text) {
    logModel_->AddText(Text);
    lineAdded(std::nullopt);
}

void TForm1::addMsg(const TSessionMsg& Msg) {
    if (!Msg.Name) {
        AddLog(Msg.Text);
        return;
    }
    TShownMsg shown = shownMsg(Msg.Name, Msg.Args);
    logModel_->AddMsg(Msg.Name, Msg.Args, shown.Raw ? &*shown.Raw : nullptr);
    // Only a language file's template can read differently under another
    // charset; built-in ones need no record.
    lineAdded(shown.Raw ? std::optional(std::move(shown)) : std::nullopt);
}

void TForm1::lineAdded(std::optional<TShownMsg> Shown) {
    lastLineMsg_ = std::move(Shown);
    showProgress(!session_->Busy());
}

QString TForm1::Msg(const char* Name, const QList<TMessageArg>& Args) const {
    return render(shownMsg(Name, Args));
}

TForm1::TShownMsg TForm1::shownMsg(const char* Name, const QList<TMessageArg>& Args) const {
    TShownMsg shown{Name, Args, std::nullopt};
    if (QObject* label = findControl(QString::fromLatin1(Name))) {
        const auto raw = appliedRaw_.constFind(label);
        if (raw != appliedRaw_.constEnd()) {
            shown.Raw = raw.value();
        }
    }
    return shown;
}

QString TForm1::render(const TShownMsg& Shown) const {
    const QString name = QString::fromLatin1(Shown.Name);
    const QString builtIn = builtInTemplate(name);
    QString text = builtIn;
    if (Shown.Raw) {
        const QObject* label = findControl(name);
        text = decodeCharsetText(*Shown.Raw, label ? charsetFor(label) : fontCharset_);
    }
    return formatMessage(text, builtIn, Shown.Args);
}

void TForm1::setPanelMsg(int Panel, const TShownMsg& Shown) {
    (Panel == 0 ? messagePanel_ : freeSpacePanel_)->setText(render(Shown));
    panelMsgs_[Panel] = Shown;
}

void TForm1::setCaptionState(const char* Template) {
    captionMsg_ = shownMsg(Template, {});
    setWindowTitle(QString::fromLatin1(WindowTitle) + QStringLiteral(" [") + render(*captionMsg_) +
                   QStringLiteral("]"));
}

void TForm1::renderShownMsgs() {
    showProgress(true);
    logModel_->RenderAgain();
    for (int panel = 0; panel < 2; ++panel) {
        if (panelMsgs_[panel]) {
            setPanelMsg(panel, *panelMsgs_[panel]);
        }
    }
    if (captionMsg_) {
        setCaptionState(captionMsg_->Name);
    }
}
