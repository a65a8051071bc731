#include "core/settings/ProfileReader.h"

#include <QFile>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArray trimBlanks(const QByteArray& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b])) {
        ++b;
    }
    while (e > b && isBlank(s[e - 1])) {
        --e;
    }
    return s.mid(b, e - b);
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A zero byte ends a text, as it would in the reader's C strings.
QByteArray cutAtZero(const QByteArray& s) {
    const qsizetype z = s.indexOf('\0');
    return z < 0 ? s : s.left(z);
}

}  // namespace

TProfile TProfile::fromFile(const QString& Path) {
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return fromBytes(f.read(MaxFileBytes));
}

TProfile TProfile::fromBytes(const QByteArray& Data) {
    TProfile p;
    TSection* current = nullptr;
    qsizetype pos = 0;
    const qsizetype n = Data.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && Data[end] != '\r' && Data[end] != '\n') {
            ++end;
        }
        const QByteArray line = trimBlanks(cutAtZero(Data.mid(pos, end - pos)));
        pos = end;
        if (pos < n && Data[pos] == '\r') {
            ++pos;
        }
        if (pos < n && Data[pos] == '\n') {
            ++pos;
        }
        if (line.isEmpty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            const qsizetype close = line.indexOf(']');
            const QByteArray name = trimBlanks(close < 0 ? line.mid(1) : line.mid(1, close - 1));
            current = nullptr;
            for (auto& s : p.sections_) {
                if (sameName(s.Name, name)) {
                    current = &s;  // a repeated section continues the first one
                    break;
                }
            }
            if (!current) {
                p.sections_.append(TSection{name, {}});
                current = &p.sections_.last();
            }
            continue;
        }
        if (!current) {
            continue;  // entries before any section belong to none
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) {
            continue;
        }
        const QByteArray key = trimBlanks(line.left(eq));
        if (key.isEmpty()) {
            continue;
        }
        bool known = false;
        for (const auto& e : current->Entries) {
            if (sameName(e.Key, key)) {
                known = true;  // the first entry of a key wins
                break;
            }
        }
        if (known) {
            continue;
        }
        QByteArray value = trimBlanks(line.mid(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
            value[value.size() - 1] == value[0]) {
            value = value.mid(1, value.size() - 2);
        }
        current->Entries.append(TEntry{key, value.left(MaxValueChars)});
    }
    return p;
}

const TProfile::TSection* TProfile::findSection(const QByteArray& Name) const {
    for (const auto& s : sections_) {
        if (sameName(s.Name, Name)) {
            return &s;
        }
    }
    return nullptr;
}

QList<QByteArray> TProfile::keys(const QByteArray& Section) const {
    QList<QByteArray> out;
    const TSection* s = findSection(Section);
    if (!s) {
        return out;
    }
    // Each name takes its length plus a zero byte; the list ends with a
    // second zero. A name that no longer fits is cut to the space left.
    qsizetype used = 0;
    for (const auto& e : s->Entries) {
        if (used + e.Key.size() + 1 <= KeyListBytes - 1) {
            out.append(e.Key);
            used += e.Key.size() + 1;
            continue;
        }
        const qsizetype room = KeyListBytes - 2 - used;
        if (room > 0) {
            out.append(e.Key.left(room));
        }
        break;
    }
    return out;
}

std::optional<QByteArray> TProfile::value(const QByteArray& Section, const QByteArray& Key) const {
    const TSection* s = findSection(Section);
    if (!s) {
        return std::nullopt;
    }
    for (const auto& e : s->Entries) {
        if (sameName(e.Key, Key)) {
            return e.Value;
        }
    }
    return std::nullopt;
}
