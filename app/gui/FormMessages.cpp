// Messages formatted from the template labels, and the Log they go to.
#include <QCheckBox>
#include <QLabel>

#include "core/program/WindowTitle.h"
#include "core/settings/Charsets.h"
#include "core/settings/LogModel.h"
#include "core/settings/MessageTemplates.h"
#include "gui/ElidedLabel.h"
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
    // Status panel 0 shows the line and follows a language change, whatever
    // its template.
    lineAdded(std::move(shown));
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
    if (Panel == 0) {
        showInMessagePanel(render(Shown));
    } else {
        (Panel == 1 ? freeSpacePanel_ : ratePanel_)->setText(render(Shown));
    }
    panelMsgs_[Panel] = Shown;
}

void TForm1::showInMessagePanel(const QString& Text) {
    // The panel is narrow: its tooltip holds the whole text, never as markup.
    messagePanel_->setText(Text);
    messagePanel_->setToolTip(
        Text.isEmpty() ? QString() : Qt::convertFromPlainText(Text, Qt::WhiteSpaceNormal));
}

void TForm1::setCaptionState(const char* Template) {
    captionMsg_ = shownMsg(Template, {});
    setWindowTitle(QString::fromLatin1(WindowTitle) + QStringLiteral(" [") + render(*captionMsg_) +
                   QStringLiteral("]"));
}

void TForm1::renderShownMsgs() {
    showProgress(true);
    logModel_->RenderAgain();
    renderStateMsgs();
}

void TForm1::renderStateMsgs() {
    showProgress(true);  // a pending line would show its old text later
    // Formatted again from the templates applied now: after a language
    // change they are the new file's.
    for (int panel = 0; panel < 3; ++panel) {
        if (panelMsgs_[panel]) {
            const TShownMsg now = shownMsg(panelMsgs_[panel]->Name, panelMsgs_[panel]->Args);
            setPanelMsg(panel, now);
        }
    }
    if (captionMsg_) {
        setCaptionState(captionMsg_->Name);
    }
    renderTips();
}

void TForm1::renderTips() {
    auto tip = [this](QWidget* Control, const char* Name) {
        Control->setToolTip(Qt::convertFromPlainText(Msg(Name), Qt::WhiteSpaceNormal));
    };
    tip(freeSpacePanel_, "idFreeSpaceTip");
    tip(fastTransfersBox_, "idFastTransfersTip");
}
