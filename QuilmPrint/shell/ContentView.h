// The main view of the one window. It makes the one PrintModel and lays out the header (printer and recipe
// menus, notices, save), the three panes in a split that remembers its dividers (photos, sheet preview with
// the action bar, recipe inspector), and presents what the model asks for: the problem alert, the printer
// set-up sheet, the recipe's rename sheet and delete confirmation. Dropped files and folders become photos.
#pragma once

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/shared/CoalescedRefresh.h"

#include <QPointer>
#include <QWidget>

class QDialog;
class QLineEdit;
class QMenu;
class QSettings;
class QSplitter;

namespace QuilmPrint {

class ActionBar;
class ChipButton;
class ElidedLabel;
class PhotoSidebar;
class PrinterSetupSheet;
class RecipeInspector;
class SheetPreview;
class Spinner;

class ContentView : public QWidget {
    Q_OBJECT
public:
    // The settings file of `environment` (or the user's defaults) also keeps the split.
    explicit ContentView(PrintModel::Environment environment = {}, QWidget* parent = nullptr);
    ~ContentView() override;

    PrintModel* model() const { return model_; }

    // What the notifications ask for.
    void openPendingFiles();
    void addPhotosFromChooser();
    void printIfNothingBlocks();

    // Recipe commands of the header.
    void askForName();
    void confirmDelete();

    ChipButton* printerMenuButton() const { return printerButton_; }
    ChipButton* recipeMenuButton() const { return recipeButton_; }
    QMenu* printerMenu() const { return printerMenu_; }
    QMenu* recipeMenu() const { return recipeMenu_; }
    ChipButton* saveButton() const { return save_; }
    ActionBar* actionBar() const { return actionBar_; }
    QSplitter* splitter() const { return split_; }
    QString noticeText() const;
    ChipButton* revealButton() const { return reveal_; }
    QDialog* setupSheet() const;
    QDialog* nameSheet() const;
    QLineEdit* nameField() const { return nameField_; }
    bool isTargeted() const { return targeted_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* makeHeader();
    void fillPrinterMenu();
    void fillRecipeMenu();
    void refresh();
    void refreshNotice();
    void scheduleFailure();
    void showFailure();
    void syncSetupSheet();
    void setTargeted(bool on);

    std::shared_ptr<QSettings> settings_;
    PrintModel* model_;
    ChipButton* printerButton_;
    ChipButton* recipeButton_;
    QMenu* printerMenu_;
    QMenu* recipeMenu_;
    ChipButton* save_;
    Spinner* noticeSpinner_;
    ElidedLabel* notice_;
    ChipButton* reveal_;
    QSplitter* split_;
    PhotoSidebar* sidebar_;
    SheetPreview* preview_;
    RecipeInspector* inspector_;
    ActionBar* actionBar_;
    QWidget* dropOverlay_;
    QPointer<PrinterSetupSheet> setupSheet_;
    QPointer<QDialog> nameSheet_;
    QLineEdit* nameField_ = nullptr;
    bool started_ = false;
    bool targeted_ = false;
    CoalescedRefresh refresh_{this, [this] { refresh(); }};
    bool failurePending_ = false;
};

} // namespace QuilmPrint
