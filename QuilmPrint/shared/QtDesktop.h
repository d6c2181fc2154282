// The desktop services on Qt: message boxes, the file dialogs, the web browser, and the desktop's file
// manager over D-Bus. The boxes are made by functions of their own so that they can be looked at without
// running their modal loop.
#pragma once

#include "QuilmPrint/shared/Desktop.h"

#include <QFileDialog>
#include <optional>

class QMessageBox;
class QPushButton;

namespace QuilmPrint {

class QtDesktop : public Desktop {
public:
    void alert(QWidget* parent, const QString& title, const QString& text) override;
    bool confirm(QWidget* parent, const QString& title, const QString& text, const QString& accept,
                 const QString& reject) override;
    std::vector<std::filesystem::path> choosePhotos(QWidget* parent, const QString& prompt) override;
    std::optional<std::filesystem::path> chooseFolder(QWidget* parent, const QString& prompt) override;
    bool openURL(const QUrl& url) override;
    void reveal(const std::filesystem::path& file, std::function<void()> refused) override;

    // An alert with one button "확인"; a confirmation whose accepting button is returned through `accepting`.
    static QMessageBox* makeAlert(QWidget* parent, const QString& title, const QString& text);
    static QMessageBox* makeConfirmation(QWidget* parent, const QString& title, const QString& text,
                                         const QString& accept, const QString& reject,
                                         QPushButton** accepting);
};

// Qt's own file dialog in a mode that takes several files, and folders as well: a folder chosen in the list
// with the accept button is returned rather than opened, while a folder typed into the name field is opened,
// as the desktop's own dialogs do. It opens large enough to show its list's columns whole.
class PhotoFileDialog : public QFileDialog {
    Q_OBJECT
public:
    PhotoFileDialog(QWidget* parent, const QString& prompt);

public slots:
    void accept() override;

private:
    // The folder that the name field's text names, if it names one.
    std::optional<QString> typedFolder() const;
};

// Qt's own file dialog choosing one folder: where exported PDFs go.
class FolderFileDialog : public QFileDialog {
public:
    FolderFileDialog(QWidget* parent, const QString& prompt);
};

} // namespace QuilmPrint
