// The Options page: the mode, the download settings, the language and the
// charset. Its rows are laid out, so that rows hidden in File Manager mode
// leave no gap.
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "core/settings/Charsets.h"
#include "gui/TForm1.h"

QCheckBox* TForm1::addOptionBox(const char* Name, const char* Caption) {
    auto* box = new QCheckBox(QString::fromLatin1(Caption), optionsPage_);
    registerControl(box, QString::fromLatin1(Name));
    optionBoxes_->addWidget(box);
    return box;
}

void TForm1::buildOptionsPage() {
    optionsPage_ = new QWidget;
    registerControl(optionsPage_, QStringLiteral("idOptions"));
    tabs_->addTab(optionsPage_, QIcon(QStringLiteral(":/tabs/options.png")),
                  QStringLiteral("Options"));
    QWidget* p = optionsPage_;
    auto* v = new QVBoxLayout(p);
    v->setContentsMargins(8, 8, 8, 8);
    v->setSpacing(2);

    modeLabel_ = new QLabel(QStringLiteral("Mode"), p);
    registerControl(modeLabel_, QStringLiteral("idMode"));
    v->addWidget(modeLabel_);
    modeChoice_ = new QComboBox(p);
    registerControl(modeChoice_, QStringLiteral("idModeSelect"));
    modeChoice_->addItems({QStringLiteral("Photo Manager"), QStringLiteral("File Manager")});
    modeChoice_->setCurrentIndex(0);
    modeChoice_->setFixedWidth(145);
    v->addWidget(modeChoice_);
    v->addSpacing(6);

    saveFolderLabel_ = new QLabel(QStringLiteral("Save images in:"), p);
    registerControl(saveFolderLabel_, QStringLiteral("idSaveImages"));
    v->addWidget(saveFolderLabel_);
    auto* folderRow = new QHBoxLayout;
    folderRow->setSpacing(2);
    saveFolderField_ = new QLineEdit(QStringLiteral("c:\\"), p);
    registerControl(saveFolderField_, QStringLiteral("Edit1"));
    saveFolderField_->setReadOnly(true);
    saveFolderField_->setBackgroundRole(QPalette::Button);
    QPalette ep = saveFolderField_->palette();
    ep.setColor(QPalette::Base, ep.color(QPalette::Button));
    saveFolderField_->setPalette(ep);
    saveFolderField_->setFixedWidth(249);
    folderRow->addWidget(saveFolderField_);
    browseButton_ = new QPushButton(QStringLiteral("..."), p);
    registerControl(browseButton_, QStringLiteral("idBrowse"));
    browseButton_->setFixedSize(24, 21);
    folderRow->addWidget(browseButton_);
    folderRow->addStretch(1);
    v->addLayout(folderRow);
    v->addSpacing(6);

    // The settings' check boxes, one under the other.
    optionBoxes_ = new QVBoxLayout;
    optionBoxes_->setSpacing(3);
    v->addLayout(optionBoxes_);
    downloadAllBox_ = addOptionBox("idDownloadAll", "Download all photos on connect");
    overwriteBox_ = addOptionBox("idOverwrite", "Overwrite exsisting");
    deleteAfterBox_ = addOptionBox("idDeleteAfter", "Delete downloaded photos from phone");
    autostartBox_ = addOptionBox("idLoad", "Load with Windows");
    hideBox_ = addOptionBox("idHide", "Hide on startup");
    previewsBox_ = addOptionBox("idPreviews", "Show picture previews");
    pictureTimeBox_ = addOptionBox("idPictureTime", "Set photo file times to when they were taken");
    skipDownloadedBox_ = addOptionBox("idSkipDownloaded", "Skip photos downloaded before");
    buildImportOptions(optionBoxes_);
    v->addSpacing(8);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(17);
    grid->setVerticalSpacing(2);
    languageLabel_ = new QLabel(QStringLiteral("Language:"), p);
    registerControl(languageLabel_, QStringLiteral("idLanguage"));
    grid->addWidget(languageLabel_, 0, 0);
    languageChoice_ = new QComboBox(p);
    registerControl(languageChoice_, QStringLiteral("idLanguageSel"));
    languageChoice_->setFixedWidth(145);
    grid->addWidget(languageChoice_, 1, 0);
    languageInfo_ = new QPlainTextEdit(QStringLiteral(" "), p);
    registerControl(languageInfo_, QStringLiteral("info"));
    languageInfo_->setReadOnly(true);
    languageInfo_->setFrameShadow(QFrame::Sunken);
    languageInfo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    languageInfo_->setFixedSize(145, 57);
    grid->addWidget(languageInfo_, 2, 0, Qt::AlignTop);

    charsetLabel_ = new QLabel(QStringLiteral("Font Charset:"), p);
    registerControl(charsetLabel_, QStringLiteral("idCharset"));
    grid->addWidget(charsetLabel_, 0, 1);
    charsetChoice_ = new QComboBox(p);
    registerControl(charsetChoice_, QStringLiteral("idCharsetSel"));
    for (const auto& c : CharsetTable) {
        charsetChoice_->addItem(QString::fromLatin1(c.Name));
    }
    charsetChoice_->setCurrentIndex(DefaultCharsetIndex);
    QFont fixed(QStringLiteral("Tahoma"));
    fixed.setPixelSize(11);
    charsetChoice_->setFont(fixed);
    charsetChoice_->setFixedWidth(150);
    grid->addWidget(charsetChoice_, 1, 1);
    grid->setColumnStretch(2, 1);
    v->addLayout(grid);
    v->addStretch(1);

    // Parts of the page that are never shown: the language file's keys, the
    // language files found, and the message templates.
    languageKeys_ = new QPlainTextEdit(QStringLiteral("lang file container"), p);
    registerControl(languageKeys_, QStringLiteral("idLangContainer"));
    languageKeys_->hide();
    languageFiles_ = new QListWidget(p);
    registerControl(languageFiles_, QStringLiteral("idLanguageList"));
    languageFiles_->setProperty("mask", QStringLiteral("*.lang"));
    languageFiles_->hide();
    templatePanel_ = new QFrame(p);
    registerControl(templatePanel_, QStringLiteral("Panel2"));
    templatePanel_->setProperty("caption", QStringLiteral("Panel2"));
    templatePanel_->hide();
}
