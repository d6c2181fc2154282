// The one window "Quilm Print": the main view, the menu commands, and the guard that asks before the window
// closes with sheets that have not reached the printer yet.
#pragma once

#include "QuilmPrint/model/PrintModel.h"

#include <QMainWindow>

class QAction;

namespace QuilmPrint {

class AppDelegate;
class ContentView;

// The question to ask before quitting, or nothing when no sheet would be lost.
struct QuitQuestion {
    QString title;
    QString text;
};
std::optional<QuitQuestion> quitQuestion(int unsentSheets);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppDelegate* delegate, PrintModel::Environment environment = {},
                        QWidget* parent = nullptr);

    ContentView* content() const { return content_; }
    QAction* addPhotosAction() const { return addPhotos_; }
    QAction* printAction() const { return print_; }
    QAction* quitAction() const { return quit_; }
    QAction* updatesAction() const { return updates_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ContentView* content_;
    QAction* addPhotos_;
    QAction* print_;
    QAction* quit_;
    QAction* updates_;
};

} // namespace QuilmPrint
