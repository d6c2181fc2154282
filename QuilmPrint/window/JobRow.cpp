#include "QuilmPrint/window/JobRow.h"

#include "QuilmPrint/shared/Controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace QuilmPrint {

using State = PrintJobItem::State;

QString jobStateText(const PrintJobItem& job) {
    switch (job.state) {
    case State::waiting:
        return QStringLiteral("대기 중");
    case State::rendering:
        return QStringLiteral("준비 중");
    case State::sending:
        return QStringLiteral("보내는 중");
    case State::printing:
        return QStringLiteral("인쇄 중");
    case State::cancelling:
        return QStringLiteral("취소하는 중");
    case State::done:
        return QStringLiteral("완료");
    case State::cancelled:
        return QStringLiteral("취소됨");
    case State::failed:
        return job.message.isEmpty() ? QStringLiteral("실패") : job.message;
    }
    return {};
}

QColor jobStateColour(const PrintJobItem& job) {
    switch (job.state) {
    case State::waiting:
    case State::cancelled:
        return Theme::inkTertiary();
    case State::rendering:
    case State::sending:
        return Theme::inkSecondary();
    case State::printing:
        return Theme::active();
    case State::cancelling:
        return Theme::warn();
    case State::done:
        return Theme::good();
    case State::failed:
        return Theme::stop();
    }
    return Theme::inkTertiary();
}

bool jobCanBeCancelled(const PrintJobItem& job) {
    switch (job.state) {
    case State::waiting:
    case State::rendering:
    case State::sending:
    case State::printing:
        return true;
    default:
        return false;
    }
}

QString jobDetailText(const PrintJobItem& job) {
    QStringList parts{QString::fromStdString(job.queue)};
    if (job.cupsJobID > 0)
        parts << QStringLiteral("작업 ") + QString::number(job.cupsJobID);
    parts << QString::number(job.copies) + QStringLiteral("부");
    return parts.join(QStringLiteral(" · "));
}

JobRow::JobRow(const PrintJobItem& job, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 8, 14, 8);
    row->setSpacing(10);
    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    name_ = new ElidedLabel({}, this);
    name_->setFont(Theme::font(12.5, QFont::DemiBold));
    name_->setElideMode(Qt::ElideMiddle);
    detail_ = new ElidedLabel({}, this);
    detail_->setFont(Theme::font(11));
    detail_->setColour(Theme::inkTertiary());
    state_ = new QLabel(this);
    state_->setFont(Theme::font(11, QFont::DemiBold));
    state_->setWordWrap(true);
    note_ = new QLabel(this);
    TextStyle::helper(note_);
    text->addWidget(name_);
    text->addWidget(detail_);
    text->addWidget(state_);
    text->addWidget(note_);
    row->addLayout(text, 1);
    cancel_ = new ChipButton(QStringLiteral("취소"), ChipStyle{false, Theme::inkSecondary(), 24}, this);
    row->addWidget(cancel_, 0, Qt::AlignVCenter);
    QObject::connect(cancel_, &QPushButton::clicked, this, [this] { emit cancelRequested(job_.id); });
    setJob(job);
}

void JobRow::setJob(const PrintJobItem& job) {
    job_ = job;
    name_->setText(job.photoName);
    detail_->setText(jobDetailText(job));
    state_->setText(jobStateText(job));
    setTextColour(state_, jobStateColour(job));
    note_->setText(job.note);
    note_->setVisible(!job.note.isEmpty());
    cancel_->setVisible(jobCanBeCancelled(job));
}

QString JobRow::stateText() const {
    return state_->text();
}

} // namespace QuilmPrint
