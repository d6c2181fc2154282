#include "QuilmPrint/panels/SetupRow.h"

#include "QuilmPrint/shared/Controls.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QTextLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace QuilmPrint {

using Status = PrintKit::SetupStatus::Kind;
using Install = DriverInstall::Kind;

QString installHelp() {
    return QStringLiteral(
        "Epson 서버에서 이 기종의 공식 설치 프로그램을 받아 엽니다. Epson 서명이 확인된 것만 엽니다.");
}

QString downloadingText(double fraction) {
    // A fraction outside 0…1 (or none at all) would show a percentage that cannot be; the bar clamps the
    // same way. The small allowance keeps 0.29 from reading 28, since 0.29 × 100 is 28.999… in binary.
    const double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    const int percent = int(std::floor(clamped * 100 + 1e-9));
    return QStringLiteral("드라이버 받는 중 ") + QString::number(percent) + QStringLiteral("%");
}

RowControl RowControl::button(QString text, RowAction action, bool prominent, QString help) {
    RowControl control;
    control.kind = Kind::button;
    control.text = std::move(text);
    control.action = action;
    control.prominent = prominent;
    control.help = std::move(help);
    return control;
}

RowControl RowControl::bar(double fraction) {
    RowControl control;
    control.kind = Kind::progress;
    control.progress = fraction;
    return control;
}

RowControl RowControl::spinning() {
    RowControl control;
    control.kind = Kind::spinner;
    return control;
}

QString installText(const DriverInstall& install, bool connectsWhenDone) {
    switch (install.kind) {
    case Install::downloading:
        return downloadingText(install.fraction);
    case Install::failed:
        return install.message;
    case Install::finding:
        return QStringLiteral("Epson 서버에서 드라이버 찾는 중");
    case Install::installerOpen:
        return connectsWhenDone ? QStringLiteral("Epson 설치 화면에서 계속 · 설치가 끝나면 자동으로 연결")
                                : QStringLiteral("Epson 설치 화면에서 계속");
    case Install::noInstaller:
        break;
    }
    return QStringLiteral("Epson 서버에 이 기종 설치 파일 없음 · Epson 지원 페이지에서 받기");
}

RowControl installControl(const std::optional<DriverInstall>& install, bool prominent,
                          const QString& reopenHelp) {
    if (!install)
        return RowControl::button(QStringLiteral("드라이버 설치"), RowAction::download, prominent,
                                  installHelp());
    switch (install->kind) {
    case Install::downloading:
        return RowControl::bar(install->fraction);
    case Install::failed:
        return RowControl::button(QStringLiteral("다시 시도"), RowAction::download, prominent, installHelp());
    case Install::finding:
        return RowControl::spinning();
    case Install::installerOpen:
        return RowControl::button(QStringLiteral("설치 화면"), RowAction::reopen, false, reopenHelp);
    case Install::noInstaller:
        break;
    }
    return RowControl::button(QStringLiteral("지원 페이지"), RowAction::supportPage);
}

namespace SetupRows {

QString statusText(const SetupRowValues& row) {
    switch (row.status.kind) {
    case Status::connected:
        return QStringLiteral("연결 완료 · ") + QString::fromStdString(row.status.queue);
    case Status::canConnect:
        return QStringLiteral("Epson 드라이버 설치됨 · 연결 대기");
    case Status::needsDriver:
        break;
    }
    if (!row.install)
        return QStringLiteral("Epson 드라이버 미설치 · 설치 버튼 → Epson 설치 화면 → 자동 연결");
    return installText(*row.install, true);
}

QColor statusColour(const PrintKit::SetupStatus& status) {
    switch (status.kind) {
    case Status::connected:
        return Theme::good();
    case Status::canConnect:
        return Theme::inkSecondary();
    case Status::needsDriver:
        break;
    }
    return Theme::warn();
}

RowControl control(const SetupRowValues& row) {
    switch (row.status.kind) {
    case Status::connected: {
        RowControl use = RowControl::button(
            row.isCurrent ? QStringLiteral("사용 중") : QStringLiteral("사용"), RowAction::use);
        use.enabled = !row.isCurrent;
        return use;
    }
    case Status::canConnect: {
        RowControl connect = RowControl::button(QStringLiteral("연결"), RowAction::connect, true);
        connect.enabled = !row.isConnecting;
        connect.busy = row.isConnecting;
        return connect;
    }
    case Status::needsDriver:
        break;
    }
    return installControl(row.install, true, QStringLiteral("Epson 설치 화면을 닫았다면 다시 엽니다"));
}

} // namespace SetupRows

void runRowAction(RowAction action, const RowActions& actions, const std::string& queue) {
    auto call = [](const std::function<void()>& function) {
        if (function)
            function();
    };
    switch (action) {
    case RowAction::none:
        return;
    case RowAction::use:
        if (actions.use)
            actions.use(queue);
        return;
    case RowAction::connect:
        return call(actions.connect);
    case RowAction::download:
        return call(actions.download);
    case RowAction::reopen:
        return call(actions.reopen);
    case RowAction::supportPage:
        return call(actions.supportPage);
    }
}

// ---- Frame ----

