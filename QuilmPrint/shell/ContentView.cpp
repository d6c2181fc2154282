#include "QuilmPrint/shell/ContentView.h"

#include "QuilmPrint/panels/PrinterSetupSheet.h"
#include "QuilmPrint/panels/RecipeInspector.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/Desktop.h"
#include "QuilmPrint/shell/AppDelegate.h"
#include "QuilmPrint/shell/SplitMemory.h"
#include "QuilmPrint/window/ActionBar.h"
#include "QuilmPrint/window/PhotoSidebar.h"
#include "QuilmPrint/window/SheetPreview.h"

#include <QDialog>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTimer>
#include <QVBoxLayout>

namespace QuilmPrint {

namespace {

const QString splitName = QStringLiteral("QuilmPrint.main");

std::vector<std::filesystem::path> localFiles(const QMimeData* data) {
    std::vector<std::filesystem::path> files;
    if (!data)
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files.emplace_back(url.toLocalFile().toStdString());
    return files;
}

// Drawn above the panes while files are dragged over the window; it takes no mouse or drop events itself.
class DropOverlay : public QWidget {
public:
    explicit DropOverlay(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor wash = Theme::active();
        wash.setAlphaF(0.08f);
        painter.fillRect(rect(), wash);
        painter.setPen(QPen(Theme::active(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(3, 3, -3, -3), 10, 10);
    }
};

// The dividers between the panes are hairlines painted by the handles themselves. A style sheet on the
// splitter would do the same, but it would also take over the drawing of every field and list inside the
// panes and replace their rounded plates with the style sheet's square boxes.
class HairlineHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::hairline());
    }
};

class HairlineSplitter : public QSplitter {
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle* createHandle() override { return new HairlineHandle(orientation(), this); }
};

} // namespace

ContentView::ContentView(PrintModel::Environment environment, QWidget* parent) : QWidget(parent) {
    if (!environment.settings)
        environment.settings = PrintModel::defaultSettings();
    settings_ = environment.settings;
    model_ = new PrintModel(std::move(environment), this);
    setAcceptDrops(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeHeader());
    column->addWidget(new Hairline(false, this));

    split_ = new HairlineSplitter(Qt::Horizontal, this);
    split_->setChildrenCollapsible(false);
    split_->setHandleWidth(1);
    sidebar_ = new PhotoSidebar(model_, split_);
    sidebar_->setMinimumWidth(220);
    sidebar_->setMaximumWidth(400);
    auto* centre = new QWidget(split_);
    auto* centreColumn = new QVBoxLayout(centre);
    centreColumn->setContentsMargins(0, 0, 0, 0);
    centreColumn->setSpacing(0);
    preview_ = new SheetPreview(model_, centre);
    centreColumn->addWidget(preview_, 1);
    centreColumn->addWidget(new Hairline(false, centre));
    actionBar_ = new ActionBar(model_, centre);
    centreColumn->addWidget(actionBar_);
    inspector_ = new RecipeInspector(model_, split_);
    split_->addWidget(sidebar_);
    split_->addWidget(centre);
    split_->addWidget(inspector_);
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    split_->setStretchFactor(2, 0);
    split_->setSizes({268, 712, 300});
    column->addWidget(split_, 1);
    SplitMemory::remember(preview_, splitName, settings_);

    dropOverlay_ = new DropOverlay(this);

    auto* save = new QShortcut(QKeySequence::Save, this);
    QObject::connect(save, &QShortcut::activated, this, [this] {
        if (save_->isEnabled())
            model_->saveRecipe();
    });

    for (auto signal : {&PrintModel::printersChanged, &PrintModel::recipeChanged, &PrintModel::setupChanged})
        QObject::connect(model_, signal, this, [this] { refresh_.schedule(); });
    QObject::connect(model_, &PrintModel::noticeChanged, this, &ContentView::refreshNotice);
    QObject::connect(model_, &PrintModel::failureChanged, this, &ContentView::scheduleFailure);
    QObject::connect(model_, &PrintModel::setupChanged, this, &ContentView::syncSetupSheet);
    if (AppDelegate* delegate = AppDelegate::shared()) {
        QObject::connect(delegate, &AppDelegate::quilmPrintOpenFiles, this, &ContentView::openPendingFiles);
        QObject::connect(delegate, &AppDelegate::quilmPrintAddPhotos, this,
                         &ContentView::addPhotosFromChooser);
        QObject::connect(delegate, &AppDelegate::quilmPrintPrint, this, &ContentView::printIfNothingBlocks);
    }
    refresh();
    refreshNotice();
}

