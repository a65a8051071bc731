#include "sim/ReplayPhone.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <thread>

#include "backend/TraceDevice.h"

namespace {

constexpr size_t SetupSize = 8;
constexpr std::string_view Filler = "[snaprill replay: data recorded as a hash] ";
// A replayed phone comes back in P2K mode this long after its modem switch.
constexpr auto ReattachDelay = std::chrono::milliseconds(20);

uint64_t number(const std::string& Text) {
    uint64_t V = 0;
    std::from_chars(Text.data(), Text.data() + Text.size(), V);
    return V;
}

bool hexField(const TTraceEvent& E, std::string_view Key, std::vector<uint8_t>& Out) {
    const std::string* V = E.Find(Key);
    return V != nullptr && ParseHexBytes(*V, Out);
}

std::string hex(const uint8_t* Data, size_t Size) {
    return HexBytes(Data, Size);
}

std::string quoted(const std::string& Line) {
    TTraceEvent E("at", "line");
    E.Add("x", Line);
    const std::string T = E.Text();
    const std::string Value = T.substr(T.find('=') + 1);
    return Value.front() == '"' ? Value : '"' + Value + '"';
}

std::string withoutLineEnd(std::string Line) {
    if (Line.size() >= 2 && Line.compare(Line.size() - 2, 2, "\r\n") == 0) {
        Line.resize(Line.size() - 2);
    }
    return Line;
}

// Where two byte strings first differ, for the diff.
std::string firstDifference(const std::vector<uint8_t>& A, const uint8_t* B, size_t BSize) {
    size_t I = 0;
    while (I < A.size() && I < BSize && A[I] == B[I]) {
        ++I;
    }
    return "; they differ from byte " + std::to_string(I);
}

const char* kindName(int Kind) {
    switch (Kind) {
        case 0:
            return "a request";
        case 1:
            return "a status poll";
        default:
            return "a response fetch";
    }
}

}  // namespace

std::shared_ptr<TTraceReplay> TTraceReplay::FromText(std::string_view Text, std::string Name,
                                                     std::string& Error) {
    const TTraceText Trace = ReadTraceText(Text);
    if (!Trace.Error.empty()) {
        Error = "line " + std::to_string(Trace.ErrorLine) + ": " + Trace.Error;
        return nullptr;
    }
    std::shared_ptr<TTraceReplay> Replay(new TTraceReplay(std::move(Name)));
    if (!Replay->load(Trace.Events, Error)) {
        return nullptr;
    }
    return Replay;
}

