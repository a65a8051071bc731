// The shipped udev rules, read as udev reads them and run over the devices a
// phone shows in each mode: the user at the seat gets access (the uaccess tag,
// which the seat rules numbered 73 act on) and ModemManager is told to keep
// away from the phone, while other vendors' devices are left as they are.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const std::filesystem::path RulesFile =
    std::filesystem::path(SNAPRILL_SOURCE_DIR) / "resources/udev/70-snaprill.rules";

struct TKey {
    std::string Name;  // ACTION, ENV, ATTRS ...
    std::string Attr;  // inside {}
    std::string Op;    // == != = += :=
    std::string Value;
};
using TRule = std::vector<TKey>;

// One rule line: comma-separated KEY{attr}OP"value" pairs. False on
// anything else.
bool parseRule(const std::string& Line, TRule& Rule) {
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < Line.size() && (Line[i] == ' ' || Line[i] == '\t' || Line[i] == ',')) {
            ++i;
        }
    };
    for (skipBlanks(); i < Line.size(); skipBlanks()) {
        TKey k;
        while (i < Line.size() && (std::isupper(uint8_t(Line[i])) || Line[i] == '_')) {
            k.Name += Line[i++];
        }
        if (i < Line.size() && Line[i] == '{') {
            size_t close = Line.find('}', i);
            if (close == std::string::npos) {
                return false;
            }
            k.Attr = Line.substr(i + 1, close - i - 1);
            i = close + 1;
        }
        for (const char* op : {"==", "!=", "+=", "-=", ":=", "="}) {
            if (Line.compare(i, std::strlen(op), op) == 0) {
                k.Op = op;
                i += k.Op.size();
                break;
            }
        }
        if (k.Name.empty() || k.Op.empty() || i >= Line.size() || Line[i] != '"') {
            return false;
        }
        size_t end = Line.find('"', i + 1);
        if (end == std::string::npos) {
            return false;
        }
        k.Value = Line.substr(i + 1, end - i - 1);
        i = end + 1;
        Rule.push_back(k);
    }
    return !Rule.empty();
}

std::vector<TRule> readRules(std::vector<std::string>& Errors) {
    std::ifstream in(RulesFile);
    std::vector<TRule> rules;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') {
            continue;
        }
        TRule rule;
        if (!parseRule(line, rule)) {
            Errors.push_back("line " + std::to_string(number) + ": " + line);
        } else {
            rules.push_back(rule);
        }
    }
    return rules;
}

// A device as udev sees it: its own properties and attributes, and the
// attributes of its parents (ATTRS looks at the device and every parent).
struct TDevice {
    const char* What;
    std::string Action = "add";
    std::string Subsystem;
    std::string Kernel;
    std::map<std::string, std::string> Env;
    std::map<std::string, std::string> Attrs;
    std::vector<std::map<std::string, std::string>> Parents;
};

// What the rules did to a device.
struct TOutcome {
    std::set<std::string> Tags;
    std::map<std::string, std::string> Env;
    std::vector<std::string> Unknown;  // keys this reader does not evaluate
};

// udev's match: shell patterns with "|" between alternatives.
bool patternMatches(const std::string& Pattern, const std::string& Value) {
    size_t start = 0;
    while (true) {
        size_t bar = Pattern.find('|', start);
        std::string one = Pattern.substr(start, bar == std::string::npos ? bar : bar - start);
        if (fnmatch(one.c_str(), Value.c_str(), 0) == 0) {
            return true;
        }
        if (bar == std::string::npos) {
            return false;
        }
        start = bar + 1;
    }
}

bool keyMatches(const TKey& K, const TDevice& D, const TOutcome& O,
                std::vector<std::string>& Unknown) {
    auto value = [](const std::map<std::string, std::string>& M,
                    const std::string& Name) -> const std::string* {
        auto it = M.find(Name);
        return it == M.end() ? nullptr : &it->second;
    };
    bool positive = K.Op == "==";
    auto test = [&](const std::string* V) {
        return (V != nullptr && patternMatches(K.Value, *V)) == positive;
    };
    if (K.Name == "ACTION") {
        return test(&D.Action);
    }
    if (K.Name == "SUBSYSTEM") {
        return test(&D.Subsystem);
    }
    if (K.Name == "KERNEL") {
        return test(&D.Kernel);
    }
    if (K.Name == "ENV") {
        const std::string* v = value(O.Env, K.Attr);
        return test(v != nullptr ? v : value(D.Env, K.Attr));
    }
    if (K.Name == "ATTR") {
        return test(value(D.Attrs, K.Attr));
    }
    if (K.Name == "ATTRS" && positive) {
        if (test(value(D.Attrs, K.Attr))) {
            return true;
        }
        for (const auto& parent : D.Parents) {
            if (test(value(parent, K.Attr))) {
                return true;
            }
        }
        return false;
    }
    Unknown.push_back(K.Name + K.Op);
    return false;
}