ContentView::~ContentView() = default;

QWidget* ContentView::makeHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(14, 9, 14, 9);
    row->setSpacing(8);

    const ChipStyle menuChip{true, Theme::inkSecondary(), 30};
    printerButton_ = new ChipButton({}, menuChip, header);
    printerButton_->setAccessibleName(QStringLiteral("프린터"));
    printerMenu_ = new QMenu(printerButton_);
    printerButton_->setMenu(printerMenu_);
    QObject::connect(printerMenu_, &QMenu::aboutToShow, this, &ContentView::fillPrinterMenu);
    row->addWidget(printerButton_);

    recipeButton_ = new ChipButton({}, menuChip, header);
    recipeButton_->setAccessibleName(QStringLiteral("레시피"));
    recipeMenu_ = new QMenu(recipeButton_);
    recipeButton_->setMenu(recipeMenu_);
    QObject::connect(recipeMenu_, &QMenu::aboutToShow, this, &ContentView::fillRecipeMenu);
    row->addWidget(recipeButton_);

    row->addSpacing(10);
    noticeSpinner_ = new Spinner(14, header);
    row->addWidget(noticeSpinner_);
    notice_ = new ElidedLabel({}, header);
    notice_->setFont(Theme::font(12.5));
    notice_->setColour(Theme::inkSecondary());
    notice_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    row->addWidget(notice_, 1);
    reveal_ = new ChipButton(QStringLiteral("파일 관리자에서 보기"),
                             ChipStyle{false, Theme::inkSecondary(), 24}, header);
    QObject::connect(reveal_, &QPushButton::clicked, this, [this] {
        if (model_->notice() && model_->notice()->reveal)
            revealOrTell(this, *model_->notice()->reveal);
    });
    row->addWidget(reveal_);

    save_ = new ChipButton(QStringLiteral("저장"), ChipStyle{false, Theme::inkSecondary(), 30}, header);
    save_->setToolTip(QStringLiteral("레시피 저장 (Ctrl+S)"));
    QObject::connect(save_, &QPushButton::clicked, model_, &PrintModel::saveRecipe);
    row->addWidget(save_);
    return header;
}

void ContentView::fillPrinterMenu() {
    printerMenu_->clear();
    const std::optional<std::string> selected = model_->printerID();
    for (const PrinterChoice& printer : model_->printers()) {
        const std::string queue = printer.queue.name;
        QString title = QString::fromStdString(printer.name());
        if (printer.name() != queue)
            title += QStringLiteral(" (") + QString::fromStdString(queue) + ')';
        QAction* action =
            printerMenu_->addAction(title, this, [this, queue] { model_->selectPrinter(queue); });
        action->setCheckable(true);
        action->setChecked(selected == queue);
    }
    if (model_->printers().empty()) {
        printerMenu_
            ->addAction(model_->isLoadingPrinters() ? QStringLiteral("프린터를 찾는 중…")
                                                    : QStringLiteral("프린터가 없습니다"))
            ->setEnabled(false);
    }
    printerMenu_->addSeparator();
    printerMenu_->addAction(QStringLiteral("프린터 연결…"), this, [this] { model_->setShowingSetup(true); });
}

