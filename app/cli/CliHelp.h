#pragma once

// How snaprill-cli words its help and its usage errors, as the common Linux
// tools word theirs: the usage line first, plain value names, and an error
// as "snaprill-cli: MESSAGE" with a pointer to --help.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

// Help pages: "Usage: ..." first, then the description, the arguments, the
// options and the commands; a value is shown by its name alone (N, DIR),
// without the parser's types and checks.
class TCliFormatter : public CLI::Formatter {
  public:
    TCliFormatter();
    std::string make_help(const CLI::App* App, std::string Name,
                          CLI::AppFormatMode Mode) const override;
    std::string make_option_opts(const CLI::Option* Option) const override;
};

// A check of an option's value: a whole number from Min to Max. Its
// message, after the option's name, says what the value must be: "must be
// 1 or more", "must be 0 to 86400 seconds" (Unit names what it counts;
// a Max of INT_MAX or more is no bound).
CLI::Validator wholeNumber(long Min, long Max, const std::string& Unit = {});

// The message of a usage error, without the program's name: the parser's
// own words put as a person would put them. Args is the command line
// (Args[0] the program's name), Commands the names of the commands, and
// Command the command that was being read (empty for none).
std::string usageMessage(const CLI::ParseError& Error, const std::vector<std::string>& Args,
                         const std::vector<std::string>& Commands, const std::string& Command);
