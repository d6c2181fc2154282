#include "QuilmPrint/panels/MachineRow.h"

#include "QuilmPrint/shared/Controls.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cmath>

namespace QuilmPrint {

namespace MachineRows {

QString statusText(const MachineRowValues& row) {
    // An install that is still recorded once the driver is there says nothing the check mark does not.
    if (row.hasDriver)
        return QStringLiteral("드라이버 설치 완료 · 프린터를 켜면 위에서 연결");
    if (!row.install)
        return QStringLiteral("드라이버 미설치");
    return installText(*row.install, false);
}

RowControl control(const MachineRowValues& row) {
    if (row.hasDriver)
        return {};
    return installControl(row.install, false, {});
}

} // namespace MachineRows

MachineRow::MachineRow(QWidget* parent)
    : SetupRowFrame(parent),
      symbol_(new SymbolView(Symbol::arrowDownCircle, 16, Theme::inkSecondary(), this)),
      name_(new ElidedLabel({}, this)), status_(new StatusLines(2, this)),
      control_(new RowControlView(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(0);
    symbol_->setFixedSize(28, int(std::ceil(symbolSide(16))));
    layout->addWidget(symbol_, 0, Qt::AlignVCenter);
    layout->addSpacing(12);
    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    name_->setFont(Theme::font(12.5, QFont::DemiBold));
    name_->setColour(Theme::ink());
    status_->setFont(Theme::font(11));
    status_->setColour(Theme::inkTertiary());
    column->addWidget(name_);
    column->addWidget(status_);
    layout->addLayout(column, 1);
    layout->addSpacing(12 + 8 + 12);
    layout->addWidget(control_, 0, Qt::AlignVCenter);
    QObject::connect(control_, &RowControlView::triggered, this,
                     [this](RowAction action) { runRowAction(action, actions_); });
}

void MachineRow::set(const MachineRowValues& values, RowActions actions) {
    actions_ = std::move(actions);
    values_ = values;
    symbol_->setSymbol(values.hasDriver ? Symbol::checkmarkCircle : Symbol::arrowDownCircle);
    symbol_->setColour(values.hasDriver ? Theme::good() : Theme::inkSecondary());
    name_->setText(values.name);
    status_->setText(MachineRows::statusText(values));
    control_->set(MachineRows::control(values));
}

} // namespace QuilmPrint
