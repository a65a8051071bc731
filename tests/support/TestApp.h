#pragma once

// The one application object of a test or benchmark program, of the kind
// that program needs (core, GUI or widgets), made on first use and never
// destroyed: Qt objects made by any test may outlive the test.

#include <QString>
#include <ostream>

namespace test {

template <class TApp>
TApp& programApp(const char* Name) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(Name), nullptr};
    static TApp* app = new TApp(argc, argv);
    return *app;
}

}  // namespace test

// Texts in failure messages, readable.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}
