#include "core/program/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString defaultAutostartPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/snaprill.desktop");
}

bool autostartPresent(const QString& Path) {
    return QFileInfo::exists(Path);
}

QString desktopExecValue(const QString& ExePath) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=%");
    bool plain = true;
    for (const QChar c : ExePath) {
        if (reserved.contains(c)) {
            plain = false;
            break;
        }
    }
    if (plain) {
        return ExePath;
    }
    QString quoted;
    for (const QChar c : ExePath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        }
        if (c == QLatin1Char('%')) {
            quoted += QLatin1Char('%');  // "%%" is a literal percent sign
        }
        quoted += c;
    }
    // The desktop file format itself escapes backslashes once more.
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString writeAutostart(const QString& Path, const QString& ExePath) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QSaveFile f(Path);
    if (!f.open(QIODevice::WriteOnly)) {
        return QStringLiteral("Cannot write %1: %2").arg(Path, f.errorString());
    }
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Snaprill\n"
                             "Comment=Pictures and files of Motorola P2K phones\n"
                             "Icon=snaprill\n"
                             "Exec=%1\n"
                             "Terminal=false\n")
                             .arg(desktopExecValue(ExePath));
    f.write(text.toUtf8());
    if (!f.commit()) {
        return QStringLiteral("Cannot write %1: %2").arg(Path, f.errorString());
    }
    return {};
}

QString removeAutostart(const QString& Path) {
    QFile f(Path);
    if (!f.exists() || f.remove()) {
        return {};
    }
    return QStringLiteral("Cannot remove %1: %2").arg(Path, f.errorString());
}
