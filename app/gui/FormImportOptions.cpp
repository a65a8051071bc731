// The Options page's importer settings: folders by the date a picture was
// taken, what to do when a different picture has a taken name, and a second
// folder every picture is copied into. Photo Manager mode only.
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/files/FolderPattern.h"
#include "core/settings/SettingsStore.h"
#include "gui/TForm1.h"

namespace {

// A field whose text is a setting: a language file does not translate it.
QLineEdit* settingField(QWidget* Parent) {
    auto* field = new QLineEdit(Parent);
    field->setProperty("setting", true);
    return field;
}

}  // namespace

void TForm1::buildImportOptions(QVBoxLayout* Column) {
    QWidget* p = Column->parentWidget();
    auto* dated = new QHBoxLayout;
    dated->setSpacing(4);
    dateFoldersBox_ = new QCheckBox(QStringLiteral("Sort into folders by date taken"), p);
    registerControl(dateFoldersBox_, QStringLiteral("idDateFolders"));
    dated->addWidget(dateFoldersBox_);
    datePatternField_ = settingField(p);
    registerControl(datePatternField_, QStringLiteral("idDatePattern"));
    datePatternField_->setText(QString::fromLatin1(DefaultFolderPattern));
    datePatternField_->setFixedWidth(110);
    dated->addWidget(datePatternField_);
    dated->addStretch(1);
    Column->addLayout(dated);

    auto* sameName = new QHBoxLayout;
    sameName->setSpacing(6);
    sameNameLabel_ = new QLabel(QStringLiteral("When a different picture has the same name:"), p);
    registerControl(sameNameLabel_, QStringLiteral("idSameName"));
    sameName->addWidget(sameNameLabel_);
    sameSkipButton_ = new QRadioButton(QStringLiteral("Skip"), p);
    registerControl(sameSkipButton_, QStringLiteral("idSameSkip"));
    sameName->addWidget(sameSkipButton_);
    keepBothButton_ = new QRadioButton(QStringLiteral("Keep both"), p);
    registerControl(keepBothButton_, QStringLiteral("idSameKeepBoth"));
    sameName->addWidget(keepBothButton_);
    auto* group = new QButtonGroup(p);
    group->addButton(sameSkipButton_);
    group->addButton(keepBothButton_);
    sameSkipButton_->setChecked(true);
    sameName->addStretch(1);
    Column->addLayout(sameName);

    auto* second = new QHBoxLayout;
    second->setSpacing(2);
    alsoCopyBox_ = new QCheckBox(QStringLiteral("Also copy to"), p);
    registerControl(alsoCopyBox_, QStringLiteral("idAlsoCopy"));
    second->addWidget(alsoCopyBox_);
    second->addSpacing(4);
    alsoCopyField_ = settingField(p);
    registerControl(alsoCopyField_, QStringLiteral("idAlsoCopyDir"));
    alsoCopyField_->setReadOnly(true);
    QPalette ep = alsoCopyField_->palette();
    ep.setColor(QPalette::Base, ep.color(QPalette::Button));
    alsoCopyField_->setPalette(ep);
    alsoCopyField_->setFixedWidth(200);
    second->addWidget(alsoCopyField_);
    alsoCopyBrowse_ = new QPushButton(QStringLiteral("..."), p);
    registerControl(alsoCopyBrowse_, QStringLiteral("idAlsoCopyBrowse"));
    alsoCopyBrowse_->setFixedSize(24, 21);
    second->addWidget(alsoCopyBrowse_);
    second->addStretch(1);
    Column->addLayout(second);
}

QList<QWidget*> TForm1::importOptionControls() const {
    return {dateFoldersBox_, datePatternField_, sameNameLabel_, sameSkipButton_,
            keepBothButton_, alsoCopyBox_,      alsoCopyField_, alsoCopyBrowse_};
}

void TForm1::connectImportOptions() {
    connect(alsoCopyBrowse_, &QPushButton::clicked, this, [this] { browseForSecondFolder(); });
    // A pattern that cannot be used says why where it is typed.
    connect(datePatternField_, &QLineEdit::textChanged, this, [this](const QString& Text) {
        const auto problem = folderPatternProblem(Text);
        datePatternField_->setToolTip(problem.value_or(QString()));
        QPalette pal = datePatternField_->palette();
        pal.setColor(QPalette::Text, problem ? QColor(Qt::red) : palette().color(QPalette::Text));
        datePatternField_->setPalette(pal);
    });
}

void TForm1::browseForSecondFolder() {
    const QString chosen = chooseFolderFrom(alsoCopyField_->text());
    if (chosen.isEmpty()) {
        return;
    }
    alsoCopyField_->setText(chosen);
    alsoCopyBox_->setChecked(true);  // a folder chosen is a folder meant
}

void TForm1::restoreImportOptions(const TStoredSettings& Stored) {
    dateFoldersBox_->setChecked(Stored.DateFolders.value_or(false));
    datePatternField_->setText(
        Stored.DatePattern.value_or(QString::fromLatin1(DefaultFolderPattern)));
    (Stored.SameName.value_or(0) == 1 ? keepBothButton_ : sameSkipButton_)->setChecked(true);
    alsoCopyBox_->setChecked(Stored.AlsoCopy.value_or(false));
    alsoCopyField_->setText(Stored.AlsoCopyDir.value_or(QString()));
}

void TForm1::storeImportOptions(TSettingsToWrite& Values) const {
    Values.DateFolders = dateFoldersBox_->isChecked();
    Values.DatePattern = datePatternField_->text();
    Values.SameName = keepBothButton_->isChecked() ? 1 : 0;
    Values.AlsoCopy = alsoCopyBox_->isChecked();
    Values.AlsoCopyDir = alsoCopyField_->text();
}

QString TForm1::FolderPattern() {
    return dateFoldersBox_->isChecked() ? datePatternField_->text() : QString();
}

QString TForm1::SecondFolder() {
    return alsoCopyBox_->isChecked() ? alsoCopyField_->text() : QString();
}
