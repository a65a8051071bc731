// NAME arguments: phone files named on the command line.
#include "MotoSysUtils.h"
#include "cli/CliCommands.h"
#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "core/files/PhoneText.h"
#include "core/session/FileListModel.h"
#include "core/session/PhoneSession.h"

std::vector<int> rowsNamed(const TFileRows& Rows, const std::string& Name) {
    std::vector<int> out;
    const std::optional<std::string> bytes = unicodeToPhone(QString::fromStdString(Name));
    if (!bytes || bytes->empty()) {
        return out;  // no phone file can have that name
    }
    const bool whole = bytes->find('/') != std::string::npos;
    const std::string wanted = UpperCaseText1251(*bytes);
    for (int i = 0; i < Rows.Count(); ++i) {
        const std::string& row = Rows.At(i).Name;
        if (UpperCaseText1251(whole ? row : ExtractP2KFileName(row)) == wanted) {
            out.push_back(i);
        }
    }
    return out;
}

void selectNamed(TPhoneSession& Session, const std::vector<std::string>& Names,
                 TCliReport& Report) {
    TFileListModel& list = Session.FileList();
    if (Names.empty()) {
        list.SelectAll();
        return;
    }
    std::vector<int> chosen;
    for (const std::string& name : Names) {
        const std::vector<int> rows = rowsNamed(list.Rows(), name);
        if (rows.empty()) {
            Report.Fail(
                ExitFailed,
                QStringLiteral("%1: no such file on the phone").arg(QString::fromStdString(name)));
        }
        chosen.insert(chosen.end(), rows.begin(), rows.end());
    }
    list.SelectRows(chosen);
}
