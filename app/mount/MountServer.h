#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

// The mount served in the background, as FUSE tools serve theirs: the
// command starts itself again, detached from the terminal and in the
// foreground (-f), and returns once that one says the folder is mounted,
// or, when it could not mount it, with what it said and its exit status.
struct TServerStart {
    bool Mounted = false;
    int Exit = 0;       // the server's exit status, when it ended
    QByteArray Output;  // what it wrote on standard output before
    QByteArray Errors;  // and on standard error
};
// Arguments: the command line to serve with, after the program's name.
TServerStart startServer(const QStringList& Arguments);

// In a server started so: where to say it is mounted; -1 in any other run.
int serverNotice();
// Says it is mounted, and lets go of the terminal and the working folder
// of whoever started it.
void tellMounted(int Notice);

// The running servers, noted by the device of their mount ("0:52") in a
// folder of this user's, so that unmounting can wait for the server of a
// mount to let go of its phone.
void noteServer(const QString& Device);
void forgetServer(const QString& Device);
// The live process noted for Device; 0 when there is none.
pid_t serverOf(const QString& Device);
