#include "QuilmPrint/window/ActionBar.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/Desktop.h"
#include "QuilmPrint/window/JobsPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>
#include <QTimer>

namespace QuilmPrint {

using State = PrintJobItem::State;

std::optional<QString> printBlockReason(const PrintModel& model) {
    const Outcome<PreparedSheet> sheet = model.tryPrepare();
    if (!sheet.ok())
        return sheet.error;
    if (sheetCount(model) == 0)
        return QStringLiteral("출력할 사진이 없습니다");
    return std::nullopt;
}

int sheetCount(const PrintModel& model) {
    if (model.photosPerSheet() == PhotosPerSheet::many)
        return int(model.gridPages().size());
    return int(model.photos().size());
}

QString printSummary(const PrintModel& model) {
    QString text = QString::number(sheetCount(model)) + QStringLiteral("장");
    if (model.copies() > 1)
        text += QStringLiteral(" × ") + QString::number(model.copies()) + QStringLiteral("부");
    if (const PrinterChoice* printer = model.selectedPrinter())
        text += QStringLiteral(" · ") + QString::fromStdString(printer->name());
    return text;
}

int activeJobCount(const PrintModel& model) {
    int count = 0;
    for (const PrintJobItem& job : model.jobs())
        if (job.state != State::done && job.state != State::cancelled && job.state != State::failed)
            ++count;
    return count;
}

bool jobBeingPrepared(const PrintModel& model) {
    for (const PrintJobItem& job : model.jobs())
        if (job.state == State::rendering || job.state == State::sending)
            return true;
    return false;
}

ActionBar::ActionBar(PrintModel* model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 10, 14, 10);
    row->setSpacing(8);

    status_ = new ElidedLabel({}, this);
    status_->setFont(Theme::font(12.5));
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    row->addWidget(status_, 1);

    auto* copiesTitle = new QLabel(QStringLiteral("매수"), this);
    copiesTitle->setFont(Theme::font(12.5));
    setTextColour(copiesTitle, Theme::inkSecondary());
    row->addWidget(copiesTitle);
    copies_ = new CountField(this);
    copies_->setRange(1, 99);
    copies_->setFixedSize(62, 26);
    copies_->setAccessibleName(QStringLiteral("매수"));
    row->addWidget(copies_);
    row->addSpacing(4);

    const ChipStyle chip{false, Theme::inkSecondary(), 30};
    export_ = new ChipButton(QStringLiteral("PDF로 내보내기…"), chip, this);
    row->addWidget(export_);
    jobs_ = new ChipButton({}, chip, this);
    jobs_->setSymbol(Symbol::listBullet);
    jobs_->setToolTip(QStringLiteral("출력 작업"));
    jobs_->setAccessibleName(QStringLiteral("출력 작업"));
    row->addWidget(jobs_);
    print_ = new ChipButton(QStringLiteral("출력"), ProminentChipStyle{Theme::active(), 30}, this);
    print_->setToolTip(QStringLiteral("출력 (Ctrl+P)"));
    row->addWidget(print_);

    QObject::connect(copies_, &QSpinBox::valueChanged, model_,
                     [this](int value) { model_->setCopies(value); });
    QObject::connect(export_, &QPushButton::clicked, this, &ActionBar::exportPDFs);
    QObject::connect(jobs_, &QPushButton::clicked, this, &ActionBar::showJobs);
    QObject::connect(print_, &QPushButton::clicked, this, [this] {
        if (!printBlockReason(*model_))
            model_->printAll();
    });
    for (auto signal : {&PrintModel::printersChanged, &PrintModel::recipeChanged,
                        &PrintModel::profilesChanged, &PrintModel::photosChanged, &PrintModel::layoutChanged,
                        &PrintModel::jobsChanged, &PrintModel::setupChanged})
        QObject::connect(model_, signal, this, [this] { refresh_.schedule(); });
    refresh();
}

QString ActionBar::statusText() const {
    return status_->text();
}
QColor ActionBar::statusColour() const {
    return status_->colour();
}

void ActionBar::refresh() {
    const std::optional<QString> blocked = printBlockReason(*model_);
    if (blocked) {
        status_->setText(*blocked);
        // An empty list is no fault, only nothing to do yet.
        status_->setColour(sheetCount(*model_) == 0 && model_->tryPrepare().ok() ? Theme::inkTertiary()
                                                                                 : Theme::warn());
    } else {
        status_->setText(printSummary(*model_));
        status_->setColour(Theme::inkSecondary());
    }
    print_->setEnabled(!blocked);
    export_->setEnabled(!blocked);
    {
        const QSignalBlocker quiet(copies_);
        copies_->setValue(model_->copies());
    }
    const int active = activeJobCount(*model_);
    jobs_->setText(active > 0 ? QString::number(active) : QString());
    jobs_->setSymbolBusy(jobBeingPrepared(*model_));
}

void ActionBar::showJobs() {
    if (!panel_)
        panel_ = new JobsPanel(model_, this);
    panel_->popup(jobs_);
}

void ActionBar::exportPDFs() {
    if (printBlockReason(*model_))
        return;
    const auto folder =
        Desktop::shared().chooseFolder(window(), QStringLiteral("PDF를 저장할 폴더를 선택하세요"));
    if (folder)
        model_->exportPDFs(*folder);
}

} // namespace QuilmPrint
