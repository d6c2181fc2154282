// The application object: it receives the launch and the files the desktop hands over (on the command line,
// or from a second launch while this one runs), keeps those files until the main view takes them, and
// carries the three notifications by which the menu commands and the hand-over reach the main view.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace QuilmPrint {

class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // The one alive, or none.
    static AppDelegate* shared();

    // The name of the desktop entry that starts the program ("NAME.desktop"), which the desktop uses to find
    // the program's icon and name for its windows.
    static QString desktopFileName();

    // Once the window exists: starts the update checks, then, one event-loop turn later, dresses the windows.
    void applicationDidFinishLaunching();
    // Gives every titled window that is not a dialog the window colour.
    static void styleWindows();

    // Files handed over by the desktop: kept until the main view takes them, then announced.
    void open(const std::vector<std::filesystem::path>& files);
    std::vector<std::filesystem::path> takePendingFiles();

    // The menu commands.
    void postAddPhotos() { emit quilmPrintAddPhotos(); }
    void postPrint() { emit quilmPrintPrint(); }

    // One window per user session. A launch first claims it: while an instance lives (it holds a lock that
    // ends with its process), the launch hands its files to that instance over a local socket and waits
    // until the instance says it has taken them, however busy it is, up to `patience`; only when no instance
    // lives, and a connection attempt finds nobody behind the socket, does it remove a socket left behind and
    // become the instance that receives. The lock and the socket live in a folder that is the user's own and
    // that nobody else can write: the runtime folder, else one made for the user in the temporary folder;
    // without either the launch opens its window (first) and receives no other launch's files.
    enum class Launch {
        first,      // no window lives: this launch opens it
        handedOver, // the living window took the files and said so
        unanswered, // the living window holds the files but did not answer in time; it takes them later
        notReached, // a window lives but the files could not be passed to it
    };
    Launch claim(const std::vector<std::filesystem::path>& files,
                 std::chrono::milliseconds patience = std::chrono::seconds(60));
    // What a launch that ends without a window says on its error output, or nothing.
    static std::optional<QString> launchMessage(Launch launch);
    // Their paths; empty without a private folder for them.
    static QString serverName();
    static QString lockName();

    // The files named on a command line: every argument after the program that is not an option, made
    // absolute against the working folder.
    static std::vector<std::filesystem::path> filesFromArguments(const QStringList& arguments);

    // The hand-over on the socket: each path followed by a zero byte, and one more zero byte at the end.
    // readHandOver answers the list once the message is complete, nothing while it is not.
    static QByteArray handOverMessage(const std::vector<std::filesystem::path>& files);
    static std::optional<std::vector<std::filesystem::path>> readHandOver(const QByteArray& message);

signals:
    void quilmPrintOpenFiles();
    void quilmPrintAddPhotos();
    void quilmPrintPrint();

private:
    bool listen(const QString& name);
    void receive(QLocalSocket* socket);

    std::mutex lock_; // the hand-over may come from another thread (the desktop's or the socket's)
    std::vector<std::filesystem::path> pending_;
    QLocalServer* server_ = nullptr;
    int instanceLock_ = -1; // held for the life of the instance that owns the window
};

} // namespace QuilmPrint
