#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <memory>

#include "gui/FormConfig.h"
#include "gui/TForm1.h"
#include "support/Controls.h"
#include "support/FormFiles.h"
#include "support/TestApp.h"
#include "support/TestFiles.h"
#include "wiring/NullBackend.h"

// One QApplication for the whole program, made on first use.
inline QApplication& testApp() {
    static QApplication& app = []() -> QApplication& {
        QStandardPaths::setTestModeEnabled(true);
        QApplication& a = test::programApp<QApplication>("app_tests");
        QApplication::setOrganizationName(QStringLiteral("Brenwick"));
        QApplication::setApplicationName(QStringLiteral("Snaprill"));
        return a;
    }();
    return app;
}

// The Log's lines, as its page shows them.
inline QStringList logLines(const QObject& Window) {
    const QAbstractItemModel* m = test::control<QAbstractItemView>(Window, "Log")->model();
    QStringList lines;
    for (int row = 0; row < m->rowCount(); ++row) {
        lines.append(m->index(row, 0).data().toString());
    }
    return lines;
}
inline QString logText(const QObject& Window) {
    return logLines(Window).join(QLatin1Char('\n'));
}

// A window whose every file lives in a temporary folder and whose desktop
// calls are recorded instead of made.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testApp();
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path();
        test::PlaceFormFiles(config, root);
        config.OpenUrl = [this](const QUrl& u) {
            opened.append(u);
            return true;
        };
        config.Dialogs.ChooseFolder = [this](QWidget*, const QString& title,
                                             const QString& current) {
            chooserTitle = title;
            chooserCurrent = current;
            if (duringDialog) {
                duringDialog();
            }
            return chooserAnswer;
        };
        config.Dialogs.ChooseFiles = [this](QFileDialog* dialog) {
            fileDialog = dialog;
            if (duringDialog) {
                duringDialog();
            }
            return filesAnswer;
        };
        config.Dialogs.AskYesNo = [this](QWidget*, const QString& text) {
            asked.append(text);
            return yesAnswer;
        };
        config.Dialogs.ShowMessage = [this](QWidget* parent, const QString& text, bool error) {
            messages.append((error ? QStringLiteral("error: ") : QString()) + text);
            if (duringMessage) {
                duringMessage(parent);
            }
        };
        config.Dialogs.ChooseSaveFile = [this](QWidget*, const QString& title,
                                               const QString& current) {
            chooserTitle = title;
            chooserCurrent = current;
            return saveAnswer;
        };
        config.TrayAvailable = [this] { return trayAvailable; };
    }

    void TearDown() override { form.reset(); }

    TForm1& start() {
        form = std::make_unique<TForm1>(backend.Backend, config);
        return *form;
    }
    // Closes the window as the user would, then starts a new one.
    TForm1& restart() {
        form->close();
        form.reset();
        return start();
    }

    void writeFile(const QString& path, const QByteArray& data) {
        ASSERT_TRUE(test::writeLocal(path, data)) << path.toStdString();
    }
    void writeLang(const QString& name, const QByteArray& data) {
        writeFile(config.LangDir + QLatin1Char('/') + name, data);
    }

    QTemporaryDir tmp;
    QString root;
    TFormConfig config;
    TNullBackend backend;
    std::unique_ptr<TForm1> form;
    QList<QUrl> opened;
    QString chooserTitle, chooserCurrent, chooserAnswer;
    // Runs while a folder or file dialog is open, as if the user waited there.
    std::function<void()> duringDialog;
    // Runs while a message box is open, given the window it belongs to.
    std::function<void(QWidget*)> duringMessage;
    QString saveAnswer;                 // the file a save dialog returns
    QStringList filesAnswer;            // the files an open dialog returns
    QFileDialog* fileDialog = nullptr;  // the open dialog last shown
    bool yesAnswer = false;             // the answer to every Yes/No question
    QStringList asked;                  // the questions asked
    QStringList messages;               // the message boxes shown; "error: " marks failures
    bool trayAvailable = true;
};
