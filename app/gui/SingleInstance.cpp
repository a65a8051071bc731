#include "gui/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

namespace {

// What a later start writes to the running program.
const QByteArray ShowRequest = QByteArrayLiteral("show\n");
// A Unix socket's path must fit 108 bytes with its terminating zero.
constexpr qsizetype MaxSocketPath = 100;

}  // namespace

TSingleInstance::TSingleInstance(const QString& Folder, const QString& Key, QObject* Parent)
    : QObject(Parent),
      folder_(Folder),
      name_(QStringLiteral("snaprill-") +
            QString::fromLatin1(QCryptographicHash::hash(Key.toUtf8(), QCryptographicHash::Sha256)
                                    .toHex()
                                    .left(16))) {}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::LockPath() const {
    return folder_ + QLatin1Char('/') + name_ + QStringLiteral(".lock");
}

QString TSingleInstance::SocketPath() const {
    const QString path = folder_ + QLatin1Char('/') + name_ + QStringLiteral(".socket");
    if (path.toLocal8Bit().size() <= MaxSocketPath) {
        return path;
    }
    // Too long for a socket: a name in the temporary folder, the user's own.
    return QDir::tempPath() + QLatin1Char('/') + name_ + QLatin1Char('-') +
           QString::number(::getuid()) + QStringLiteral(".socket");
}

TSingleInstance::TClaim TSingleInstance::Claim(int WaitMs) {
    if (folder_.isEmpty() || !QDir().mkpath(folder_)) {
        error_ = QStringLiteral("No runtime folder for the lock file %1").arg(LockPath());
        return TClaim::First;
    }
    lock_ = std::make_unique<QLockFile>(LockPath());
    // Held for the whole run: only a holder that is gone makes it stale.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        listen();
        return TClaim::First;
    }
    if (lock_->error() != QLockFile::LockFailedError) {
        error_ = QStringLiteral("The lock file %1 cannot be made").arg(LockPath());
        lock_.reset();
        return TClaim::First;
    }
    QString host, app;
    lock_->getLockInfo(&holderPid_, &host, &app);
    lock_.reset();

    // The holder listens from its first moments on: a start that comes while
    // it is still starting tries again until WaitMs passed.
    const QDeadlineTimer deadline(WaitMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(SocketPath());
        if (socket.waitForConnected(200)) {
            socket.write(ShowRequest);
            if (socket.waitForBytesWritten(1000)) {
                socket.disconnectFromServer();
                return TClaim::Forwarded;
            }
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return TClaim::Unanswered;
}

void TSingleInstance::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a program that died would keep the name taken; the
    // lock says that no one else uses it.
    QLocalServer::removeServer(SocketPath());
    if (!server_->listen(SocketPath())) {
        error_ = QStringLiteral("A later start cannot reach this program through %1: %2")
                     .arg(SocketPath(), server_->errorString());
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::accept);
}

void TSingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto read = [this, socket] {
            // Only the one request is understood; anything else, or more
            // than it, ends the connection unanswered.
            if (socket->bytesAvailable() < ShowRequest.size()) {
                return;
            }
            const QByteArray got = socket->read(ShowRequest.size());
            if (got == ShowRequest) {
                showAsked();
            }
            socket->abort();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();  // what arrived with the connection
    }
}

void TSingleInstance::showAsked() {
    if (onShowAsked_) {
        onShowAsked_();
    } else {
        showPending_ = true;
    }
}

void TSingleInstance::SetOnShowAsked(std::function<void()> Show) {
    onShowAsked_ = std::move(Show);
    if (showPending_ && onShowAsked_) {
        showPending_ = false;
        onShowAsked_();
    }
}