void ContentView::fillRecipeMenu() {
    recipeMenu_->clear();
    const auto& current = model_->recipe();
    const std::vector<PrintKit::PaperRecipe> stored = model_->storedRecipes();
    for (const PrintKit::PaperRecipe& recipe : stored) {
        const PrintKit::Uuid id = recipe.id;
        QAction* action = recipeMenu_->addAction(QString::fromStdString(recipe.name), this,
                                                 [this, id] { model_->chooseRecipe(id); });
        action->setCheckable(true);
        action->setChecked(current && current->id == id);
    }
    if (stored.empty())
        recipeMenu_->addAction(QStringLiteral("저장된 레시피가 없습니다"))->setEnabled(false);
    recipeMenu_->addSeparator();
    recipeMenu_->addAction(QStringLiteral("새 레시피"), model_, &PrintModel::newRecipe);
    recipeMenu_->addAction(QStringLiteral("이름 바꾸기…"), this, &ContentView::askForName)
        ->setEnabled(current.has_value());
    recipeMenu_->addAction(QStringLiteral("삭제…"), this, &ContentView::confirmDelete)
        ->setEnabled(model_->savedRecipe().has_value());
}

void ContentView::refresh() {
    const PrinterChoice* printer = model_->selectedPrinter();
    QString printerTitle;
    if (printer)
        printerTitle = QString::fromStdString(printer->name());
    else if (model_->isLoadingPrinters())
        printerTitle = QStringLiteral("프린터를 찾는 중…");
    else
        printerTitle = QStringLiteral("프린터를 고르세요");
    printerButton_->setMenuLabel(
        MenuChipLabel{Symbol::printer, printerTitle, QFont::DemiBold, Qt::ElideRight});
    printerButton_->setMaximumWidth(320);

    const auto& recipe = model_->recipe();
    const QString recipeTitle = recipe ? QString::fromStdString(recipe->name) : QStringLiteral("레시피 없음");
    recipeButton_->setMenuLabel(MenuChipLabel{Symbol::document, recipeTitle, QFont::Normal, Qt::ElideRight});
    recipeButton_->setMaximumWidth(280);
    recipeButton_->setEnabled(model_->printerID().has_value());

    save_->setEnabled(recipe.has_value() && recipe != model_->savedRecipe());
}

QString ContentView::noticeText() const {
    return notice_->text();
}

void ContentView::refreshNotice() {
    const std::optional<Notice>& notice = model_->notice();
    notice_->setText(notice ? notice->text : QString());
    notice_->setToolTip(notice ? notice->text : QString());
    noticeSpinner_->setVisible(notice && notice->working);
    reveal_->setVisible(notice && notice->reveal.has_value());
}

void ContentView::scheduleFailure() {
    // The alert runs a modal loop: never inside the model's own signal.
    if (failurePending_ || model_->failure().isEmpty())
        return;
    failurePending_ = true;
    QTimer::singleShot(0, this, &ContentView::showFailure);
}

void ContentView::showFailure() {
    failurePending_ = false;
    const QString message = model_->failure();
    if (message.isEmpty())
        return;
    model_->clearFailure();
    Desktop::shared().alert(window(), QStringLiteral("문제가 생겼습니다"), message);
}

QDialog* ContentView::setupSheet() const {
    return setupSheet_.data();
}
QDialog* ContentView::nameSheet() const {
    return nameSheet_.data();
}

void ContentView::syncSetupSheet() {
    if (model_->showingSetup() && !setupSheet_) {
        auto* sheet = new PrinterSetupSheet(model_, window());
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        sheet->setWindowModality(Qt::WindowModal);
        QObject::connect(sheet, &QDialog::finished, model_,
                         [model = model_] { model->setShowingSetup(false); });
        setupSheet_ = sheet;
        sheet->open();
    } else if (!model_->showingSetup() && setupSheet_) {
        setupSheet_->close();
    }
}

