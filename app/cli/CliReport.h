#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <iosfwd>

#include "cli/CliOptions.h"

// What a command has to say and the exit status it adds up to: results on
// standard output (as text, or as one JSON document at the end), errors on
// standard error as one plain sentence each. Text from outside (phone
// names, file names) is printed with its control characters shown as "?",
// so that a hostile name cannot drive the terminal.
class TCliReport {
  public:
    TCliReport(std::ostream& Out, std::ostream& Err) : out_(Out), err_(Err) {}

    void SetStyle(bool Json, bool Quiet) {
        json_ = Json;
        quiet_ = Quiet;
    }
    bool Json() const { return json_; }
    bool Quiet() const { return quiet_; }

    // A line of the command's result (text output only).
    void Print(const QString& Line);
    // A line about one file (text output without -q).
    void PrintFile(const QString& Line);
    // A note on standard error (not with -q).
    void Note(const QString& Sentence);
    // An error sentence on standard error, also kept in the JSON document.
    void Error(const QString& Sentence);
    // An error that makes the exit status Code (at least).
    void Fail(TCliExit Code, const QString& Sentence) {
        Error(Sentence);
        Raise(Code);
    }
    // Makes the exit status Code, unless one that comes first is set: 2, 3,
    // 4, then 1.
    void Raise(TCliExit Code);
    int Exit() const { return exit_; }

    // The JSON document's fields.
    QJsonObject& Doc() { return doc_; }
    // Prints the JSON document (when asked for) and returns the exit status.
    int Finish();

    // Runs before anything is printed, so that a progress line can be cleared.
    std::function<void()> BeforePrint;

  private:
    void line(std::ostream& To, const QString& Text);

    std::ostream& out_;
    std::ostream& err_;
    bool json_ = false;
    bool quiet_ = false;
    int exit_ = ExitOk;
    QJsonObject doc_;
    QJsonArray errors_;
};

// Text from outside as a terminal may show it: control characters as "?".
QString shownText(const QString& Text);
// A size as a person reads it, in 1024s: "912 B", "3.0 kB", "77.8 MB",
// "1.2 GB" (one decimal from a kB up).
QString humanSize(int64_t Bytes);
