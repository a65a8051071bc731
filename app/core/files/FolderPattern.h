#pragma once

#include <QDate>
#include <QString>
#include <optional>

// "Sort into folders by date taken": each picture goes into folders under
// the save folder named by a pattern, its parts separated by "/". Tokens:
// %Y the year (four digits), %m the month and %d the day (two digits) the
// picture was taken, %M the phone's model, %% a "%". Every folder name the
// pattern makes must pass as a local file name does, so that nothing lands
// outside the save folder.
inline constexpr char DefaultFolderPattern[] = "%Y/%Y-%m-%d";

// Why Pattern cannot be used (it starts with "/", has an empty part, a part
// "." or "..", a control character, or a token other than the ones above),
// or nothing when it can. A "/" at the end is allowed.
std::optional<QString> folderPatternProblem(const QString& Pattern);

// Whether the pattern names the date: a picture's folders are then known
// only once its date is.
bool folderPatternUsesDate(const QString& Pattern);

// The folders made of Pattern for a picture taken on Date on a phone of
// Model, relative to the save folder and without a "/" at either end, such
// as "2006/2006-07-05". Nothing when the pattern cannot be used or one of
// its folder names cannot be a local name (a model ".." or holding a "/",
// an empty one where it stands alone, a name too long).
std::optional<QString> expandFolderPattern(const QString& Pattern, const QDate& Date,
                                           const QString& Model);