bool TTraceReplay::load(const std::vector<TTraceEvent>& Events, std::string& Error) {
    std::string p2kPath, modemPath;
    for (const TTraceEvent& E : Events) {
        if (E.Topic == "p2k" && E.Event == "open" && E.Get("result") == "ok" && p2kPath.empty()) {
            p2kPath = E.Get("path");
        } else if (E.Topic == "at" && E.Event == "open" && E.Get("result") == "ok" &&
                   modemPath.empty()) {
            modemPath = E.Get("path");
        }
    }
    // The devices opened; else the first of each class listed.
    size_t p2kLine = Events.size(), modemLine = Events.size();
    for (size_t I = 0; I < Events.size(); ++I) {
        const TTraceEvent& E = Events[I];
        if (E.Topic != "usb" || E.Event != "device") {
            continue;
        }
        const std::string cls = E.Get("class");
        const std::string path = E.Get("path");
        if (cls == "p2k" && p2kLine == Events.size() && (p2kPath.empty() || path == p2kPath)) {
            p2k_ = DeviceFromTrace(E);
            p2kLine = I;
        } else if (cls == "modem" && modemLine == Events.size() &&
                   (modemPath.empty() || path == modemPath)) {
            modem_ = DeviceFromTrace(E);
            modemLine = I;
        }
    }

    for (const TTraceEvent& E : Events) {
        if (E.Topic == "at" && E.Event == "write") {
            modemLines_.emplace_back(number(E.Get("n")), E.Get("line"));
            continue;
        }
        if (E.Topic != "p2k" ||
            (E.Event != "request" && E.Event != "status" && E.Event != "reply")) {
            continue;
        }
        TStep S;
        S.Exchange = number(E.Get("n"));
        S.Ok = E.Get("result", "ok") != "failed";
        S.Repeat = std::max<uint64_t>(1, number(E.Get("repeat", "1")));
        std::vector<uint8_t> part;
        if (E.Event == "request") {
            S.Kind = TStep::Request;
            if (hexField(E, "packet", part)) {
                const size_t setup = std::min(part.size(), SetupSize);
                S.Setup.assign(part.begin(), part.begin() + static_cast<ptrdiff_t>(setup));
                S.Bytes.assign(part.begin() + static_cast<ptrdiff_t>(setup), part.end());
            } else {
                std::vector<uint8_t> id, cmd, reserved, payload, data;
                if (!hexField(E, "setup", S.Setup) || !hexField(E, "id", id) ||
                    !hexField(E, "cmd", cmd) || id.size() != 2 || cmd.size() != 2 ||
                    !hexField(E, "payload", payload)) {
                    Error = "exchange " + std::to_string(S.Exchange) +
                            ": a request without its "
                            "setup, id, command or payload";
                    return false;
                }
                if (!hexField(E, "reserved", reserved) || reserved.size() != 2) {
                    reserved = {0, 0};
                }
                S.Hashed = E.Find("data-sha256") != nullptr;
                S.HashedLength = S.Hashed ? number(E.Get("data-len")) : 0;
                S.Sha256 = E.Get("data-sha256");
                hexField(E, "data", data);
                const size_t count = payload.size() + data.size() + S.HashedLength;
                S.Bytes = {id[0],
                           id[1],
                           cmd[0],
                           cmd[1],
                           static_cast<uint8_t>(count >> 8),
                           static_cast<uint8_t>(count),
                           reserved[0],
                           reserved[1]};
                S.Bytes.insert(S.Bytes.end(), payload.begin(), payload.end());
                S.Bytes.insert(S.Bytes.end(), data.begin(), data.end());
            }
        } else {
            S.Kind = E.Event == "status" ? TStep::Status : TStep::Reply;
            hexField(E, "setup", S.Setup);
            if (S.Kind == TStep::Status) {
                hexField(E, "answer", S.Bytes);
                S.NotReady = !S.Ok || S.Bytes.size() < 6 || (S.Bytes[5] != 1 && S.Bytes[5] != 2);
            } else {
                std::vector<uint8_t> data;
                hexField(E, "head", S.Bytes);
                if (hexField(E, "data", data)) {
                    S.Bytes.insert(S.Bytes.end(), data.begin(), data.end());
                }
                S.Hashed = E.Find("data-sha256") != nullptr;
                S.HashedLength = S.Hashed ? number(E.Get("data-len")) : 0;
            }
        }
        steps_.push_back(std::move(S));
    }
    if (p2k_.DevInst == 0 && modem_.DevInst == 0) {
        Error = "the trace shows no phone";
        return false;
    }
    // The phone came as a modem first when its port was listed before its
    // command interface and the trace switched it.
    startsAsModem_ = modem_.DevInst != 0 && modemLine < p2kLine && !modemLines_.empty();
    return true;
}

bool TTraceReplay::fail(const std::string& Diff) {
    failure_ = "replay of " + name_ + " stopped at " + Diff;
    return false;
}

void TTraceReplay::skipNotReady() {
    while (next_ < steps_.size() && steps_[next_].Kind == TStep::Status && steps_[next_].NotReady) {
        lastStatus_ = &steps_[next_];
        ++next_;
        repeatsLeft_ = 0;
    }
}

