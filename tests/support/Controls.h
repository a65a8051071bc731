#pragma once

// A window's controls found as a language file finds them: by object name.

#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

namespace test {

// The control named Name (exactly), of type T; a test that names a control
// the window lacks fails with that name.
template <class T>
T* control(const QObject& Window, const char* Name) {
    T* found = Window.findChild<T*>(QString::fromLatin1(Name));
    if (!found) {
        throw std::runtime_error(std::string("no control named ") + Name);
    }
    return found;
}

}  // namespace test
