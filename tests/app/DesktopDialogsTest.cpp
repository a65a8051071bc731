// The desktop's own dialogs as the program shows them, driven as a user
// drives them: the upload's file dialog, the message boxes, and Qt's texts
// in the desktop's language.
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>

#include "PhoneWindow.h"
#include "core/settings/QtTranslations.h"
#include "support/Controls.h"
#include "support/VirtualRig.h"

namespace {

const std::string Pic = "/a/mobile/picture/";

// Lets the application run until Done holds or Ms passed; whether it holds.
bool runUntil(const std::function<bool()>& Done, int Ms) {
    QElapsedTimer t;
    t.start();
    while (!Done() && t.elapsed() < Ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return Done();
}

// Runs Act on the next modal dialog, once it is open. The dialog must end
// by what Act does: any other modal window that comes up over it meanwhile
// (a "file not found" box, say) fails the test and is closed, and so is the
// dialog if it is still open once the wait for it ends. Either would
// otherwise wait for an answer that no test gives.
void whenModal(const std::function<void(QWidget*)>& Act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, Act] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        // What a user types goes to the active window: the dialog is acted
        // on once it is, as the window system made it so.
        if (!QTest::qWaitForWindowActive(dialog, 60000)) {
            ADD_FAILURE() << "the dialog did not become the active window";
        }
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [dialog] {
            QWidget* top = QApplication::activeModalWidget();
            if (auto* other = qobject_cast<QDialog*>(top); other && top != dialog) {
                const auto* box = qobject_cast<QMessageBox*>(other);
                ADD_FAILURE() << "a dialog came up over the one under test: "
                              << (box ? box->text() : other->windowTitle()).toStdString();
                other->reject();
            }
        });
        guard.start(20);
        const QPointer<QWidget> open = dialog;
        Act(dialog);
        if (!runUntil([&] { return !open || !open->isVisible(); }, 60000)) {
            ADD_FAILURE() << "the dialog stayed open";
            if (auto* d = qobject_cast<QDialog*>(open.data())) {
                d->reject();
            }
        }
    });
    poll->start(20);
}

// The names a file dialog's list shows now.
QStringList shownNames(const QListView* View) {
    QStringList out;
    const QModelIndex folder = View->rootIndex();
    for (int r = 0; r < View->model()->rowCount(folder); ++r) {
        out.append(View->model()->index(r, 0, folder).data().toString());
    }
    return out;
}

// Any popup (a completion list, a menu) still on screen.
bool popupOnScreen() {
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowType() == Qt::Popup) {
            return true;
        }
    }
    return false;
}

}  // namespace

class DialogsWindowTest : public PhoneWindowTest {
  protected:
    void SetUp() override {
        PhoneWindowTest::SetUp();
        const TFormConfig desktop = defaultFormConfig();
        config.Dialogs = desktop.Dialogs;
    }
};