void ContentView::askForName() {
    const auto& recipe = model_->recipe();
    if (!recipe || nameSheet_)
        return;
    auto* sheet = new QDialog(window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setWindowTitle(QStringLiteral("레시피 이름"));
    auto* column = new QVBoxLayout(sheet);
    column->setContentsMargins(18, 16, 18, 14);
    column->setSpacing(12);
    auto* title = new QLabel(QStringLiteral("레시피 이름"), sheet);
    title->setFont(Theme::font(13, QFont::DemiBold));
    column->addWidget(title);
    nameField_ = new QLineEdit(QString::fromStdString(recipe->name), sheet);
    nameField_->setFont(Theme::font(13));
    nameField_->setMinimumWidth(280);
    nameField_->selectAll();
    column->addWidget(nameField_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new ChipButton(QStringLiteral("취소"), ChipStyle{false, Theme::inkSecondary(), 30}, sheet);
    auto* rename =
        new ChipButton(QStringLiteral("이름 바꾸기"), ProminentChipStyle{Theme::active(), 30}, sheet);
    rename->setDefault(true);
    buttons->addWidget(cancel);
    buttons->addWidget(rename);
    column->addLayout(buttons);
    QObject::connect(cancel, &QPushButton::clicked, sheet, &QDialog::reject);
    QObject::connect(rename, &QPushButton::clicked, sheet, &QDialog::accept);
    QObject::connect(nameField_, &QLineEdit::returnPressed, sheet, &QDialog::accept);
    QObject::connect(nameField_, &QLineEdit::textChanged, rename,
                     [rename](const QString& text) { rename->setEnabled(!text.trimmed().isEmpty()); });
    QObject::connect(sheet, &QDialog::accepted, model_, [this] {
        const QString name = nameField_->text().trimmed();
        if (!name.isEmpty())
            model_->rename(name);
    });
    QObject::connect(sheet, &QObject::destroyed, this, [this] { nameField_ = nullptr; });
    nameSheet_ = sheet;
    sheet->open();
    nameField_->setFocus();
}

void ContentView::confirmDelete() {
    const auto saved = model_->savedRecipe();
    if (!saved)
        return;
    const bool accepted =
        Desktop::shared().confirm(window(), QStringLiteral("레시피를 삭제할까요?"),
                                  QStringLiteral("“") + QString::fromStdString(saved->name) +
                                      QStringLiteral("” 레시피를 지웁니다. 되돌릴 수 없습니다."),
                                  QStringLiteral("삭제"), QStringLiteral("취소"));
    if (accepted)
        model_->deleteRecipe();
}

void ContentView::openPendingFiles() {
    if (!started_)
        return; // taken when the view is first shown, after the model has started
    if (AppDelegate* delegate = AppDelegate::shared()) {
        const std::vector<std::filesystem::path> files = delegate->takePendingFiles();
        if (files.empty())
            return;
        model_->addPhotos(files);
        // Files from a second launch: the window that takes them comes forward.
        window()->raise();
        window()->activateWindow();
    }
}

void ContentView::addPhotosFromChooser() {
    const std::vector<std::filesystem::path> chosen =
        Desktop::shared().choosePhotos(window(), QStringLiteral("출력할 사진이나 폴더를 선택하세요"));
    if (!chosen.empty())
        model_->addPhotos(chosen);
}

void ContentView::printIfNothingBlocks() {
    if (!printBlockReason(*model_))
        model_->printAll();
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (started_)
        return;
    started_ = true;
    model_->start();
    openPendingFiles();
}

void ContentView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::windowGradient(QRectF(rect())));
}

void ContentView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    dropOverlay_->setGeometry(rect());
}

void ContentView::setTargeted(bool on) {
    targeted_ = on;
    dropOverlay_->setGeometry(rect());
    dropOverlay_->setVisible(on);
    if (on)
        dropOverlay_->raise();
}

void ContentView::dragEnterEvent(QDragEnterEvent* event) {
    if (localFiles(event->mimeData()).empty())
        return;
    event->acceptProposedAction();
    setTargeted(true);
}

void ContentView::dragMoveEvent(QDragMoveEvent* event) {
    if (!localFiles(event->mimeData()).empty())
        event->acceptProposedAction();
}

void ContentView::dragLeaveEvent(QDragLeaveEvent*) {
    setTargeted(false);
}

void ContentView::dropEvent(QDropEvent* event) {
    setTargeted(false);
    const std::vector<std::filesystem::path> files = localFiles(event->mimeData());
    if (files.empty())
        return;
    event->acceptProposedAction();
    model_->addPhotos(files);
}

} // namespace QuilmPrint
