#include "core/settings/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <limits>

namespace {

QString defaultSettingsPath() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brenwick"),
                     QStringLiteral("Snaprill"))
        .fileName();
}

QString statusText(QSettings::Status s, const QString& path) {
    switch (s) {
        case QSettings::AccessError:
            return QStringLiteral("Settings file %1 cannot be accessed").arg(path);
        case QSettings::FormatError:
            return QStringLiteral("Settings file %1 is not a settings file").arg(path);
        case QSettings::NoError:
            break;
    }
    return {};
}

// The native format keeps every value as text; a number must read back as
// one, in the range of a 32-bit register value.
std::optional<qint64> settingNumber(const QSettings& S, const QString& Name) {
    const QVariant v = S.value(Name);
    if (!v.isValid()) {
        return std::nullopt;
    }
    bool ok = false;
    qint64 n = 0;
    if (v.typeId() == QMetaType::QString) {
        n = v.toString().trimmed().toLongLong(&ok);
    } else if (v.canConvert<qint64>() && v.typeId() != QMetaType::QStringList) {
        n = v.toLongLong(&ok);
    }
    if (!ok || n < std::numeric_limits<qint32>::min() ||
        n > static_cast<qint64>(std::numeric_limits<quint32>::max())) {
        return std::nullopt;
    }
    return n;
}

// The window's place, under keys of its own beside the program's settings.
struct TPlaceKey {
    const char* Name;
    std::optional<int> TWindowPlace::*Value;
};
const TPlaceKey PlaceKeys[] = {
    {"windowLeft", &TWindowPlace::Left},
    {"windowTop", &TWindowPlace::Top},
    {"windowWidth", &TWindowPlace::Width},
    {"windowHeight", &TWindowPlace::Height},
};
const char* const ColumnKeys[] = {"listCaptionWidth", "listNameWidth", "listSizeWidth"};
const char* const MaximizedKey = "windowMaximized";

}  // namespace

std::optional<QString> settingString(const QSettings& S, const QString& Name) {
    const QVariant v = S.value(Name);
    if (!v.isValid() || v.typeId() != QMetaType::QString) {
        return std::nullopt;  // absent, or a list or other non-text value
    }
    return v.toString();
}

std::optional<bool> settingBool(const QSettings& S, const QString& Name) {
    const auto n = settingNumber(S, Name);
    if (!n) {
        return std::nullopt;
    }
    return *n != 0;
}

std::optional<int> settingInt(const QSettings& S, const QString& Name) {
    const auto n = settingNumber(S, Name);
    if (!n || *n > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(*n);
}

TSettingsStore::TSettingsStore(QString Path)
    : path_(Path.isEmpty() ? defaultSettingsPath() : std::move(Path)) {}

TStoredSettings TSettingsStore::read(QString* Error) const {
    TStoredSettings out;
    const QFileInfo info(path_);
    if (info.exists() && !info.isReadable()) {
        if (Error) {
            *Error = statusText(QSettings::AccessError, path_);
        }
        return out;
    }
    QSettings s(path_, QSettings::NativeFormat);
    if (s.status() != QSettings::NoError) {
        if (Error) {
            *Error = statusText(s.status(), path_);
        }
        return out;
    }
    out.Dir = settingString(s, QStringLiteral("dir"));
    out.Overwrite = settingBool(s, QStringLiteral("overwrite"));
    out.Delete = settingBool(s, QStringLiteral("delete"));
    out.Download = settingBool(s, QStringLiteral("download"));
    out.Hide = settingBool(s, QStringLiteral("hide"));
    out.Lang = settingString(s, QStringLiteral("lang"));
    out.Mode = settingInt(s, QStringLiteral("mode"));
    out.Charset = settingInt(s, QStringLiteral("charset"));
    out.Previews = settingBool(s, QStringLiteral("previews"));
    out.PictureTime = settingBool(s, QStringLiteral("picturetime"));
    out.SkipDownloaded = settingBool(s, QStringLiteral("skipdownloaded"));
    out.DateFolders = settingBool(s, QStringLiteral("datefolders"));
    out.DatePattern = settingString(s, QStringLiteral("datepattern"));
    out.SameName = settingInt(s, QStringLiteral("samename"));
    out.AlsoCopy = settingBool(s, QStringLiteral("alsocopy"));
    out.AlsoCopyDir = settingString(s, QStringLiteral("alsocopydir"));
    for (const TPlaceKey& k : PlaceKeys) {
        out.Place.*k.Value = settingInt(s, QString::fromLatin1(k.Name));
    }
    out.Place.Maximized = settingBool(s, QString::fromLatin1(MaximizedKey));
    for (int c = 0; c < 3; ++c) {
        out.Place.Columns[c] = settingInt(s, QString::fromLatin1(ColumnKeys[c]));
    }
    return out;
}

std::optional<bool> TSettingsStore::readHide() const {
    QSettings s(path_, QSettings::NativeFormat);
    if (s.status() != QSettings::NoError) {
        return std::nullopt;
    }
    return settingBool(s, QStringLiteral("hide"));
}

bool TSettingsStore::write(const TSettingsToWrite& Values, QString* Error) const {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSettings s(path_, QSettings::NativeFormat);
    s.setValue(QStringLiteral("dir"), Values.Dir);
    s.setValue(QStringLiteral("overwrite"), Values.Overwrite ? 1 : 0);
    s.setValue(QStringLiteral("delete"), Values.Delete ? 1 : 0);
    s.setValue(QStringLiteral("download"), Values.Download ? 1 : 0);
    s.setValue(QStringLiteral("hide"), Values.Hide ? 1 : 0);
    s.setValue(QStringLiteral("lang"), Values.Lang);
    s.setValue(QStringLiteral("mode"), Values.Mode);
    s.setValue(QStringLiteral("charset"), Values.Charset);
    s.setValue(QStringLiteral("previews"), Values.Previews ? 1 : 0);
    s.setValue(QStringLiteral("picturetime"), Values.PictureTime ? 1 : 0);
    s.setValue(QStringLiteral("skipdownloaded"), Values.SkipDownloaded ? 1 : 0);
    s.setValue(QStringLiteral("datefolders"), Values.DateFolders ? 1 : 0);
    s.setValue(QStringLiteral("datepattern"), Values.DatePattern);
    s.setValue(QStringLiteral("samename"), Values.SameName);
    s.setValue(QStringLiteral("alsocopy"), Values.AlsoCopy ? 1 : 0);
    s.setValue(QStringLiteral("alsocopydir"), Values.AlsoCopyDir);
    for (const TPlaceKey& k : PlaceKeys) {
        if (const std::optional<int>& v = Values.Place.*k.Value) {
            s.setValue(QString::fromLatin1(k.Name), *v);
        }
    }
    if (Values.Place.Maximized) {
        s.setValue(QString::fromLatin1(MaximizedKey), *Values.Place.Maximized ? 1 : 0);
    }
    for (int c = 0; c < 3; ++c) {
        if (Values.Place.Columns[c]) {
            s.setValue(QString::fromLatin1(ColumnKeys[c]), *Values.Place.Columns[c]);
        }
    }
    s.sync();
    if (s.status() != QSettings::NoError) {
        if (Error) {
            *Error = statusText(s.status(), path_);
        }
        return false;
    }
    return true;
}
