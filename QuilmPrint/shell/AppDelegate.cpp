#include "QuilmPrint/shell/AppDelegate.h"

#include "QuilmPrint/shell/Updates.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QUILM_DESKTOP_FILE_NAME
#define QUILM_DESKTOP_FILE_NAME "quilm-print"
#endif

namespace QuilmPrint {

namespace {

AppDelegate* sharedDelegate = nullptr;
// A list of paths, however long a command line may be, but not a data stream.
constexpr qsizetype handOverLimit = qsizetype(16) << 20;
// The receiver's word that the files are in its list.
constexpr char taken = '\x06';

// Whoever can write the folder of the lock and the socket can make them first: hold the lock so that no
// window opens, or answer on the socket and take the files. So only a folder of this user's own that nobody
// else can write serves, and never through a symbolic link, which anybody may have pointed anywhere.
bool isPrivateFolder(const QByteArray& path) {
    struct stat status {};
    return ::lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The session's runtime folder; without a private one, a folder of the user's own in the temporary folder,
// made for the user alone and checked like the runtime folder, since somebody else may have made it first.
// Empty when neither can be had.
QString privateFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return QFile::decodeName(runtime);
    const QByteArray own =
        QFile::encodeName(QDir::tempPath() + QStringLiteral("/quilm-print-%1").arg(getuid()));
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return isPrivateFolder(own) ? QFile::decodeName(own) : QString();
}

QString runtimeFile(const QString& suffix) {
    const QString folder = privateFolder();
    if (folder.isEmpty())
        return {};
    return QDir(folder).filePath(QStringLiteral("quilm-print-%1.%2").arg(getuid()).arg(suffix));
}

enum class Delivery {
    taken,      // the receiver answered that it has the files
    nobody,     // no socket, or nobody behind it
    dropped,    // the connection closed before the answer: the receiver ended, or never read the list
    unanswered, // the whole list is with the receiver, whose answer did not come in time
    notSent,    // the time ran out before the whole list was written
};

int remaining(const QDeadlineTimer& deadline) {
    return int(std::max<qint64>(deadline.remainingTime(), 0));
}

Delivery deliver(const QString& server, const QByteArray& message, const QDeadlineTimer& deadline) {
    QLocalSocket socket;
    socket.connectToServer(server);
    if (!socket.waitForConnected(remaining(deadline))) {
        // A full queue of connections also ends here, as a timeout: the receiver lives and is busy.
        return socket.error() == QLocalSocket::SocketTimeoutError ? Delivery::notSent : Delivery::nobody;
    }
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remaining(deadline)))
            return socket.state() == QLocalSocket::ConnectedState ? Delivery::notSent : Delivery::dropped;
    }
    // The receiver may be busy for a while: the list waits in its socket until it reads it.
    for (;;) {
        if (socket.bytesAvailable() > 0)
            return socket.read(1) == QByteArray(1, taken) ? Delivery::taken : Delivery::dropped;
        if (socket.state() != QLocalSocket::ConnectedState)
            return Delivery::dropped;
        if (deadline.hasExpired())
            return Delivery::unanswered;
        if (!socket.waitForReadyRead(remaining(deadline)) && socket.bytesAvailable() == 0 &&
            socket.error() != QLocalSocket::SocketTimeoutError)
            return Delivery::dropped;
    }
}

// The windows come forward for a launch that brought no files.
void raiseWindows() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->windowType() == Qt::Window) {
            window->raise();
            window->activateWindow();
        }
}

} // namespace

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {
    sharedDelegate = this;
}

AppDelegate::~AppDelegate() {
    if (sharedDelegate == this)
        sharedDelegate = nullptr;
    // The socket goes before the lock, so a launch that finds the lock free finds no socket of ours either.
    delete server_;
    server_ = nullptr;
    if (instanceLock_ >= 0)
        ::close(instanceLock_);
}

AppDelegate* AppDelegate::shared() {
    return sharedDelegate;
}

QString AppDelegate::desktopFileName() {
    return QStringLiteral(QUILM_DESKTOP_FILE_NAME);
}

void AppDelegate::applicationDidFinishLaunching() {
    Updates::shared().start();
    QTimer::singleShot(0, this, &AppDelegate::styleWindows);
}

void AppDelegate::styleWindows() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->windowType() != Qt::Window || qobject_cast<QDialog*>(window))
            continue;
        QPalette palette = window->palette();
        palette.setColor(QPalette::Window, QColor::fromRgbF(0.098f, 0.098f, 0.106f));
        window->setPalette(palette);
    }
}

void AppDelegate::open(const std::vector<std::filesystem::path>& files) {
    if (files.empty())
        return;
    {
        std::lock_guard guard(lock_);
        pending_.insert(pending_.end(), files.begin(), files.end());
    }
    // The signal belongs to the main thread, where the view that takes the files lives.
    QPointer<AppDelegate> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (self)
                emit self->quilmPrintOpenFiles();
        },
        Qt::QueuedConnection);
}

