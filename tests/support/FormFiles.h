#pragma once

// Every file a window keeps, placed under one temporary folder.

#include <QDir>
#include <QString>

#include "gui/FormConfig.h"

namespace test {

inline void PlaceFormFiles(TFormConfig& Config, const QString& Root) {
    QDir(Root).mkpath(QStringLiteral("lang"));
    Config.SettingsPath = Root + QStringLiteral("/config/Brenwick/Snaprill.conf");
    Config.AutostartPath = Root + QStringLiteral("/config/autostart/snaprill.desktop");
    Config.ExcludePath = Root + QStringLiteral("/data/exclude.txt");
    Config.HistoryPath = Root + QStringLiteral("/data/history.txt");
    Config.LangDir = Root + QStringLiteral("/lang");
    Config.ExePath = Root + QStringLiteral("/bin/snaprill");
    Config.PicturesDir = Root + QStringLiteral("/Pictures/");
    Config.ThumbnailDir = Root + QStringLiteral("/cache/thumbnails");
}

}  // namespace test
