#include "cli/CliHelp.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <regex>
#include <sstream>

TCliFormatter::TCliFormatter() {
    label("SUBCOMMAND", "COMMAND");
    label("SUBCOMMANDS", "COMMAND");
    label("Positionals", "Arguments");
    column_width(24);
}

std::string TCliFormatter::make_help(const CLI::App* App, std::string Name,
                                     CLI::AppFormatMode Mode) const {
    if (Mode == CLI::AppFormatMode::Sub) {
        return make_expanded(App);
    }
    std::ostringstream out;
    out << make_usage(App, Name) << '\n' << make_description(App);
    out << make_positionals(App) << make_groups(App, Mode) << make_subcommands(App, Mode);
    out << '\n' << make_footer(App);
    return out.str();
}

std::string TCliFormatter::make_option_opts(const CLI::Option* Option) const {
    if (Option->get_type_size() == 0) {
        return {};  // a flag
    }
    std::string out;
    if (!Option->get_positional() && !Option->get_type_name().empty()) {
        out += ' ' + Option->get_type_name();
    }
    if (Option->get_expected_max() == CLI::detail::expected_max_vector_size) {
        out += " ...";
    }
    return out;
}

CLI::Validator wholeNumber(long Min, long Max, const std::string& Unit) {
    std::string range = Max >= std::numeric_limits<int>::max()
                            ? std::to_string(Min) + " or more"
                            : std::to_string(Min) + " to " + std::to_string(Max);
    if (!Unit.empty()) {
        range += ' ' + Unit;
    }
    return CLI::Validator(
        [Min, Max, range](std::string& Text) -> std::string {
            long value = 0;
            const char* end = Text.data() + Text.size();
            const auto [at, error] = std::from_chars(Text.data(), end, value);
            if (Text.empty() || error != std::errc() || at != end || value < Min || value > Max) {
                return "must be " + range;
            }
            return {};
        },
        "", "");
}

std::string usageMessage(const CLI::ParseError& Error, const std::vector<std::string>& Args,
                         const std::vector<std::string>& Commands, const std::string& Command) {
    const std::string what = Error.what();
    std::smatch m;
    // The first word that is not an option (nor --wait's value) names the command.
    for (size_t i = 1; i < Args.size() && Command.empty(); ++i) {
        const std::string& a = Args[i];
        if (a == "--wait") {
            ++i;
        } else if (!a.empty() && a.front() != '-') {
            if (std::find(Commands.begin(), Commands.end(), a) == Commands.end()) {
                return "unknown command '" + a + "'";
            }
            break;
        }
    }
    if (what == "A subcommand is required") {
        if (Command.empty()) {
            std::string list;
            for (size_t i = 0; i < Commands.size(); ++i) {
                list += (i == 0 ? "" : i + 1 == Commands.size() ? " or " : ", ") + Commands[i];
            }
            return "a command is needed: " + list;
        }
        return Command + " needs one of list, add or remove";
    }
    static const std::regex extra("The following arguments? (?:was|were) not expected: (\\S+).*");
    if (std::regex_match(what, m, extra)) {
        const std::string word = m[1];
        return (word.front() == '-' ? "unknown option '" : "unexpected argument '") + word + "'";
    }
    static const std::regex missingValue("(-\\S+): \\d+ required (\\S+) missing");
    if (std::regex_match(what, m, missingValue)) {
        return std::string(m[1]) + " needs a value (" + std::string(m[2]) + ")";
    }
    static const std::regex required("(\\S+) is required");
    if (std::regex_match(what, m, required)) {
        return (Command.empty() ? std::string() : Command + ": ") + "missing " + std::string(m[1]);
    }
    static const std::regex option("(--?[A-Za-z-]+): (.*)");
    if (std::regex_match(what, m, option)) {
        return std::string(m[1]) + ' ' + std::string(m[2]);
    }
    std::string out = what;
    if (!out.empty()) {
        out.front() = static_cast<char>(std::tolower(static_cast<unsigned char>(out.front())));
    }
    return out;
}
