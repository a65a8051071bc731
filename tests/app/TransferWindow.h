#pragma once

// The window on virtual phones for the transfer tests: where downloads land,
// what the phone was asked to read and open.

#include <QCheckBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QToolButton>

#include "PhoneWindow.h"
#include "support/Controls.h"
#include "support/VirtualRig.h"

namespace transfer {

inline const std::string Pic = "/a/mobile/picture/";

using test::asBytes;
using test::readLocal;
// The block sizes of the phone's file reads, in order.
inline std::vector<uint32_t> readSizes(const TVirtualPhone& Phone) {
    std::vector<uint32_t> out;
    for (const auto& r : Phone.Received()) {
        const auto& p = r.Payload;
        if (r.Command == CmdFileSystem && p.size() == 8 && p[3] == 1) {
            out.push_back(uint32_t(p[4]) << 24 | uint32_t(p[5]) << 16 | uint32_t(p[6]) << 8 | p[7]);
        }
    }
    return out;
}
// The phone names opened for reading (Attr 0xFF) or writing (0), in order.
inline std::vector<std::string> openedNames(const TVirtualPhone& Phone, uint8_t Attr = 0xFF) {
    std::vector<std::string> out;
    for (const auto& r : Phone.Received()) {
        const auto& p = r.Payload;
        if (r.Command == CmdFileSystem && p.size() > 8 && p[3] == 0 && p[7] == Attr) {
            out.emplace_back(p.begin() + 8, p.end());
        }
    }
    return out;
}

}  // namespace transfer

using namespace transfer;

class TransferWindowTest : public PhoneWindowTest {
  protected:
    void SetUp() override {
        PhoneWindowTest::SetUp();
        saveDir = root + "/Pictures/";
        config.PicturesDir = saveDir;
    }
    // Every file under the test's folder, as paths relative to it.
    QStringList filesUnderRoot() const { return test::filesUnder(root); }
    void selectAll() {
        QTest::keyClick(test::control<QTreeView>(*form, "ListView1"), Qt::Key_A,
                        Qt::ControlModifier);
    }
    void clickDownload() {
        QTest::mouseClick(test::control<QToolButton>(*form, "idDownload"), Qt::LeftButton);
    }
    QStringList progressLines() const { return log().filter("Downloading - "); }

    QString saveDir;
};