SetupRowFrame::SetupRowFrame(QWidget* parent) : QWidget(parent) {
    // Not fixed in height: a status that wraps onto its second line makes the row taller.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void SetupRowFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::panel());
    painter.drawRoundedRect(QRectF(rect()), 10, 10);
}

// ---- Trailing control ----

namespace {
constexpr int chipHeight = 30;
constexpr int barWidth = 80;
constexpr int barHeight = 4;
constexpr int spinnerSide = 16;
} // namespace

RowControlView::RowControlView(QWidget* parent)
    : QWidget(parent), button_(new ChipButton({}, ChipStyle{false, Theme::inkSecondary(), chipHeight}, this)),
      progress_(new ProgressBar(0, barHeight, Theme::active(), this)),
      spinner_(new Spinner(spinnerSide, this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    progress_->setFixedWidth(barWidth);
    layout->addWidget(button_, 0, Qt::AlignVCenter);
    layout->addWidget(progress_, 0, Qt::AlignVCenter);
    layout->addWidget(spinner_, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QObject::connect(button_, &QPushButton::clicked, this, [this] { emit triggered(control_.action); });
    set({});
}

void RowControlView::set(const RowControl& control) {
    control_ = control;
    using Kind = RowControl::Kind;
    if (control.kind == Kind::button) {
        if (control.prominent)
            button_->setProminentStyle(ProminentChipStyle{Theme::active(), chipHeight});
        else
            button_->setChipStyle(ChipStyle{false, Theme::inkSecondary(), chipHeight});
        button_->setText(control.text);
        button_->setEnabled(control.enabled);
        button_->setBusy(control.busy);
        button_->setToolTip(control.help);
    } else {
        button_->setBusy(false);
    }
    progress_->setValue(control.progress);
    button_->setVisible(control.kind == Kind::button);
    progress_->setVisible(control.kind == Kind::progress);
    spinner_->setVisible(control.kind == Kind::spinner);
    setHidden(control.kind == Kind::nothing);
}

// ---- Status lines ----

StatusLines::StatusLines(int maximumLines, QWidget* parent)
    : QWidget(parent), maximumLines_(std::max(1, maximumLines)), colour_(Theme::inkTertiary()) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void StatusLines::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    updateGeometry();
    update();
}

void StatusLines::setColour(const QColor& colour) {
    if (colour == colour_)
        return;
    colour_ = colour;
    update();
}

QStringList StatusLines::lines(int width) const {
    QStringList result;
    if (text_.isEmpty() || width <= 0)
        return result;
    QTextLayout layout(text_, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (result.size() + 1 == maximumLines_) {
            // The last line that may be shown takes the rest of the text, elided.
            const QString rest = text_.mid(line.textStart()).simplified();
            result << QFontMetricsF(font()).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        result << text_.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return result;
}

int StatusLines::heightForWidth(int width) const {
    const int count = std::max<qsizetype>(1, lines(width).size());
    return int(std::ceil(QFontMetricsF(font()).lineSpacing() * count));
}

QSize StatusLines::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {int(std::ceil(metrics.horizontalAdvance(text_))) + 1, int(std::ceil(metrics.lineSpacing()))};
}

QSize StatusLines::minimumSizeHint() const {
    return {0, int(std::ceil(QFontMetricsF(font()).lineSpacing()))};
}

void StatusLines::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(colour_);
    const QFontMetricsF metrics(font());
    double y = 0;
    for (const QString& line : lines(width())) {
        painter.drawText(QRectF(0, y, width(), metrics.lineSpacing()), Qt::AlignLeft | Qt::AlignVCenter,
                         line);
        y += metrics.lineSpacing();
    }
}

// ---- Set-up row ----

SetupRow::SetupRow(QWidget* parent)
    : SetupRowFrame(parent), symbol_(new SymbolView(Symbol::printer, 18, Theme::warn(), this)),
      title_(new ElidedLabel({}, this)), status_(new StatusLines(2, this)),
      control_(new RowControlView(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(0);
    symbol_->setFixedSize(28, int(std::ceil(symbolSide(18))));
    layout->addWidget(symbol_, 0, Qt::AlignVCenter);
    layout->addSpacing(12);
    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    title_->setFont(Theme::font(13, QFont::DemiBold));
    title_->setColour(Theme::ink());
    status_->setFont(Theme::font(11));
    column->addWidget(title_);
    column->addWidget(status_);
    layout->addLayout(column, 1);
    // The flexible space of at least 8 between the text and the control, with the row's spacing either side.
    layout->addSpacing(12 + 8 + 12);
    layout->addWidget(control_, 0, Qt::AlignVCenter);
    QObject::connect(control_, &RowControlView::triggered, this, &SetupRow::act);
}

void SetupRow::set(const SetupRowValues& values, RowActions actions) {
    actions_ = std::move(actions);
    values_ = values;
    const QColor colour = SetupRows::statusColour(values.status);
    symbol_->setColour(colour);
    title_->setText(values.title);
    status_->setText(SetupRows::statusText(values));
    status_->setColour(colour);
    control_->set(SetupRows::control(values));
}

void SetupRow::act(RowAction action) {
    runRowAction(action, actions_, values_.status.queue);
}

} // namespace QuilmPrint
