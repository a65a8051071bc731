#include "backend/TraceFormat.h"

#include <nettle/sha2.h>

#include <charconv>
#include <fstream>
#include <sstream>

namespace {

constexpr char Digits[] = "0123456789abcdef";

int hexValue(char C) {
    if (C >= '0' && C <= '9') {
        return C - '0';
    }
    if (C >= 'a' && C <= 'f') {
        return C - 'a' + 10;
    }
    if (C >= 'A' && C <= 'F') {
        return C - 'A' + 10;
    }
    return -1;
}

// A value that can stand bare: printable, no blank, no quote, no "=" first.
bool bare(std::string_view V) {
    if (V.empty()) {
        return false;
    }
    for (unsigned char C : V) {
        if (C <= ' ' || C >= 0x7F || C == '"' || C == '\\') {
            return false;
        }
    }
    return true;
}

std::string quote(std::string_view V) {
    std::string Out = "\"";
    for (unsigned char C : V) {
        switch (C) {
            case '"':
                Out += "\\\"";
                break;
            case '\\':
                Out += "\\\\";
                break;
            case '\r':
                Out += "\\r";
                break;
            case '\n':
                Out += "\\n";
                break;
            case '\t':
                Out += "\\t";
                break;
            default:
                if (C < ' ' || C >= 0x7F) {
                    Out += "\\x";
                    Out += Digits[C >> 4];
                    Out += Digits[C & 15];
                } else {
                    Out += static_cast<char>(C);
                }
        }
    }
    return Out + '"';
}

// Reads a quoted value at Line[Pos] (the opening quote); Pos ends after the
// closing quote.
bool unquote(std::string_view Line, size_t& Pos, std::string& Out, std::string& Error) {
    ++Pos;
    while (Pos < Line.size() && Line[Pos] != '"') {
        char C = Line[Pos++];
        if (C != '\\') {
            Out += C;
            continue;
        }
        if (Pos >= Line.size()) {
            break;
        }
        char E = Line[Pos++];
        switch (E) {
            case '"':
            case '\\':
                Out += E;
                break;
            case 'r':
                Out += '\r';
                break;
            case 'n':
                Out += '\n';
                break;
            case 't':
                Out += '\t';
                break;
            case 'x': {
                int Hi = Pos < Line.size() ? hexValue(Line[Pos]) : -1;
                int Lo = Pos + 1 < Line.size() ? hexValue(Line[Pos + 1]) : -1;
                if (Hi < 0 || Lo < 0) {
                    Error = "a \\x escape without two hex digits";
                    return false;
                }
                Out += static_cast<char>(Hi * 16 + Lo);
                Pos += 2;
                break;
            }
            default:
                Error = std::string("an unknown escape \\") + E;
                return false;
        }
    }
    if (Pos >= Line.size()) {
        Error = "a quoted value without its closing quote";
        return false;
    }
    ++Pos;
    return true;
}

std::string_view word(std::string_view Line, size_t& Pos) {
    size_t Start = Pos;
    while (Pos < Line.size() && Line[Pos] != ' ') {
        ++Pos;
    }
    return Line.substr(Start, Pos - Start);
}

void skipBlanks(std::string_view Line, size_t& Pos) {
    while (Pos < Line.size() && Line[Pos] == ' ') {
        ++Pos;
    }
}

}  // namespace

std::string HexBytes(const uint8_t* Data, size_t Size) {
    std::string Out(Size * 2, '0');
    for (size_t I = 0; I < Size; ++I) {
        Out[2 * I] = Digits[Data[I] >> 4];
        Out[2 * I + 1] = Digits[Data[I] & 15];
    }
    return Out;
}

bool ParseHexBytes(std::string_view Hex, std::vector<uint8_t>& Out) {
    Out.clear();
    if (Hex.size() % 2 != 0) {
        return false;
    }
    Out.reserve(Hex.size() / 2);
    for (size_t I = 0; I < Hex.size(); I += 2) {
        int Hi = hexValue(Hex[I]);
        int Lo = hexValue(Hex[I + 1]);
        if (Hi < 0 || Lo < 0) {
            return false;
        }
        Out.push_back(static_cast<uint8_t>(Hi * 16 + Lo));
    }
    return true;
}

std::string Sha256Hex(const uint8_t* Data, size_t Size) {
    sha256_ctx Ctx;
    sha256_init(&Ctx);
    sha256_update(&Ctx, Size, Data);
    uint8_t Digest[SHA256_DIGEST_SIZE];
    sha256_digest(&Ctx, sizeof Digest, Digest);
    return HexBytes(Digest, sizeof Digest);
}

