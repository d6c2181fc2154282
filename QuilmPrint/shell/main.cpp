// Quilm Print: one window that prints photographs on inkjet photo printers.
#include "QuilmPrint/shared/Theme.h"
#include "QuilmPrint/shared/Translations.h"
#include "QuilmPrint/shell/AppDelegate.h"
#include "QuilmPrint/shell/MainWindow.h"

#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstdio>

using namespace QuilmPrint;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // QApplication takes the number format from the user's locale; nothing here may print numbers through it.
    std::setlocale(LC_NUMERIC, "C");
    Translations::installQtKorean(application);
    QApplication::setApplicationName(QStringLiteral("Quilm Print"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quilm Print"));
    QApplication::setDesktopFileName(AppDelegate::desktopFileName());

    AppDelegate delegate;
    const auto files = AppDelegate::filesFromArguments(QApplication::arguments());
    // A window is already open: it takes the files, and this launch ends without a window of its own.
    if (const AppDelegate::Launch launch = delegate.claim(files); launch != AppDelegate::Launch::first) {
        if (const std::optional<QString> message = AppDelegate::launchMessage(launch))
            std::fprintf(stderr, "%s\n", message->toLocal8Bit().constData());
        return launch == AppDelegate::Launch::handedOver ? 0 : 1;
    }
    delegate.open(files);

    Theme::apply(application);
    MainWindow window(&delegate);
    window.show();
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
