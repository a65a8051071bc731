#include "core/settings/LogModel.h"

#include <cstring>

#include "core/settings/MessageTemplates.h"

// A line's record: one kind byte, then for TextKind the UTF-8 bytes of the
// text, for a message (kind = template number + 1) the number of its
// language-file template (0: the built-in one) and one tagged value per
// argument. Numbers are stored as base-128 varints, so that the common
// small ones take a byte.
namespace {

constexpr char TextKind = 0;
constexpr char IntTag = 'i';
constexpr char RealTag = 'f';
constexpr char TextTag = 's';
static_assert(MessageTemplates.size() < 255, "a template's number must fit the kind byte");

void putVarint(std::string& Out, uint64_t Value) {
    while (Value >= 0x80) {
        Out.push_back(static_cast<char>((Value & 0x7f) | 0x80));
        Value >>= 7;
    }
    Out.push_back(static_cast<char>(Value));
}

// Reads a varint at Pos, not past End; 0 once the bytes run out.
uint64_t getVarint(const std::string& In, size_t& Pos, size_t End) {
    uint64_t value = 0;
    for (int shift = 0; Pos < End && shift < 64; shift += 7) {
        const auto byte = static_cast<uint8_t>(In[Pos++]);
        value |= static_cast<uint64_t>(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0) {
            break;
        }
    }
    return value;
}

void putText(std::string& Out, const QString& Text) {
    const QByteArray utf8 = Text.toUtf8();
    putVarint(Out, static_cast<uint64_t>(utf8.size()));
    Out.append(utf8.constData(), static_cast<size_t>(utf8.size()));
}

int templateNumber(const char* Name) {
    for (size_t i = 0; i < MessageTemplates.size(); ++i) {
        if (std::strcmp(MessageTemplates[i].Name, Name) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString oneLine(QString Text) {
    return Text.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

}  // namespace

TLogModel::TLogModel(TRender Render, QObject* Parent)
    : QAbstractListModel(Parent), render_(std::move(Render)) {}

void TLogModel::AddText(const QString& Text) {
    std::string record(1, TextKind);
    const QByteArray utf8 = oneLine(Text).toUtf8();
    record.append(utf8.constData(), static_cast<size_t>(utf8.size()));
    addRecord(record);
}

void TLogModel::AddMsg(const char* Name, const QList<TMessageArg>& Args, const QByteArray* Raw) {
    const int number = Name ? templateNumber(Name) : -1;
    if (number < 0) {
        // Not a template of the window: kept as the text it reads now.
        AddText(render_(Name, Raw, Args));
        return;
    }
    std::string record(1, static_cast<char>(number + 1));
    putVarint(record, rawNumber(Raw));
    for (const TMessageArg& arg : Args) {
        if (const auto* i = std::get_if<qint64>(&arg)) {
            record.push_back(IntTag);
            // Zigzag: small negative numbers stay small.
            const auto u = static_cast<uint64_t>(*i);
            putVarint(record, (u << 1) ^ (*i < 0 ? ~uint64_t{0} : 0));
        } else if (const auto* d = std::get_if<double>(&arg)) {
            record.push_back(RealTag);
            char bytes[sizeof(double)];
            std::memcpy(bytes, d, sizeof bytes);
            record.append(bytes, sizeof bytes);
        } else {
            record.push_back(TextTag);
            putText(record, std::get<QString>(arg));
        }
    }
    addRecord(record);
}

void TLogModel::addRecord(const std::string& Record) {
    if (lines_ % MarkEvery == 0) {
        marks_.push_back(bytes_.size());
    }
    putVarint(bytes_, Record.size());
    bytes_.append(Record);
    ++lines_;
}

uint32_t TLogModel::rawNumber(const QByteArray* Raw) {
    if (!Raw) {
        return 0;
    }
    const auto known = rawNumbers_.constFind(*Raw);
    if (known != rawNumbers_.constEnd()) {
        return known.value();
    }
    raws_.push_back(*Raw);
    const auto number = static_cast<uint32_t>(raws_.size());
    rawNumbers_.insert(*Raw, number);
    return number;
}

size_t TLogModel::recordAt(int Row) const {
    size_t pos = marks_[static_cast<size_t>(Row / MarkEvery)];
    for (int skip = Row % MarkEvery; skip > 0; --skip) {
        const uint64_t size = getVarint(bytes_, pos, bytes_.size());
        pos += size;
    }
    return pos;
}

QString TLogModel::Line(int Row) const {
    if (Row < 0 || Row >= lines_) {
        return {};
    }
    size_t pos = recordAt(Row);
    const uint64_t size = getVarint(bytes_, pos, bytes_.size());
    const size_t recordEnd = pos + std::min<uint64_t>(size, bytes_.size() - pos);
    if (pos >= recordEnd) {
        return {};
    }
    const char kind = bytes_[pos++];
    if (kind == TextKind) {
        return QString::fromUtf8(bytes_.data() + pos, static_cast<qsizetype>(recordEnd - pos));
    }
    const char* name = MessageTemplates[static_cast<size_t>(static_cast<uint8_t>(kind) - 1)].Name;
    const uint64_t raw = getVarint(bytes_, pos, recordEnd);
    QList<TMessageArg> args;
    while (pos < recordEnd) {
        const char tag = bytes_[pos++];
        if (tag == IntTag) {
            const uint64_t z = getVarint(bytes_, pos, recordEnd);
            args.append(static_cast<qint64>((z >> 1) ^ (~(z & 1) + 1)));
        } else if (tag == RealTag && recordEnd - pos >= sizeof(double)) {
            double d = 0;
            std::memcpy(&d, bytes_.data() + pos, sizeof d);
            pos += sizeof d;
            args.append(d);
        } else if (tag == TextTag) {
            const size_t length =
                std::min<uint64_t>(getVarint(bytes_, pos, recordEnd), recordEnd - pos);
            args.append(QString::fromUtf8(bytes_.data() + pos, static_cast<qsizetype>(length)));
            pos += length;
        } else {
            break;
        }
    }
    const QByteArray* template_ = raw > 0 && raw <= raws_.size() ? &raws_[raw - 1] : nullptr;
    return oneLine(render_(name, template_, args));
}

void TLogModel::Publish() {
    if (published_ == lines_) {
        return;
    }
    beginInsertRows({}, published_, lines_ - 1);
    published_ = lines_;
    endInsertRows();
}

void TLogModel::Clear() {
    beginResetModel();
    bytes_.clear();
    marks_.clear();
    raws_.clear();
    rawNumbers_.clear();
    lines_ = 0;
    published_ = 0;
    endResetModel();
}

void TLogModel::RenderAgain() {
    if (published_ > 0) {
        emit dataChanged(index(0), index(published_ - 1), {Qt::DisplayRole});
    }
}

size_t TLogModel::BytesUsed() const {
    size_t raws = 0;
    for (const QByteArray& r : raws_) {
        raws += static_cast<size_t>(r.size());
    }
    return bytes_.capacity() + marks_.capacity() * sizeof(size_t) + raws;
}

int TLogModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : published_;
}

QVariant TLogModel::data(const QModelIndex& Index, int Role) const {
    if (Role != Qt::DisplayRole || !Index.isValid() || Index.row() >= published_) {
        return {};
    }
    return Line(Index.row());
}
