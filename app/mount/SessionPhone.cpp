// The one place where the mounted folder meets the phone session.
#include "mount/SessionPhone.h"

#include <QTimer>

#include "MotoP2KMode.h"
#include "backend/Clock.h"
#include "core/files/FileRows.h"
#include "core/session/PhoneSession.h"

TSessionPhone::TSessionPhone(TPhoneSession& Session, IClock& Clock, bool Whole)
    : session_(Session), clock_(Clock), item_(Session.ChosenItem()), drives_(Session.Drives()) {
    if (Session.ChosenDrive() >= 0) {
        TDriveListing listing;
        listing.Whole = Whole;
        const TFileRows& rows = Session.Rows();
        for (int i = 0; i < rows.Count(); ++i) {
            listing.Files.emplace_back(rows.At(i).Name, rows.At(i).Size);
        }
        first_.emplace(Session.ChosenDrive(), std::move(listing));
    }
    // A removal handled between commands says nothing to a running one:
    // it is looked at once the session is done with it.
    auto check = [this] { QTimer::singleShot(0, this, [this] { checkPresent(); }); };
    connect(&session_, &TPhoneSession::phonesChanged, this, check);
    connect(&session_, &TPhoneSession::connectionChanged, this, check);
}

void TSessionPhone::checkPresent() {
    if (lost_ || session_.Busy() || session_.Attached(item_)) {
        return;
    }
    lost_ = true;
    if (OnLost) {
        OnLost();
    }
}

bool TSessionPhone::ready() {
    if (lost_ || !item_ || !session_.Attached(item_)) {
        lost_ = true;
        return false;
    }
    if (session_.ChosenItem() == item_ && item_->IsOpen()) {
        return true;
    }
    // Another phone came or went: the session chose anew. This phone is
    // chosen again, which opens it and lists its first drive.
    if (session_.PhoneEntries().isEmpty()) {
        session_.Refresh();
    }
    TMotoP2KModemList& phones = session_.P2K().DeviseList();
    for (int i = 0; i < phones.Count(); ++i) {
        if (phones.Hold(i) == item_) {
            session_.ChoosePhone(i);
            break;
        }
    }
    lost_ = session_.ChosenItem() != item_ || !item_->IsOpen();
    return !lost_;
}

template <class TOperation>
TFileOutcome TSessionPhone::run(TOperation Operation) {
    TFileOutcome outcome{TFileResult::PhoneLost};
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ready()) {
            return {TFileResult::PhoneLost};
        }
        outcome = Operation();
        if (outcome.Result == TFileResult::PhoneLost) {
            lost_ = true;
        }
        if (outcome.Result != TFileResult::Stopped || stopping_) {
            break;
        }
    }
    return outcome;
}

TDriveListing TSessionPhone::List(int Drive) {
    if (first_ && first_->first == Drive) {
        TDriveListing listing = std::move(first_->second);
        first_.reset();
        return listing;
    }
    first_.reset();
    TDriveListing listing;
    const TFileOutcome outcome = run([&] {
        listing.Whole = session_.ListDrive(Drive);
        return TFileOutcome{session_.Attached(item_) ? TFileResult::Done : TFileResult::PhoneLost};
    });
    listing.Result = outcome.Result;
    const TFileRows& rows = session_.Rows();
    for (int i = 0; outcome.Ok() && i < rows.Count(); ++i) {
        listing.Files.emplace_back(rows.At(i).Name, rows.At(i).Size);
    }
    return listing;
}

TFileOutcome TSessionPhone::Fetch(const std::string& PhonePath, int32_t Size,
                                  const QString& Local) {
    return run([&] { return session_.FetchFile(PhonePath, Size, Local); });
}

TFileOutcome TSessionPhone::Put(const QString& Local, const std::string& Folder, int64_t Replaces) {
    return run([&] { return session_.PutFile(Local, Folder, Replaces); });
}

TFileOutcome TSessionPhone::Delete(const std::string& PhonePath) {
    return run([&] { return session_.DeleteNamed(PhonePath); });
}

bool TSessionPhone::RoomFor(const std::string& Folder, int64_t Bytes, int64_t Replaces) const {
    return lost_ || session_.RoomFor(Folder, Bytes, Replaces);
}

int64_t TSessionPhone::FreeSpace() const {
    return lost_ ? -1 : session_.FreeSpace();
}

uint32_t TSessionPhone::NowMs() {
    return clock_.TickCount();
}

void TSessionPhone::Detach() {
    lost_ = true;
    disconnect(&session_, nullptr, this, nullptr);
}

void TSessionPhone::Stop() {
    stopping_ = true;
    if (lost_) {
        return;
    }
    if (session_.Transferring()) {
        session_.Stop();
    } else {
        session_.Interrupt();
    }
}
