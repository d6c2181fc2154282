#include "QuilmPrint/window/JobsPanel.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/Popover.h"
#include "QuilmPrint/window/JobRow.h"

#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace QuilmPrint {

namespace {
constexpr int panelWidth = 340;
constexpr int listHeightLimit = 480;
} // namespace

JobsPanel::JobsPanel(PrintModel* model, QWidget* parent) : QWidget(parent, Qt::Popup), model_(model) {
    setFixedWidth(panelWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);

    auto* heading = new QLabel(QStringLiteral("출력 작업"), this);
    TextStyle::sectionTitle(heading);
    heading->setContentsMargins(14, 0, 14, 0);
    heading->setFixedHeight(32);
    layout->addWidget(heading);
    layout->addWidget(new Hairline(false, this));

    empty_ = new QLabel(QStringLiteral("아직 출력한 작업이 없습니다"), this);
    empty_->setFont(Theme::font(12));
    setTextColour(empty_, Theme::inkTertiary());
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setMinimumHeight(72);
    layout->addWidget(empty_);

    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->viewport()->setAutoFillBackground(false);
    list_ = new QWidget;
    list_->setAutoFillBackground(false);
    listLayout_ = new QVBoxLayout(list_);
    listLayout_->setContentsMargins(0, 4, 0, 4);
    listLayout_->setSpacing(0);
    listLayout_->addStretch(1);
    scroll_->setWidget(list_);
    layout->addWidget(scroll_);

    QObject::connect(model_, &PrintModel::jobsChanged, this, &JobsPanel::refresh);
    refresh();
}

bool JobsPanel::showsEmptyNote() const {
    return !empty_->isHidden();
}

void JobsPanel::refresh() {
    setJobs(model_->jobs());
}

void JobsPanel::setJobs(const std::vector<PrintJobItem>& jobs) {
    std::vector<QUuid> ids;
    ids.reserve(jobs.size());
    for (const PrintJobItem& job : jobs)
        ids.push_back(job.id);
    if (ids != shown_) {
        // The list itself changed: rebuild the rows; otherwise each row follows its job in place. A row may
        // be the sender of the cancel that brought this change, so it is deleted later, but it leaves the
        // list now: its height is no longer the list's.
        for (JobRow* row : rows_) {
            listLayout_->removeWidget(row);
            row->hide();
            row->deleteLater();
        }
        rows_.clear();
        for (const PrintJobItem& job : jobs) {
            auto* row = new JobRow(job, list_);
            QObject::connect(row, &JobRow::cancelRequested, model_,
                             [this](const QUuid& id) { model_->cancel(id); });
            listLayout_->insertWidget(listLayout_->count() - 1, row);
            // A child made while the popover is closed counts in no layout until it is shown.
            row->show();
            rows_.push_back(row);
        }
        shown_ = std::move(ids);
    } else {
        for (size_t i = 0; i < jobs.size(); ++i)
            rows_[i]->setJob(jobs[i]);
    }
    empty_->setHidden(!jobs.empty());
    scroll_->setHidden(jobs.empty());
    if (isVisible() && anchor_)
        place(); // the list grew or shrank: it stays beside its button and on the screen
    else
        fit(listHeightLimit);
}

void JobsPanel::fit(int listLimit) {
    // Word-wrapped notes and states are as tall as their lines at the list's real width, which the list's
    // size hint does not know; while no scroll bar shows, that width is the panel's inside its border.
    // A row's layout learns of its labels' changes only when its turn of the event loop comes, and until then
    // the list keeps the row's old height: both are told now.
    for (QLayout* layout : list_->findChildren<QLayout*>())
        layout->invalidate();
    for (JobRow* row : rows_)
        row->updateGeometry();
    const QMargins border = layout()->contentsMargins();
    const int rows = list_->heightForWidth(width() - border.left() - border.right());
    scroll_->setFixedHeight(
        std::clamp(rows >= 0 ? rows : list_->sizeHint().height(), 0, std::max(listLimit, 0)));
    layout()->invalidate();
    adjustSize();
}

void JobsPanel::place() {
    fit(listHeightLimit);
    const QRect frame = Popover::frameFor(anchor_, size(), Popover::Side::above);
    if (frame.height() < height() && !scroll_->isHidden())
        fit(scroll_->height() - (height() - frame.height())); // the rows scroll in the room there is
    setGeometry(QRect(frame.topLeft(), size())); // the content's place, whatever frame the platform adds
}

void JobsPanel::popup(QWidget* anchor) {
    anchor_ = anchor;
    place();
    show();
}

void JobsPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::over(Theme::panelHover()));
    painter.setPen(Theme::over(Theme::border()));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace QuilmPrint
