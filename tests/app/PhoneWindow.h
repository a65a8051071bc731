#pragma once

// The real window on virtual phones, driven through its widgets.

#include <QAbstractItemModel>
#include <QComboBox>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "AppFixture.h"
#include "MotoP2KMode.h"
#include "linux/TermiosSerialPort.h"
#include "sim/VirtualPhoneText.h"
#include "support/Controls.h"
#include "support/PhoneRig.h"

// Virtual modems are real pseudo-terminals. Downloads are written as
// always, but not flushed: the window's tests cut no power, and flushes on
// a real disk would cost most of their time.
class PhoneWindowTest : public WindowTest, protected test::TPhoneRig<TTermiosSerialPorts> {
  protected:
    // The window without phones keeps its name; the phones' backend is
    // "phones" here.
    using WindowTest::backend;

    PhoneWindowTest() { localFiles.SkipFlushes = true; }

    TForm1& open() {
        form = std::make_unique<TForm1>(phones, config);
        return *form;
    }

    QStringList log() const { return logLines(*form); }
    // Lets the window run until Done holds or TimeoutMs passed.
    static bool waitFor(const std::function<bool()>& Done, int TimeoutMs = 5000) {
        QElapsedTimer t;
        t.start();
        while (!Done()) {
            if (t.elapsed() > TimeoutMs) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
    // Device events reach the window through its event loop.
    void settle() {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
        }
    }

    // Chooses an entry of a drop-down list with the keyboard, as a user would.
    static void choose(QComboBox* Box, int Index) {
        QTest::keyClick(Box, Qt::Key_Home);
        for (int i = 0; i < Index; ++i) {
            QTest::keyClick(Box, Qt::Key_Down);
        }
    }

    QAbstractItemModel* list() const {
        return test::control<QTreeView>(*form, "ListView1")->model();
    }
    QStringList column(int Column) const {
        QStringList out;
        for (int r = 0; r < list()->rowCount(); ++r) {
            out.append(list()->index(r, Column).data().toString());
        }
        return out;
    }
    // Where a row is, scrolled into view first as a user scrolls to it.
    QPoint rowPoint(int Row) const {
        auto* view = test::control<QTreeView>(*form, "ListView1");
        // Up or down only: the columns stay where the user left them.
        const int across = view->horizontalScrollBar()->value();
        view->scrollTo(list()->index(Row, 1));
        view->horizontalScrollBar()->setValue(across);
        QCoreApplication::processEvents();  // the view lays its rows out again first
        return view->visualRect(list()->index(Row, 1)).center();
    }
    void clickRow(int Row, Qt::KeyboardModifiers Modifiers = {}) {
        QTest::mouseClick(test::control<QTreeView>(*form, "ListView1")->viewport(), Qt::LeftButton,
                          Modifiers, rowPoint(Row));
    }
    void doubleClickRow(int Row) {
        QTest::mouseDClick(test::control<QTreeView>(*form, "ListView1")->viewport(), Qt::LeftButton,
                           {}, rowPoint(Row));
    }
    // Clicks the check box of a row, where the style draws it.
    void clickCheckBox(int Row) {
        const QModelIndex index = list()->index(Row, 0);
        rowPoint(Row);  // scrolled into view first
        QStyleOptionViewItem opt;
        opt.initFrom(test::control<QTreeView>(*form, "ListView1")->viewport());
        opt.rect = test::control<QTreeView>(*form, "ListView1")->visualRect(index);
        opt.features = QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = test::control<QTreeView>(*form, "ListView1")
                              ->style()
                              ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt,
                                               test::control<QTreeView>(*form, "ListView1"));
        QTest::mouseClick(test::control<QTreeView>(*form, "ListView1")->viewport(), Qt::LeftButton,
                          {}, box.center());
    }
    Qt::CheckState checkState(int Row) const {
        return static_cast<Qt::CheckState>(list()->index(Row, 0).data(Qt::CheckStateRole).toInt());
    }

    // The searches the phone was asked to open, as "folder|mask".
    static std::vector<std::string> searches(const TVirtualPhone& Phone) {
        std::vector<std::string> out;
        for (const auto& r : Phone.Received()) {
            const auto& p = r.Payload;
            if (r.Command == CmdFileSystem && p.size() > 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 &&
                p[3] == 7) {
                std::string folder, mask;
                if (DecodeSearch(p.data() + 4, p.size() - 4, folder, mask)) {
                    out.push_back(folder + "|" + mask);
                }
            }
        }
        return out;
    }

    TTermiosSerialPorts& ports = serial;
    TPhoneBackend& phones = TPhoneRig::backend;
};