TOutcome apply(const std::vector<TRule>& Rules, const TDevice& D) {
    TOutcome o;
    std::string skipTo;  // a GOTO's label
    for (const TRule& rule : Rules) {
        if (!skipTo.empty()) {
            if (rule.size() == 1 && rule[0].Name == "LABEL" && rule[0].Value == skipTo) {
                skipTo.clear();
            }
            continue;
        }
        bool matched = true;
        for (const TKey& k : rule) {
            if ((k.Op == "==" || k.Op == "!=") && !keyMatches(k, D, o, o.Unknown)) {
                matched = false;
                break;
            }
        }
        if (!matched) {
            continue;
        }
        for (const TKey& k : rule) {
            if (k.Op == "==" || k.Op == "!=") {
                continue;
            }
            if (k.Name == "TAG" && k.Op == "+=") {
                o.Tags.insert(k.Value);
            } else if (k.Name == "ENV" && k.Op == "=") {
                o.Env[k.Attr] = k.Value;
            } else if (k.Name == "GOTO") {
                skipTo = k.Value;
            } else if (k.Name != "LABEL") {
                o.Unknown.push_back(k.Name + k.Op);
            }
        }
    }
    return o;
}

std::map<std::string, std::string> Motorola(const char* Product) {
    return {{"idVendor", "22b8"}, {"idProduct", Product}};
}

}  // namespace

TEST(UdevRules, NumberedBeforeTheSeatRulesAndReadable) {
    const std::string name = RulesFile.filename().string();
    ASSERT_GE(name.size(), 3u);
    EXPECT_LT(std::stoi(name.substr(0, 2)), 73) << name;
    EXPECT_EQ(name.substr(name.size() - 6), ".rules");
    std::vector<std::string> errors;
    EXPECT_FALSE(readRules(errors).empty());
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST(UdevRules, PhonesInBothModesOpenToTheSeatAndIgnoredByModemManager) {
    std::vector<std::string> errors;
    const std::vector<TRule> rules = readRules(errors);
    const std::map<std::string, std::string> usbDevice = {{"DEVTYPE", "usb_device"}};
    const std::map<std::string, std::string> usbInterface = {{"DEVTYPE", "usb_interface"}};
    struct TCase {
        TDevice Device;
        bool Access;
        bool ModemManagerIgnores;
    };
    const std::vector<TCase> cases = {
        {{"phone in P2K mode", "add", "usb", "1-1", usbDevice, Motorola("4901"), {}}, true, true},
        {{"phone in modem mode", "add", "usb", "1-1", usbDevice, Motorola("4902"), {}}, true, true},
        {{"the modem's port",
          "add",
          "tty",
          "ttyACM0",
          {},
          {{"dev", "166:0"}},
          {{{"bInterfaceClass", "02"}}, Motorola("4902")}},
         true,
         true},
        {{"the port, re-triggered",
          "change",
          "tty",
          "ttyACM3",
          {},
          {},
          {{{"bInterfaceClass", "02"}}, Motorola("4902")}},
         true,
         true},
        {{"the P2K interface",
          "add",
          "usb",
          "1-1:1.8",
          usbInterface,
          {{"bInterfaceNumber", "08"}},
          {Motorola("4901")}},
         false,
         false},
        {{"another vendor's modem port",
          "add",
          "tty",
          "ttyACM0",
          {},
          {},
          {{{"bInterfaceClass", "02"}}, {{"idVendor", "1004"}, {"idProduct", "6000"}}}},
         false,
         false},
        {{"another vendor's device",
          "add",
          "usb",
          "1-2",
          usbDevice,
          {{"idVendor", "1004"}, {"idProduct", "6000"}},
          {}},
         false,
         false},
        {{"a serial port of the board", "add", "tty", "ttyS0", {}, {}, {}}, false, false},
        {{"the phone unplugged", "remove", "usb", "1-1", usbDevice, Motorola("4901"), {}},
         false,
         false},
    };
    for (const TCase& c : cases) {
        const TOutcome o = apply(rules, c.Device);
        EXPECT_TRUE(o.Unknown.empty()) << c.Device.What << ": " << o.Unknown.front();
        EXPECT_EQ(o.Tags.count("uaccess") == 1, c.Access) << c.Device.What;
        const auto mm = o.Env.find("ID_MM_DEVICE_IGNORE");
        EXPECT_EQ(mm != o.Env.end() && mm->second == "1", c.ModemManagerIgnores) << c.Device.What;
    }
}
