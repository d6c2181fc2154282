// The one window "Quilm Print": the main view, the menu commands, and the guard that asks before the window
// closes with sheets that have not reached the printer yet.
#pragma once

#include "QuilmPrint/model/PrintModel.h"

#include <QMainWindow>
#include <QMargins>
#include <QRect>

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

// Where the window opens on a screen whose free area is `available`, with `frame` the margins the window
// manager adds (none where unknown): at `preferred` when the area holds it with its frame, the window manager
// then placing it; otherwise at the largest size the area holds, never below `minimum`, and placed there.
struct OpeningFrame {
    QSize size;                    // of the window's content, without the frame
    std::optional<QPoint> topLeft; // of the frame
    bool operator==(const OpeningFrame&) const = default;
};
OpeningFrame openingFrame(QSize preferred, QSize minimum, const QRect& available, const QMargins& frame);

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
    bool event(QEvent* event) override;

private:
    // Sizes the window for its screen; again once the window manager's frame is known, which it is only
    // after the window is shown.
    void fitToScreen();

    bool frameKnown_ = false;
    ContentView* content_;
    QAction* addPhotos_;
    QAction* print_;
    QAction* quit_;
    QAction* updates_;
};

} // namespace QuilmPrint
