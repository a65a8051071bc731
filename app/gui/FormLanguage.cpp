// Language files and the charset that decodes their texts.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "core/settings/Charsets.h"
#include "core/settings/LanguageFolder.h"
#include "core/settings/ProfileReader.h"
#include "gui/PicturePreviews.h"
#include "gui/TForm1.h"

namespace {
const QByteArray LangSection = QByteArrayLiteral("LANG");
}

void TForm1::getLangs() {
    const QStringList names = listLanguageFiles(config_.LangDir);
    languageFiles_->clear();
    languageFiles_->addItems(names);
    languageChoice_->clear();
    languageChoice_->addItems(names);
    languageChoice_->setCurrentIndex(-1);
}

void TForm1::loadLang(const QString& Name) {
    // Only names of the language folder itself: no folders, no way out of it.
    if (Name.isEmpty() || Name.contains(QLatin1Char('/')) || config_.LangDir.isEmpty()) {
        return;
    }
    const QString path = config_.LangDir + QLatin1Char('/') + Name;
    if (!QFileInfo(path).isFile()) {
        return;
    }
    const TProfile profile = TProfile::fromFile(path);
    const QList<QByteArray> keys = profile.keys(LangSection);
    if (!keys.isEmpty()) {
        QStringList lines;
        for (const QByteArray& k : keys) {
            lines.append(QString::fromLatin1(k));
        }
        languageKeys_->setPlainText(lines.join(QLatin1Char('\n')));
        for (const QByteArray& k : keys) {
            const QByteArray value = profile.value(LangSection, k).value_or("***");
            QObject* control = findControl(QString::fromLatin1(k));
            if (!control || !controlText(control, nullptr)) {
                continue;  // a key that names no control with a text
            }
            appliedRaw_.insert(control, value);
            setControlText(control, decodeCharsetText(value, charsetFor(control)));
        }
    }
    fitToolBar();
    placeUploadPath();
    renderStateMsgs();
    previews_->ShowCurrent();
}

void TForm1::languageChosen() {
    loadLang(languageChoice_->currentText());
}

void TForm1::charsetChosen() {
    const int value = charsetValueAt(charsetChoice_->currentIndex());
    if (value < 0) {
        return;
    }
    fontCharset_ = value;
    for (auto it = appliedRaw_.constBegin(); it != appliedRaw_.constEnd(); ++it) {
        setControlText(it.key(), decodeCharsetText(it.value(), charsetFor(it.key())));
    }
    fitToolBar();
    placeUploadPath();
    renderShownMsgs();
    previews_->ShowCurrent();
}

int TForm1::charsetFor(const QObject* Control) const {
    const QVariant fixed = Control->property("fixedCharset");
    return fixed.isValid() ? fixed.toInt() : fontCharset_;
}

bool TForm1::controlText(const QObject* Control, QString* Text) {
    auto put = [Text](const QString& t) {
        if (Text) {
            *Text = t;
        }
        return true;
    };
    if (const auto* l = qobject_cast<const QLabel*>(Control)) {
        return put(l->text());
    }
    if (const auto* a = qobject_cast<const QAction*>(Control)) {
        return put(a->text());  // menu entries
    }
    if (const auto* b = qobject_cast<const QAbstractButton*>(Control)) {
        return put(b->text());
    }
    if (const auto* e = qobject_cast<const QLineEdit*>(Control)) {
        // The download folder is a setting, not a text to translate; so are
        // the fields marked as settings.
        if (e->objectName() == QLatin1String("Edit1") || e->property("setting").toBool()) {
            return false;
        }
        return put(e->text());
    }
    if (const auto* m = qobject_cast<const QPlainTextEdit*>(Control)) {
        return put(m->toPlainText());
    }
    if (const auto* c = qobject_cast<const QComboBox*>(Control)) {
        if (!c->isEditable()) {
            return false;  // a drop-down list shows its entries, not a text
        }
        return put(c->currentText());
    }
    if (const auto* w = qobject_cast<const QWidget*>(Control)) {
        // Pages show their caption on their tab.
        for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
            if (const auto* tabs = qobject_cast<const QTabWidget*>(p)) {
                const int i = tabs->indexOf(const_cast<QWidget*>(w));
                if (i >= 0) {
                    return put(tabs->tabText(i));
                }
                break;
            }
        }
    }
    const QVariant caption = Control->property("caption");
    if (caption.isValid()) {
        return put(caption.toString());  // panels
    }
    return false;
}

void TForm1::setControlText(QObject* Control, const QString& Text) {
    if (auto* l = qobject_cast<QLabel*>(Control)) {
        l->setText(Text);
        if (l->parentWidget() != templatePanel_) {
            l->adjustSize();
        }
    } else if (auto* b = qobject_cast<QAbstractButton*>(Control)) {
        b->setText(Text);
    } else if (auto* a = qobject_cast<QAction*>(Control)) {
        a->setText(Text);
    } else if (auto* e = qobject_cast<QLineEdit*>(Control)) {
        e->setText(Text);
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(Control)) {
        m->setPlainText(Text);
    } else if (auto* c = qobject_cast<QComboBox*>(Control)) {
        c->setEditText(Text);
    } else if (auto* w = qobject_cast<QWidget*>(Control); w && tabs_->indexOf(w) >= 0) {
        tabs_->setTabText(tabs_->indexOf(w), Text);
    } else if (Control->property("caption").isValid()) {
        Control->setProperty("caption", Text);
    }
}

void TForm1::placeUploadPath() {
    // The rows' geometry must be current even while the window is hidden.
    if (auto* l = picturesPage_->layout()) {
        l->activate();
    }
    if (auto* l = toolBar_->layout()) {
        l->activate();
    }
    uploadToLabel_->adjustSize();
    const int left = uploadToLabel_->x() + uploadToLabel_->width() + 5;
    // The tool bar and the upload path row share their left edge.
    const int comboRight = phoneChoice_->x() + phoneChoice_->width();
    uploadFolderBox_->move(left, uploadFolderBox_->y());
    uploadFolderBox_->resize(std::max(comboRight - left, 0), uploadFolderBox_->height());
}
