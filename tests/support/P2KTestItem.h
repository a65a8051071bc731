#pragma once

// An open P2K item over a scripted phone, with its log lines collected.

#include <memory>
#include <string>
#include <vector>

#include "MotoP2KMode.h"
#include "backend/Clock.h"
#include "support/RecordingFiles.h"
#include "support/ScriptedChannel.h"

namespace test {

struct TLogLine {
    std::string Text;
    TDebugType Type;
    bool operator==(const TLogLine&) const = default;
};

struct TP2KFixtureBase {
    TScriptedPhone Phone;
    TFakeClock Clock;
    TRecordingFiles Files;
    std::vector<TLogLine> Log;
    std::shared_ptr<TMotoP2KModemItem> Item;

    TP2KFixtureBase() {
        TUSBDevise d;
        d.DevInst = 1;
        d.DevicePath = "/dev/p2k0";
        Item = std::make_shared<TMotoP2KModemItem>(d, Phone, Clock, Files);
        Item->SetOnDebugEvent(
            [this](TMotoP2KModemItem*, const std::string& T, TDebugType Ty, bool) {
                Log.push_back({T, Ty});
            });
    }
    void OpenQuietly() {
        Item->OpenPhone();
        Log.clear();
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& l : Log) {
            out.push_back(l.Text);
        }
        return out;
    }
};

}  // namespace test