std::vector<std::filesystem::path> AppDelegate::takePendingFiles() {
    std::lock_guard guard(lock_);
    return std::exchange(pending_, {});
}

QString AppDelegate::serverName() {
    return runtimeFile(QStringLiteral("socket"));
}

QString AppDelegate::lockName() {
    return runtimeFile(QStringLiteral("lock"));
}

QByteArray AppDelegate::handOverMessage(const std::vector<std::filesystem::path>& files) {
    // A zero byte is the one byte no path holds; a line break may be part of a file name.
    QByteArray message;
    for (const std::filesystem::path& file : files)
        message += QByteArray::fromStdString(file.native()) + '\0';
    message += '\0';
    return message;
}

std::optional<std::vector<std::filesystem::path>> AppDelegate::readHandOver(const QByteArray& message) {
    std::vector<std::filesystem::path> files;
    for (qsizetype start = 0;;) {
        const qsizetype end = message.indexOf('\0', start);
        if (end < 0)
            return std::nullopt;
        if (end == start)
            return files;
        files.emplace_back(message.mid(start, end - start).toStdString());
        start = end + 1;
    }
}

AppDelegate::Launch AppDelegate::claim(const std::vector<std::filesystem::path>& files,
                                       std::chrono::milliseconds patience) {
    const QString lockFile = lockName();
    const QString server = serverName();
    // Without a private folder a launch could meet somebody else instead of its window, so it opens its own
    // window and receives no other launch's files.
    if (lockFile.isEmpty() || server.isEmpty())
        return Launch::first;
    const QDeadlineTimer deadline(patience.count());
    const QByteArray message = handOverMessage(files);
    const int lock = ::open(QFile::encodeName(lockFile).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    auto release = [&] {
        if (lock >= 0)
            ::close(lock);
    };
    for (;;) {
        // The lock ends with the process that holds it: free, no instance lives. Without a lock file (a
        // runtime folder that cannot hold one) the socket alone tells.
        const bool nobodyLives = lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) == 0;
        const Delivery delivery = deliver(server, message, deadline);
        switch (delivery) {
        case Delivery::taken:
            release();
            return Launch::handedOver;
        case Delivery::unanswered:
            release();
            return Launch::unanswered;
        case Delivery::notSent:
            release();
            return Launch::notReached;
        case Delivery::nobody:
            if (nobodyLives) {
                // A connection attempt found nobody behind the socket: it is what a crashed instance left.
                QLocalServer::removeServer(server);
                instanceLock_ = lock;
                listen(server);
                return Launch::first;
            }
            // The instance that lives is not listening yet, or no longer: look again in a moment.
            break;
        case Delivery::dropped:
            // The receiver ended before it took the list; if it is gone, the lock is free at the next look.
            break;
        }
        if (nobodyLives && lock >= 0)
            ::flock(lock, LOCK_UN);
        if (deadline.hasExpired()) {
            release();
            return Launch::notReached;
        }
        QThread::msleep(20);
    }
}

std::optional<QString> AppDelegate::launchMessage(Launch launch) {
    switch (launch) {
    case Launch::first:
    case Launch::handedOver:
        return std::nullopt;
    case Launch::unanswered:
        return QStringLiteral("열려 있는 Quilm Print 창이 응답하지 않습니다. 창이 다시 응답하면 사진이 "
                              "추가됩니다.");
    case Launch::notReached:
        return QStringLiteral("열려 있는 Quilm Print 창에 사진을 넘기지 못했습니다. 창이 응답하면 다시 "
                              "열어 주세요.");
    }
    return std::nullopt;
}

bool AppDelegate::listen(const QString& name) {
    if (server_)
        return true;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name)) {
        // The window still opens; it only cannot receive a later launch's files.
        delete server_;
        server_ = nullptr;
        return false;
    }
    QObject::connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection())
            receive(socket);
    });
    return true;
}

void AppDelegate::receive(QLocalSocket* socket) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto buffer = std::make_shared<QByteArray>();
    auto done = std::make_shared<bool>(false);
    auto read = [this, socket, buffer, done] {
        if (*done)
            return;
        *buffer += socket->readAll();
        if (buffer->size() > handOverLimit) {
            *done = true;
            socket->abort();
            return;
        }
        const std::optional<std::vector<std::filesystem::path>> files = readHandOver(*buffer);
        if (!files)
            return;
        *done = true;
        if (files->empty())
            raiseWindows();
        open(*files);
        // Only now is the hand-over certain: the launch that sent the list ends when it reads this.
        socket->write(QByteArray(1, taken));
        socket->disconnectFromServer();
    };
    QObject::connect(socket, &QLocalSocket::readyRead, this, read);
    // The list may have arrived whole before this socket was taken from the queue.
    if (socket->bytesAvailable() > 0)
        read();
}

std::vector<std::filesystem::path> AppDelegate::filesFromArguments(const QStringList& arguments) {
    std::vector<std::filesystem::path> files;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith('-'))
            continue;
        files.emplace_back(QFileInfo(argument).absoluteFilePath().toStdString());
    }
    return files;
}

} // namespace QuilmPrint
