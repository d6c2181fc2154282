#include "QuilmPrint/shell/MainWindow.h"

#include "QuilmPrint/shared/Desktop.h"
#include "QuilmPrint/shell/AppDelegate.h"
#include "QuilmPrint/shell/AppIcon.h"
#include "QuilmPrint/shell/ContentView.h"
#include "QuilmPrint/shell/Updates.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace QuilmPrint {

std::optional<QuitQuestion> quitQuestion(int unsentSheets) {
    if (unsentSheets < 1)
        return std::nullopt;
    return QuitQuestion{QStringLiteral("보내지 않은 장 ") + QString::number(unsentSheets) +
                            QStringLiteral("장이 있습니다"),
                        QStringLiteral("지금 종료하면 아직 프린터로 보내지 않은 장은 출력되지 않습니다.")};
}

namespace {
// The size the window asks for where the screen has room.
constexpr QSize preferredSize(1280, 820);

// The window manager's frame around the window; none before the window exists on the screen, and on X11 none
// until the window manager has framed it.
QMargins frameMargins(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}
} // namespace

OpeningFrame openingFrame(QSize preferred, QSize minimum, const QRect& available, const QMargins& frame) {
    const QSize room = available.size().shrunkBy(frame);
    if (preferred.width() <= room.width() && preferred.height() <= room.height())
        return {preferred, std::nullopt};
    const QSize size = preferred.boundedTo(room).expandedTo(minimum);
    const QSize outer = size.grownBy(frame);
    // Centred across the free area, at its top; a window larger than the area starts at its top left, where
    // its title bar and menus stay in reach.
    const int x = available.x() + std::max(0, (available.width() - outer.width()) / 2);
    return {size, QPoint(x, available.y())};
}

MainWindow::MainWindow(AppDelegate* delegate, PrintModel::Environment environment, QWidget* parent)
    : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Quilm Print"));
    setObjectName(QStringLiteral("main"));
    content_ = new ContentView(std::move(environment), this);
    setCentralWidget(content_);
    setWindowIcon(AppIcon::icon());

    QMenu* file = menuBar()->addMenu(QStringLiteral("파일"));
    addPhotos_ = file->addAction(QStringLiteral("사진 추가…"));
    addPhotos_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    print_ = file->addAction(QStringLiteral("출력"));
    print_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    file->addSeparator();
    quit_ = file->addAction(QStringLiteral("종료"));
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QMenu* help = menuBar()->addMenu(QStringLiteral("도움말"));
    updates_ = help->addAction(QStringLiteral("업데이트 확인…"));

    // The commands only announce themselves; the main view decides what happens.
    if (delegate) {
        QObject::connect(addPhotos_, &QAction::triggered, delegate, &AppDelegate::postAddPhotos);
        QObject::connect(print_, &QAction::triggered, delegate, &AppDelegate::postPrint);
    }
    QObject::connect(quit_, &QAction::triggered, this, &QWidget::close);
    QObject::connect(updates_, &QAction::triggered, this, [this] { Updates::shared().checkCommand(this); });
    fitToScreen(); // with the menu bar, whose height is part of the window's minimum
}

void MainWindow::fitToScreen() {
    const QScreen* shown = screen();
    if (!shown || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const OpeningFrame opening = openingFrame(preferredSize, minimumSizeHint().expandedTo(minimumSize()),
                                              shown->availableGeometry(), frameMargins(*this));
    resize(opening.size);
    if (opening.topLeft)
        move(*opening.topLeft); // a window's position is its frame's
}

bool MainWindow::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    // A window's frame is known once it is shown, or only when the window manager has framed it and moved it
    // some moments later: the first of these that brings a frame decides the size once more, before anybody
    // could have resized the window.
    const QEvent::Type type = event->type();
    if (!frameKnown_ && (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize) &&
        isVisible()) {
        if (!frameMargins(*this).isNull()) {
            frameKnown_ = true;
            fitToScreen();
        }
    }
    return handled;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const std::optional<QuitQuestion> question = quitQuestion(content_->model()->unsentSheets());
    if (question && !Desktop::shared().confirm(this, question->title, question->text, QStringLiteral("종료"),
                                               QStringLiteral("취소"))) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace QuilmPrint
