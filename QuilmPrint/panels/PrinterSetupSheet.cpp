#include "QuilmPrint/panels/PrinterSetupSheet.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/window/Controls.h"

#include <QLabel>
#include <QVBoxLayout>

namespace QuilmPrint {

PrinterSetupSheet::PrinterSetupSheet(PrintModel* model, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("프린터 연결"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    auto* title = new QLabel(QStringLiteral("프린터 연결"), this);
    title->setFont(Theme::font(15, QFont::DemiBold));
    layout->addWidget(title);
    auto* close = new ChipButton(QStringLiteral("닫기"), ChipStyle{false, Theme::inkSecondary(), 30}, this);
    QObject::connect(close, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(560, 420);
}

} // namespace QuilmPrint
