// A launch of the program without its window, for the one-window tests: it claims the session's window
// exactly as the program does and writes on its output what it became and each file it takes.
//   instance-probe [--busy-until FILE] [--patience MS] [--] FILES…
// The first line is "first", "handed-over", "unanswered" or "not-reached". A first one then writes
// "file PATH" for every file it takes (its own from the command line too; the path percent-encoded, so one
// with a line break stays on its line) and runs until its input closes.
// With --busy-until it first keeps its event loop blocked until FILE exists, as a window busy with work does.
#include "QuilmPrint/shell/AppDelegate.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>
#include <cstdio>
#include <unistd.h>

using QuilmPrint::AppDelegate;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QString busyUntil;
    std::chrono::milliseconds patience = std::chrono::seconds(60);
    QStringList arguments{QCoreApplication::arguments().value(0)};
    const QStringList given = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < given.size(); ++i) {
        if (given[i] == "--busy-until" && i + 1 < given.size())
            busyUntil = given[++i];
        else if (given[i] == "--patience" && i + 1 < given.size())
            patience = std::chrono::milliseconds(given[++i].toLongLong());
        else
            arguments << given[i];
    }
    const auto files = AppDelegate::filesFromArguments(arguments);

    AppDelegate delegate;
    const AppDelegate::Launch launch = delegate.claim(files, patience);
    const char* words[] = {"first", "handed-over", "unanswered", "not-reached"};
    std::printf("%s\n", words[int(launch)]);
    std::fflush(stdout);
    if (launch != AppDelegate::Launch::first)
        return launch == AppDelegate::Launch::handedOver ? 0 : 1;

    QObject::connect(&delegate, &AppDelegate::quilmPrintOpenFiles, [&delegate] {
        for (const std::filesystem::path& file : delegate.takePendingFiles())
            std::printf("file %s\n",
                        QByteArray::fromStdString(file.native()).toPercentEncoding("/").constData());
        std::fflush(stdout);
    });
    delegate.open(files);
    while (!busyUntil.isEmpty() && !QFileInfo::exists(busyUntil))
        QThread::msleep(20);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char byte;
        if (::read(STDIN_FILENO, &byte, 1) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    return QCoreApplication::exec();
}