TTraceEvent& TTraceEvent::Add(std::string Key, std::string Value) {
    Fields.emplace_back(std::move(Key), std::move(Value));
    return *this;
}

TTraceEvent& TTraceEvent::Add(std::string Key, uint64_t Value) {
    return Add(std::move(Key), std::to_string(Value));
}

TTraceEvent& TTraceEvent::AddHex(std::string Key, const uint8_t* Data, size_t Size) {
    return Add(std::move(Key), HexBytes(Data, Size));
}

const std::string* TTraceEvent::Find(std::string_view Key) const {
    for (const auto& [K, V] : Fields) {
        if (K == Key) {
            return &V;
        }
    }
    return nullptr;
}

std::string TTraceEvent::Get(std::string_view Key, const std::string& Default) const {
    const std::string* V = Find(Key);
    return V ? *V : Default;
}

std::string TTraceEvent::Text() const {
    std::string Out = Topic + ' ' + Event;
    for (const auto& [K, V] : Fields) {
        Out += ' ';
        Out += K;
        Out += '=';
        if (bare(V)) {
            Out += V;
        } else {
            Out += quote(V);
        }
    }
    return Out;
}

bool ParseTraceEvent(std::string_view Line, TTraceEvent& Out, std::string& Error) {
    Out = TTraceEvent();
    size_t Pos = 0;
    const std::string_view Time = word(Line, Pos);
    double Seconds = 0;
    auto [Ptr, Ec] = std::from_chars(Time.data(), Time.data() + Time.size(), Seconds);
    if (Time.empty() || Ec != std::errc() || Ptr != Time.data() + Time.size()) {
        Error = "no time at the start of the line";
        return false;
    }
    Out.Seconds = Seconds;
    skipBlanks(Line, Pos);
    Out.Topic = std::string(word(Line, Pos));
    skipBlanks(Line, Pos);
    Out.Event = std::string(word(Line, Pos));
    if (Out.Topic.empty() || Out.Event.empty()) {
        Error = "no topic and event after the time";
        return false;
    }
    skipBlanks(Line, Pos);
    while (Pos < Line.size()) {
        const size_t Eq = Line.find('=', Pos);
        const size_t Blank = Line.find(' ', Pos);
        if (Eq == std::string_view::npos || (Blank != std::string_view::npos && Blank < Eq) ||
            Eq == Pos) {
            Error = "a field that is not key=value";
            return false;
        }
        std::string Key(Line.substr(Pos, Eq - Pos));
        Pos = Eq + 1;
        std::string Value;
        if (Pos < Line.size() && Line[Pos] == '"') {
            if (!unquote(Line, Pos, Value, Error)) {
                return false;
            }
            if (Pos < Line.size() && Line[Pos] != ' ') {
                Error = "text after a quoted value";
                return false;
            }
        } else {
            Value = std::string(word(Line, Pos));
        }
        Out.Fields.emplace_back(std::move(Key), std::move(Value));
        skipBlanks(Line, Pos);
    }
    return true;
}

TTraceText ReadTraceText(std::string_view Text) {
    TTraceText Out;
    size_t Pos = 0;
    int Number = 0;
    bool Magic = false;
    while (Pos < Text.size()) {
        size_t End = Text.find('\n', Pos);
        if (End == std::string_view::npos) {
            End = Text.size();
        }
        std::string_view Line = Text.substr(Pos, End - Pos);
        Pos = End + 1;
        ++Number;
        if (!Line.empty() && Line.back() == '\r') {
            Line.remove_suffix(1);
        }
        if (!Magic) {
            if (Line != TraceMagic) {
                Out.Error =
                    "not a trace: the first line is not \"" + std::string(TraceMagic) + "\"";
                Out.ErrorLine = Number;
                return Out;
            }
            Magic = true;
            continue;
        }
        if (Line.empty() || Line.front() == '#') {
            continue;
        }
        TTraceEvent E;
        std::string Error;
        if (!ParseTraceEvent(Line, E, Error)) {
            Out.Error = Error;
            Out.ErrorLine = Number;
            return Out;
        }
        Out.Events.push_back(std::move(E));
    }
    if (!Magic) {
        Out.Error = "not a trace: it is empty";
        Out.ErrorLine = 1;
    }
    return Out;
}

TTraceText ReadTraceFile(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    if (!In) {
        TTraceText Out;
        Out.Error = "cannot be read";
        return Out;
    }
    std::ostringstream Text;
    Text << In.rdbuf();
    return ReadTraceText(Text.str());
}
