#pragma once

// What the fault matrices of the session and of the window start each cell
// from, and the rules no fault may break: the phone's files for each
// command, the local files an upload sends, no picture lost or corrupted
// under its name, and no stray or temporary file left.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <string>

#include "sim/VirtualPhone.h"
#include "support/PhoneStates.h"
#include "support/TestFiles.h"
#include "support/VirtualRig.h"

namespace test {

enum class TMatrixCommand { PhotoList, PhotoDownload, FileDownload, Upload, Delete };

class TMatrixFiles {
  protected:
    static inline const std::string MatrixPictures = "/a/mobile/picture/";

    // Five pictures over one 4000-byte block each, so that a picture takes
    // several reads, and three local files to upload, written under Root/up.
    void makeMatrixFiles(const QString& Root) {
        for (int i = 0; i < 5; ++i) {
            pictures[MatrixPictures + "p" + std::to_string(i) + ".jpg"] =
                FileBytes(4500 + 300 * size_t(i), unsigned(i + 1));
        }
        for (int i = 0; i < 3; ++i) {
            const QString name = Root + "/up/u" + QString::number(i) + ".jpg";
            const auto data = FileBytes(1500 + 700 * size_t(i), unsigned(i + 10));
            EXPECT_TRUE(writeLocal(name, asBytes(data))) << name.toStdString();
            uploads[MatrixPictures + "u" + std::to_string(i) + ".jpg"] = data;
            uploadFiles.append(name);
        }
    }

    // The phone's files before the command.
    TPhoneFiles startFiles(TMatrixCommand C) const {
        if (C == TMatrixCommand::FileDownload) {
            return {{"/a/doc/a.txt", FileBytes(5000, 21)}, {"/a/doc/b.bin", FileBytes(9000, 22)}};
        }
        return C == TMatrixCommand::Upload ? TPhoneFiles{} : pictures;
    }

    // The failures of the local copies of a command's phone files in
    // TargetDir ("" when none): a copy that is not its phone file, and a
    // phone file gone with no whole copy but by a delete.
    std::string copyFailures(TMatrixCommand C, const QString& TargetDir,
                             const TVirtualPhone& Phone) const {
        std::string bad;
        for (const auto& [name, data] : startFiles(C)) {
            QFile f(TargetDir + QString::fromStdString(name.substr(name.rfind('/') + 1)));
            const bool present = f.open(QIODevice::ReadOnly);
            const QByteArray got = present ? f.readAll() : QByteArray();
            if (present && got != asBytes(data)) {
                bad += "corrupt local " + name + "; ";
            }
            if (!Phone.State().Files.contains(name) && C != TMatrixCommand::Delete &&
                got != asBytes(data)) {
                bad += "deleted without a copy " + name + "; ";
            }
        }
        return bad;
    }

    // The files under Root no command may leave ("" when none): anything
    // outside TargetDir, the uploads' sources and Kept (a folder when it
    // ends in "/", else a file), and any temporary or hidden file.
    static std::string strayFiles(const QString& Root, const QString& TargetDir,
                                  const QStringList& Kept = {}) {
        std::string bad;
        for (const QString& f : filesUnder(Root)) {
            bool expected =
                f.startsWith("up/") || QFileInfo(Root + "/" + f).absolutePath() + "/" == TargetDir;
            for (const QString& k : Kept) {
                expected = expected || (k.endsWith('/') ? f.startsWith(k) : f == k);
            }
            if (!expected || f.contains(".part") || QFileInfo(f).fileName().startsWith('.')) {
                bad += "stray file " + f.toStdString() + "; ";
            }
        }
        return bad;
    }

    TPhoneFiles pictures;
    TPhoneFiles uploads;
    QStringList uploadFiles;  // the local files an upload is given
};

}  // namespace test
