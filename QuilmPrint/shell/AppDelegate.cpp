#include "QuilmPrint/shell/AppDelegate.h"

#include "QuilmPrint/shell/Updates.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMetaObject>
#include <QPointer>
#include <QStandardPaths>
#include <unistd.h>

namespace QuilmPrint {

namespace {
AppDelegate* sharedDelegate = nullptr;
constexpr qint64 handOverLimit = 1 << 20; // a list of paths, not a data stream
} // namespace

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {
    sharedDelegate = this;
}

AppDelegate::~AppDelegate() {
    if (sharedDelegate == this)
        sharedDelegate = nullptr;
}

AppDelegate* AppDelegate::shared() {
    return sharedDelegate;
}

void AppDelegate::applicationDidFinishLaunching() {
    Updates::shared().start();
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
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("quilm-print-%1.socket").arg(getuid()));
}

bool AppDelegate::handOver(const std::vector<std::filesystem::path>& files, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message;
    for (const std::filesystem::path& file : files)
        message += QByteArray::fromStdString(file.string()) + '\n';
    message += '\n'; // an empty line ends the list, so the receiver knows it has all of it
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The receiver closes once it has read the list: only then is the hand-over certain.
    return socket.waitForDisconnected(timeoutMs) || socket.state() == QLocalSocket::UnconnectedState;
}

bool AppDelegate::listen() {
    if (server_)
        return true;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName())) {
        // A socket left behind by an instance that crashed: nobody answered on it, so it can go.
        QLocalServer::removeServer(serverName());
        if (!server_->listen(serverName())) {
            delete server_;
            server_ = nullptr;
            return false;
        }
    }
    QObject::connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->bytesAvailable() > handOverLimit) {
                    socket->abort();
                    return;
                }
                const QByteArray all = socket->peek(socket->bytesAvailable());
                if (!all.endsWith("\n\n") && all != "\n")
                    return;
                socket->readAll();
                std::vector<std::filesystem::path> files;
                for (const QByteArray& line : all.split('\n'))
                    if (!line.isEmpty())
                        files.emplace_back(line.toStdString());
                socket->disconnectFromServer();
                open(files);
            });
        }
    });
    return true;
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