// The filter reads "*.*" and offers every file, a name without a dot too;
// the name's completion list goes with the dialog, even when its folder
// finishes loading later.
TEST_F(DialogsWindowTest, UploadDialogOffersEveryFileAndTakesItsPopupAlong) {
    writeFile(root + "/up/notes_noext", "plain");
    writeFile(root + "/up/photo.jpg", "jpeg");
    writeFile(root + "/later/notes.txt", "x");
    auto phone = plugBefore("one", phoneState("A", "0A"));
    TForm1& f = open();

    QString filter;
    QStringList shown;
    whenModal([&](QWidget* Dialog) {
        auto* dialog = qobject_cast<QFileDialog*>(Dialog);
        ASSERT_NE(dialog, nullptr);
        filter = dialog->findChild<QComboBox*>("fileTypeCombo")->currentText();
        dialog->setDirectory(root + "/up");
        auto* view = dialog->findChild<QListView*>("listView");
        waitFor([&] { return shownNames(view).size() == 2; }, 60000);
        shown = shownNames(view);
        const int row = int(shown.indexOf("notes_noext"));
        if (row < 0) {
            ADD_FAILURE() << "shown: " << shown.join(", ").toStdString() << " in "
                          << dialog->directory().path().toStdString();
            dialog->reject();
            return;
        }
        QTest::mouseClick(
            view->viewport(), Qt::LeftButton, {},
            view->visualRect(view->model()->index(row, 0, view->rootIndex())).center());
        QTest::mouseClick(
            dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open),
            Qt::LeftButton);
    });
    QTest::mouseClick(test::control<QToolButton>(f, "idUpload"), Qt::LeftButton);
    EXPECT_EQ(filter, "*.*");
    EXPECT_EQ(shown.size(), 2) << shown.join(", ").toStdString();
    EXPECT_EQ(phone->State().Files[Pic + "notes_noext"].Data,
              (std::vector<uint8_t>{'p', 'l', 'a', 'i', 'n'}));

    // A whole path typed in another folder, while its completion list
    // shows, and taken with Return. The name box still holds the name
    // chosen before: it is selected first, so that typing replaces it. It
    // has the focus first, as a user's typing has: without it, the dialog
    // keeps every folder the path passed through selected in its list, and
    // Return opens the first of them instead of taking the file.
    QFileSystemModel* files = nullptr;
    whenModal([&](QWidget* Dialog) {
        files = Dialog->findChild<QFileSystemModel*>();
        auto* name = Dialog->findChild<QLineEdit*>("fileNameEdit");
        name->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(waitFor([&] { return name->hasFocus(); }, 60000));
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, root + "/later/notes.txt");
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(test::control<QToolButton>(f, "idUpload"), Qt::LeftButton);
    EXPECT_TRUE(phone->State().Files.contains(Pic + "notes.txt"));
    // Once the dialog's model has read the typed folder (asked to, if it
    // has not yet), whatever it does about the closed dialog's completion
    // list has been done.
    ASSERT_NE(files, nullptr);
    const QModelIndex later = files->index(root + "/later");
    if (files->canFetchMore(later)) {
        files->fetchMore(later);
    }
    EXPECT_TRUE(waitFor([&] { return files->rowCount(later) == 1; }, 60000));
    QCoreApplication::processEvents();
    EXPECT_FALSE(popupOnScreen());
}

// Qt's own texts follow the desktop's language.
TEST_F(DialogsWindowTest, QtButtonsInTheDesktopLanguage) {
    QTranslator* russian = installQtTranslations(testApp(), QLocale(QLocale::Russian));
    ASSERT_NE(russian, nullptr) << "qt6-translations-l10n is not installed";
    writeFile(config.SettingsPath, "[General]\nmode=1\n");
    plugBefore("one", phoneState("A", "0A", {{"/a/x.txt", test::FileBytes(10)}}));
    writeFile(root + "/target/x.txt", "old");
    chooserAnswer = root + "/target";
    config.Dialogs.ChooseFolder = [this](QWidget*, const QString&, const QString&) {
        return chooserAnswer;
    };
    TForm1& f = open();

    QStringList buttons;
    whenModal([&](QWidget* Dialog) {
        auto* box = qobject_cast<QMessageBox*>(Dialog);
        ASSERT_NE(box, nullptr);
        buttons = {box->button(QMessageBox::Yes)->text(), box->button(QMessageBox::No)->text()};
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
    });
    clickRow(0);
    QTest::mouseClick(test::control<QToolButton>(f, "idDownload"), Qt::LeftButton);
    delete russian;
    EXPECT_EQ(buttons, (QStringList{QString::fromUtf8("&Да"), QString::fromUtf8("&Нет")}));
    QFile kept(root + "/target/x.txt");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "old");
}

// The end-of-download box, with its short text, leaves its title room
// beside the buttons of a title bar.
TEST_F(DialogsWindowTest, ShortMessageBoxIsWideEnoughForItsTitle) {
    writeFile(config.SettingsPath, "[General]\ndownload=1\n");
    plugBefore("one", phoneState("A", "0A", {{Pic + "a.jpg", test::FileBytes(10)}}));
    QString text;
    int width = 0, titleWidth = 0;
    whenModal([&](QWidget* Dialog) {
        auto* box = qobject_cast<QMessageBox*>(Dialog);
        ASSERT_NE(box, nullptr);
        text = box->text();
        width = box->width();
        titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    open();
    EXPECT_EQ(text, "idDlComplete");
    EXPECT_GE(width, titleWidth + 150) << width << " " << titleWidth;
}
