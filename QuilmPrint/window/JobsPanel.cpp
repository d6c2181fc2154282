#include "QuilmPrint/window/JobsPanel.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/window/JobRow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

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
    const std::vector<PrintJobItem>& jobs = model_->jobs();
    std::vector<QUuid> ids;
    ids.reserve(jobs.size());
    for (const PrintJobItem& job : jobs)
        ids.push_back(job.id);
    if (ids != shown_) {
        // The list itself changed: rebuild the rows; otherwise each row follows its job in place.
        for (JobRow* row : rows_)
            row->deleteLater();
        rows_.clear();
        for (const PrintJobItem& job : jobs) {
            auto* row = new JobRow(job, list_);
            QObject::connect(row, &JobRow::cancelRequested, model_,
                             [this](const QUuid& id) { model_->cancel(id); });
            listLayout_->insertWidget(listLayout_->count() - 1, row);
            rows_.push_back(row);
        }
        shown_ = std::move(ids);
    } else {
        for (size_t i = 0; i < jobs.size(); ++i)
            rows_[i]->setJob(jobs[i]);
    }
    empty_->setHidden(!jobs.empty());
    scroll_->setHidden(jobs.empty());
    list_->adjustSize();
    const int wanted = list_->sizeHint().height();
    scroll_->setFixedHeight(std::min(wanted, listHeightLimit));
    adjustSize();
}

void JobsPanel::popup(QWidget* anchor) {
    refresh();
    adjustSize();
    const QPoint topRight = anchor->mapToGlobal(QPoint(anchor->width(), 0));
    QPoint at(topRight.x() - width(), topRight.y() - height() - 6);
    const QScreen* screen = anchor->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    if (area.isValid()) {
        if (at.y() < area.top())
            at.setY(anchor->mapToGlobal(QPoint(0, anchor->height() + 6)).y());
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
    }
    move(at);
    show();
}

void JobsPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::over(Theme::panelHover()));
    painter.setPen(Theme::over(Theme::border()));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace QuilmPrint