bool TTraceReplay::ControlOut(const uint8_t* Setup, const uint8_t* Data, size_t Length) {
    std::function<void(const std::string&)> report;
    std::string diff;
    bool result = false;
    {
        std::lock_guard lock(mutex_);
        if (!failure_.empty()) {
            return false;
        }
        skipNotReady();
        std::vector<uint8_t> sent(Setup, Setup + SetupSize);
        sent.insert(sent.end(), Data, Data + Length);
        if (next_ >= steps_.size()) {
            fail("the end of the trace: the program sent one more request " +
                 hex(sent.data(), sent.size()));
        } else if (const TStep& S = steps_[next_]; S.Kind != TStep::Request) {
            fail("exchange " + std::to_string(S.Exchange) + ": the trace has " + kindName(S.Kind) +
                 " here; the program sent the request " + hex(sent.data(), sent.size()));
        } else {
            std::vector<uint8_t> expected = S.Setup;
            expected.insert(expected.end(), S.Bytes.begin(), S.Bytes.end());
            const size_t kept = expected.size();
            const bool sameKept =
                sent.size() >= kept && std::equal(expected.begin(), expected.end(), sent.begin());
            const bool sameLength = sent.size() == kept + S.HashedLength;
            const bool sameData =
                !S.Hashed ||
                (sameLength && Sha256Hex(sent.data() + kept, S.HashedLength) == S.Sha256);
            if (!sameKept || !sameLength) {
                std::string text = "exchange " + std::to_string(S.Exchange) +
                                   ": the trace has the request " + hex(expected.data(), kept);
                if (S.Hashed) {
                    text += " followed by " + std::to_string(S.HashedLength) + " bytes of data";
                }
                fail(text + ", the program sent " + hex(sent.data(), sent.size()) +
                     firstDifference(expected, sent.data(), sent.size()));
            } else if (!sameData) {
                fail("exchange " + std::to_string(S.Exchange) + ": the trace has " +
                     std::to_string(S.HashedLength) + " bytes of file data with SHA-256 " +
                     S.Sha256 + ", the program sent data with SHA-256 " +
                     Sha256Hex(sent.data() + kept, S.HashedLength));
            } else {
                ++next_;
                lastStatus_ = nullptr;
                result = S.Ok;
            }
        }
        if (!failure_.empty()) {
            diff = failure_;
            report = onFailure_;
        }
    }
    if (report) {
        report(diff);
    }
    return result;
}

int TTraceReplay::ControlIn(const uint8_t* Setup, uint8_t* Out, size_t Capacity) {
    std::function<void(const std::string&)> report;
    std::string diff;
    int result = -1;
    {
        std::lock_guard lock(mutex_);
        if (!failure_.empty()) {
            return -1;
        }
        const bool status = Setup[1] == 0;
        const TStep* S = next_ < steps_.size() ? &steps_[next_] : nullptr;
        const TStep* serve = nullptr;
        if (S && S->Kind == (status ? TStep::Status : TStep::Reply)) {
            serve = S;
            if (status) {
                if (repeatsLeft_ == 0) {
                    repeatsLeft_ = S->Repeat;
                }
                if (--repeatsLeft_ == 0) {
                    ++next_;
                }
                lastStatus_ = S;
            } else {
                ++next_;
                lastStatus_ = nullptr;
            }
        } else if (status && lastStatus_ && lastStatus_->NotReady &&
                   (!S || S->Kind == TStep::Request)) {
            serve = lastStatus_;  // polled longer than when traced
        } else {
            const std::string sent = hex(Setup, SetupSize);
            fail(S ? "exchange " + std::to_string(S->Exchange) + ": the trace has " +
                         kindName(S->Kind) + " here; the program sent " +
                         (status ? "a status poll " : "a read ") + sent
                   : "the end of the trace: the program sent one more read " + sent);
        }
        if (serve != nullptr) {
            if (!std::equal(serve->Setup.begin(), serve->Setup.end(), Setup) ||
                serve->Setup.size() != SetupSize) {
                fail("exchange " + std::to_string(serve->Exchange) + ": the trace has " +
                     kindName(serve->Kind) + " with the setup " +
                     hex(serve->Setup.data(), serve->Setup.size()) + ", the program sent " +
                     hex(Setup, SetupSize));
            } else if (serve->Ok) {
                const size_t wanted = static_cast<size_t>(Setup[6] | (Setup[7] << 8));
                const size_t room = std::min(Capacity, wanted);
                size_t n = std::min(room, serve->Bytes.size());
                std::memcpy(Out, serve->Bytes.data(), n);
                for (size_t i = 0; serve->Hashed && i < serve->HashedLength && n < room; ++i) {
                    Out[n++] = static_cast<uint8_t>(Filler[i % Filler.size()]);
                }
                result = static_cast<int>(n);
            }
        }
        if (!failure_.empty()) {
            diff = failure_;
            report = onFailure_;
        }
    }
    if (report) {
        report(diff);
    }
    return result;
}

