#include "core/files/ListRules.h"

#include <QByteArray>

#include "core/files/ExcludeList.h"

std::string searchText(const std::string& Drive, TManagerMode Mode) {
    return Drive + (Mode == mmPhotoManager ? std::string(PictureFolder) + "|*.jpg" : "/|*.*");
}

std::vector<std::string> driveEntries(const std::string& Drives) {
    return splitLines(QByteArray::fromStdString(Drives));
}
