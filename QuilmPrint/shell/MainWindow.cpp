#include "QuilmPrint/shell/MainWindow.h"

#include "QuilmPrint/shared/Desktop.h"
#include "QuilmPrint/shell/AppDelegate.h"
#include "QuilmPrint/shell/AppIcon.h"
#include "QuilmPrint/shell/ContentView.h"
#include "QuilmPrint/shell/Updates.h"

#include <QCloseEvent>
#include <QMenuBar>

namespace QuilmPrint {

std::optional<QuitQuestion> quitQuestion(int unsentSheets) {
    if (unsentSheets < 1)
        return std::nullopt;
    return QuitQuestion{QStringLiteral("보내지 않은 장 ") + QString::number(unsentSheets) +
                            QStringLiteral("장이 있습니다"),
                        QStringLiteral("지금 종료하면 아직 프린터로 보내지 않은 장은 출력되지 않습니다.")};
}

MainWindow::MainWindow(AppDelegate* delegate, PrintModel::Environment environment, QWidget* parent)
    : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Quilm Print"));
    setObjectName(QStringLiteral("main"));
    content_ = new ContentView(std::move(environment), this);
    setCentralWidget(content_);
    setWindowIcon(AppIcon::icon());
    resize(1280, 820);

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
