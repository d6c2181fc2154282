// The application object: it receives the launch and the files the desktop hands over (on the command line,
// or from a second launch while this one runs), keeps those files until the main view takes them, and
// carries the three notifications by which the menu commands and the hand-over reach the main view.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <mutex>
#include <vector>

class QLocalServer;

namespace QuilmPrint {

class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // The one alive, or none.
    static AppDelegate* shared();

    // Starts the update checks once the window exists.
    void applicationDidFinishLaunching();

    // Files handed over by the desktop: kept until the main view takes them, then announced.
    void open(const std::vector<std::filesystem::path>& files);
    std::vector<std::filesystem::path> takePendingFiles();

    // The menu commands.
    void postAddPhotos() { emit quilmPrintAddPhotos(); }
    void postPrint() { emit quilmPrintPrint(); }

    // One window per user session: a second launch passes its files to the first and ends. `handOver`
    // answers true when a running instance took them; `listen` makes this instance the one that receives.
    static QString serverName();
    static bool handOver(const std::vector<std::filesystem::path>& files, int timeoutMs = 1000);
    bool listen();

    // The files named on a command line: every argument after the program that is not an option, made
    // absolute against the working folder.
    static std::vector<std::filesystem::path> filesFromArguments(const QStringList& arguments);

signals:
    void quilmPrintOpenFiles();
    void quilmPrintAddPhotos();
    void quilmPrintPrint();

private:
    std::mutex lock_; // the hand-over may come from another thread (the desktop's or the socket's)
    std::vector<std::filesystem::path> pending_;
    QLocalServer* server_ = nullptr;
};

} // namespace QuilmPrint
