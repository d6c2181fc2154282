#include "QuilmPrint/shared/Desktop.h"

#include "QuilmPrint/shared/QtDesktop.h"

#include <QFileInfo>
#include <QPointer>

namespace QuilmPrint {

namespace {

std::unique_ptr<Desktop>& installed() {
    static std::unique_ptr<Desktop> desktop;
    return desktop;
}

} // namespace

Desktop& Desktop::shared() {
    std::unique_ptr<Desktop>& desktop = installed();
    if (!desktop)
        desktop = std::make_unique<QtDesktop>();
    return *desktop;
}

void Desktop::install(std::unique_ptr<Desktop> desktop) {
    installed() = std::move(desktop);
}

// The address or the folder stands on a line of its own, whole where it fits, to be read or copied.
void openOrTell(QWidget* parent, const QUrl& url) {
    if (!Desktop::shared().openURL(url))
        Desktop::shared().alert(
            parent, QStringLiteral("웹 페이지를 열지 못했습니다"),
            QStringLiteral("웹 페이지를 열 프로그램이 없습니다. 브라우저에서 이 주소를 직접 여세요:\n") +
                url.toString());
}

void revealOrTell(QWidget* parent, const std::filesystem::path& file) {
    const QString folder = QFileInfo(QString::fromStdString(file.string())).absolutePath();
    // The answer may come after the window that asked has gone; the alert is said all the same.
    Desktop::shared().reveal(file, [parent = QPointer<QWidget>(parent), folder] {
        Desktop::shared().alert(parent.data(), QStringLiteral("폴더를 열지 못했습니다"),
                                QStringLiteral("파일 관리자를 열지 못했습니다. 이 폴더를 직접 여세요:\n") +
                                    folder);
    });
}

} // namespace QuilmPrint
