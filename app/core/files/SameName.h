#pragma once

#include <QString>
#include <QStringList>

// "When a different picture has the same name: Keep both": the picture is
// saved under "name (2).jpg", "name (3).jpg"... while the same picture (the
// same bytes) is still skipped.

// The K-th name of Name: Name itself for K 1, else " (K)" before its
// extension ("x (2).jpg"), or at its end when it has none (a leading dot
// starts no extension). Its stem is shortened, a whole character at a time,
// so that the name stays within the 255 bytes of a local name.
QString numberedName(const QString& Name, int K);

// The numbered names of Name in Folder (ending in "/"): those taken, in
// order from Name itself up to the first free one, and that free one. Free
// is empty when all MaxNumberedNames are taken.
struct TNumberedNames {
    QStringList Taken;  // file names, without the folder
    QString Free;
};
inline constexpr int MaxNumberedNames = 9999;
TNumberedNames numberedNames(const QString& Folder, const QString& Name);

// Whether two local files hold the same bytes: their sizes first, then their
// contents. A file that cannot be read counts as different.
bool sameFileContents(const QString& A, const QString& B);