bool TTraceReplay::CheckModemLines(const std::vector<std::string>& Received) {
    std::function<void(const std::string&)> report;
    std::string diff;
    {
        std::lock_guard lock(mutex_);
        if (!failure_.empty()) {
            return false;
        }
        for (size_t i = modemLinesChecked_; i < Received.size(); ++i) {
            if (i >= modemLines_.size()) {
                fail("the end of the trace: the program wrote one more AT line " +
                     quoted(Received[i]));
                break;
            }
            const std::string expected = withoutLineEnd(modemLines_[i].second);
            if (expected != Received[i]) {
                fail("exchange " + std::to_string(modemLines_[i].first) +
                     ": the trace has the AT line " + quoted(expected) + ", the program wrote " +
                     quoted(Received[i]));
                break;
            }
            modemLinesChecked_ = i + 1;
        }
        if (!failure_.empty()) {
            diff = failure_;
            report = onFailure_;
        }
    }
    if (report) {
        report(diff);
    }
    return diff.empty();
}

std::string TTraceReplay::Failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

void TTraceReplay::SetOnFailure(std::function<void(const std::string&)> Handler) {
    std::lock_guard lock(mutex_);
    onFailure_ = std::move(Handler);
}

size_t TTraceReplay::Remaining() const {
    std::lock_guard lock(mutex_);
    size_t left = modemLines_.size() - std::min(modemLinesChecked_, modemLines_.size());
    for (size_t i = next_; i < steps_.size(); ++i) {
        left += steps_[i].Kind == TStep::Request ? 1 : 0;
    }
    return left;
}

TReplayPhoneRig::TReplayPhoneRig(TVirtualDeviceSource& Devices, std::string Name,
                                 std::shared_ptr<TTraceReplay> Replay)
    : devices_(Devices), name_(std::move(Name)), replay_(std::move(Replay)) {
    if (!replay_) {
        return;
    }
    if (!replay_->StartsAsModem()) {
        valid_ = plugP2K();
        return;
    }
    modem_ = std::make_unique<TVirtualModem>();
    if (!modem_->IsValid()) {
        return;
    }
    modem_->SetOnSwitchToP2K([this] { switchToP2K(); });
    const TDeviseInterface& m = replay_->ModemDevice();
    valid_ = devices_.PlugModem(name_, modem_->SlavePath(), m.Properties, m.SerialNumber);
}

TReplayPhoneRig::~TReplayPhoneRig() {
    if (modem_) {
        modem_->Hangup();
    }
    if (inP2K_) {
        devices_.UnplugPhone(name_);
    } else if (modem_) {
        devices_.UnplugModem(name_);
    }
}

bool TReplayPhoneRig::plugP2K() {
    if (replay_->P2KDevice().DevInst == 0) {
        return false;
    }
    // Marked before plugging: the arrival may be handled on another thread
    // before PlugDevice returns here.
    inP2K_ = true;
    const TDeviseInterface& p = replay_->P2KDevice();
    if (devices_.PlugDevice(name_, replay_, p.Properties, p.SerialNumber).empty()) {
        inP2K_ = false;
    }
    return inP2K_;
}

void TReplayPhoneRig::switchToP2K() {
    // On the modem's reader thread, as a real phone re-attaches: the lines
    // it got are checked, the modem goes, the command interface comes.
    const bool same = replay_->CheckModemLines(modem_->Lines());
    devices_.UnplugModem(name_);
    if (!same) {
        return;
    }
    std::this_thread::sleep_for(ReattachDelay);
    plugP2K();
}
