#include "QuilmPrint/panels/PrinterSetupSheet.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/MachineRow.h"
#include "QuilmPrint/panels/SetupRow.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/Desktop.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace QuilmPrint {

namespace SetupSheet {

Region regionOf(const QLocale& locale) {
    Region region;
    if (locale.territory() != QLocale::AnyTerritory) {
        const QString code = QLocale::territoryToCode(locale.territory());
        if (!code.isEmpty())
            region.code = code.toStdString();
    }
    if (region.code)
        region.name = locale.nativeTerritoryName();
    if (region.name.isEmpty())
        region.name = QStringLiteral("기본");
    return region;
}

QString salesNameHint(const Region& region) {
    return region.name + QStringLiteral(" 판매 이름");
}

MachineListing machineListing(const std::optional<std::string>& region) {
    const PrintKit::EpsonMarket market = PrintKit::EpsonMarkets::of(region);
    MachineListing listing;
    if (market == PrintKit::EpsonMarket::japan) {
        listing.supportNote = true;
        return listing;
    }
    for (const PrintKit::EpsonMachine& machine : PrintKit::EpsonMachines::all())
        listing.names.push_back(QStringLiteral("EPSON ") + QString::fromStdString(machine.name(market)));
    return listing;
}

QUrl supportPage(const std::optional<std::string>& region) {
    return QUrl(QString::fromStdString(PrintKit::EpsonMarkets::supportPage(region)));
}

QString machineInstallID(const PrintKit::EpsonMachine& machine) {
    return QStringLiteral("machine:") + QString::fromStdString(machine.bundle);
}

QString emptyHeadline(bool foundAny) {
    return foundAny ? QStringLiteral("새 Epson 프린터 없음")
                    : QStringLiteral("Epson 프린터를 찾지 못했습니다");
}

QString airPrintLine(const std::string& queue, const std::optional<std::string>& epsonQueue) {
    const QString name = QString::fromStdString(queue);
    if (epsonQueue)
        return name + QStringLiteral(" — 같은 프린터의 Epson 드라이버 연결(") +
               QString::fromStdString(*epsonQueue) + QStringLiteral(")로 인쇄");
    return name + QStringLiteral(" — Epson 드라이버 연결 없음. 프린터를 켜고 위에서 연결");
}

} // namespace SetupSheet

namespace {

constexpr int sheetWidth = 540;
constexpr int sheetHeight = 520;
constexpr int stackSpacing = 6;

QLabel* label(const QString& text, const QFont& font, const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    setTextColour(label, colour);
    return label;
}

QLabel* sectionTitle(const QString& text, QWidget* parent) {
    auto* title = new QLabel(text, parent);
    TextStyle::sectionTitle(title);
    title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return title;
}

QLabel* hint(const QString& text, QWidget* parent) {
    auto* hint = new QLabel(text, parent);
    TextStyle::helper(hint);
    return hint;
}

// A list of rows stacked 6 apart, grown or shrunk to the count asked for; rows keep their place so that a
// row being pressed is not swapped out under the pointer.
template <typename Row> void resizeRows(std::vector<Row*>& rows, std::size_t count, QWidget* list) {
    while (rows.size() > count) {
        rows.back()->hide();
        rows.back()->deleteLater();
        rows.pop_back();
    }
    while (rows.size() < count) {
        auto* row = new Row(list);
        list->layout()->addWidget(row);
        rows.push_back(row);
    }
}

QWidget* rowList(QWidget* parent) {
    auto* list = new QWidget(parent);
    auto* layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    return list;
}

} // namespace

PrinterSetupSheet::PrinterSetupSheet(PrintModel* model, QWidget* parent)
    : QDialog(parent), model_(model), tick_(new QTimer(this)) {
    setWindowTitle(QStringLiteral("프린터 연결"));
    setFixedSize(sheetWidth, sheetHeight);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::base());
    setPalette(palette);
    tick_->setInterval(tickInterval);
    QObject::connect(tick_, &QTimer::timeout, model_, [model = model_] { model->refreshDrivers(); });

    auto* sheet = new QVBoxLayout(this);
    sheet->setContentsMargins(0, 0, 0, 0);
    sheet->setSpacing(0);

    // Header
    auto* header = new QHBoxLayout;
    header->setContentsMargins(18, 14, 18, 14);
    header->setSpacing(10);
    auto* heading = new QVBoxLayout;
    heading->setSpacing(3);
    heading->addWidget(
        label(QStringLiteral("프린터 연결"), Theme::font(15, QFont::DemiBold), Theme::ink(), this));
    heading->addWidget(
        hint(QStringLiteral(
                 "같은 네트워크의 Epson 프린터. Epson 드라이버로 연결해야 용지·품질·색을 정할 수 있음."),
             this));
    header->addLayout(heading, 1);
    header->addSpacing(8);
    discover_ = new ChipButton({}, ChipStyle{false, Theme::inkSecondary(), 30}, this);
    discover_->setSymbol(Symbol::arrowClockwise);
    discover_->setToolTip(QStringLiteral("다시 찾기"));
    discover_->setAccessibleName(QStringLiteral("다시 찾기"));
    QObject::connect(discover_, &QPushButton::clicked, model_,
                     [model = model_] { model->discoverPrinters(); });
    header->addWidget(discover_, 0, Qt::AlignVCenter);
    sheet->addLayout(header);
    sheet->addWidget(new Hairline(false, this));

    // The three sections, one stack 6 apart
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->viewport()->setAutoFillBackground(false);
    // A slim translucent indicator, not the platform's grey trough, beside the dark rows.
    scroll->verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: transparent; width: 10px; margin: 2px 2px 2px 0; }"
                       "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 56); border-radius: "
                       "3px; min-height: 24px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    auto* content = new QWidget(scroll);
    content->setAutoFillBackground(false);
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(14, 14, 14, 14);
    stack->setSpacing(stackSpacing);

    // Section: connected queues and newly found printers
    connectedTitle_ = sectionTitle(QStringLiteral("연결 완료"), content);
    stack->addWidget(connectedTitle_);
    connectedList_ = rowList(content);
    stack->addWidget(connectedList_);
    // Below connected queues the heading stands 10 further off: the stack's spacing either side of this gap.
    newTitleGap_ = new QWidget(content);
    newTitleGap_->setFixedHeight(10 - stackSpacing);
    stack->addWidget(newTitleGap_);
    stack->addWidget(sectionTitle(QStringLiteral("새로 찾은 프린터"), content));
    newList_ = rowList(content);
    stack->addWidget(newList_);

    empty_ = new QWidget(content);
    auto* emptyLayout = new QVBoxLayout(empty_);
    emptyLayout->setContentsMargins(0, 18, 0, 18);
    emptyLayout->setSpacing(6);
    emptySpinner_ = new Spinner(16, empty_);
    emptyWorking_ = label(QStringLiteral("찾는 중…"), Theme::font(12), Theme::inkSecondary(), empty_);
    emptyHeadline_ = label({}, Theme::font(12.5), Theme::inkSecondary(), empty_);
    // The desktop asks no permission to browse the local network, so the hint stops at what the user can
    // check.
    emptyHint_ = label(QStringLiteral("프린터 전원과 Wi-Fi 연결 확인 뒤 다시 찾기."), Theme::font(11),
                       Theme::inkTertiary(), empty_);
    emptyHint_->setWordWrap(true);
    emptyHint_->setAlignment(Qt::AlignHCenter);
    emptyLayout->addWidget(emptySpinner_, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(emptyWorking_, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(emptyHeadline_, 0, Qt::AlignHCenter);
    emptyLayout->addWidget(emptyHint_);
    stack->addWidget(empty_);

    // Section: drivers by machine model
    auto* modelHeading = new QWidget(content);
    auto* modelHeadingLayout = new QHBoxLayout(modelHeading);
    modelHeadingLayout->setContentsMargins(0, 10, 0, 0);
    modelHeadingLayout->setSpacing(8);
    auto* modelTitle = sectionTitle(QStringLiteral("기종으로 드라이버 설치"), modelHeading);
    modelTitle->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    modelHeadingLayout->addWidget(modelTitle, 0, Qt::AlignBaseline);
    regionHint_ = hint({}, modelHeading);
    modelHeadingLayout->addWidget(regionHint_, 1, Qt::AlignBaseline);
    stack->addWidget(modelHeading);

    japanNote_ = new SetupRowFrame(content);
    auto* noteLayout = new QHBoxLayout(japanNote_);
    noteLayout->setContentsMargins(12, 12, 12, 12);
    noteLayout->setSpacing(0);
    noteLayout->addWidget(
        hint(QStringLiteral("일본 판매 기종은 Epson 지원 페이지에서 드라이버 받기"), japanNote_), 1,
        Qt::AlignVCenter);
    noteLayout->addSpacing(8);
    auto* noteButton = new ChipButton(QStringLiteral("지원 페이지"),
                                      ChipStyle{false, Theme::inkSecondary(), 30}, japanNote_);
    QObject::connect(noteButton, &QPushButton::clicked, this, &PrinterSetupSheet::openSupportPage);
    noteLayout->addWidget(noteButton, 0, Qt::AlignVCenter);
    stack->addWidget(japanNote_);
    machineList_ = rowList(content);
    stack->addWidget(machineList_);

    // Section: why AirPrint queues are not used
    airPrint_ = new QWidget(content);
    auto* airPrintOuter = new QVBoxLayout(airPrint_);
    airPrintOuter->setContentsMargins(0, 10, 0, 0);
    auto* airPrintBox = new SetupRowFrame(airPrint_);
    auto* airPrintLayout = new QVBoxLayout(airPrintBox);
    airPrintLayout->setContentsMargins(12, 12, 12, 12);
    airPrintLayout->setSpacing(6);
    airPrintLayout->addWidget(label(QStringLiteral("AirPrint 연결은 쓰지 않음"),
                                    Theme::font(12, QFont::DemiBold), Theme::inkSecondary(), airPrintBox));
    airPrintLines_ = new QVBoxLayout;
    airPrintLines_->setSpacing(6);
    airPrintLayout->addLayout(airPrintLines_);
    airPrintLayout->addWidget(
        hint(QStringLiteral("AirPrint 로는 Epson 용지·품질·색 설정을 보낼 수 없습니다."), airPrintBox));
    airPrintOuter->addWidget(airPrintBox);
    stack->addWidget(airPrint_);
    stack->addStretch(1);

    scroll->setWidget(content);
    sheet->addWidget(scroll, 1);
    sheet->addWidget(new Hairline(false, this));

    // Footer
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(18, 12, 18, 12);
    footer->setSpacing(10);
    footer->addWidget(label(QStringLiteral("USB 로만 연결된 프린터는 시스템 설정에서 추가"), Theme::font(11),
                            Theme::inkTertiary(), this),
                      0, Qt::AlignVCenter);
    settings_ =
        new ChipButton(QStringLiteral("시스템 설정"), ChipStyle{false, Theme::inkSecondary(), 24}, this);
    QObject::connect(settings_, &QPushButton::clicked, this,
                     [this] { openOrTell(this, QUrl(PrintModel::printerSettings())); });
    footer->addWidget(settings_, 0, Qt::AlignVCenter);
    footer->addStretch(1);
    footer->addSpacing(8);
    close_ = new ChipButton(QStringLiteral("닫기"), ChipStyle{false, Theme::inkSecondary(), 30}, this);
    QObject::connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    footer->addWidget(close_, 0, Qt::AlignVCenter);
    sheet->addLayout(footer);

    QObject::connect(model_, &PrintModel::setupChanged, this, [this] { refreshLater_.schedule(); });
    QObject::connect(model_, &PrintModel::printersChanged, this, [this] { refreshLater_.schedule(); });
    refresh();
}

void PrinterSetupSheet::refresh() {
    const bool discovering = model_->isDiscovering();
    discover_->setBusy(discovering);
    discover_->setEnabled(!discovering);
    refreshFound();
    refreshByModel();
    refreshAirPrint();
}

void PrinterSetupSheet::refreshFound() {
    const std::vector<PrinterChoice> queues = model_->epsonQueues();
    const std::optional<std::string> current = model_->printerID();
    resizeRows(connectedRows_, queues.size(), connectedList_);
    for (std::size_t i = 0; i < queues.size(); ++i) {
        const std::string& queue = queues[i].queue.name;
        SetupRowValues values{QString::fromStdString(queues[i].name()),
                              PrintKit::SetupStatus::connected(queue), false, current == queue, std::nullopt};
        RowActions actions;
        actions.use = [this](const std::string& name) { use(name); };
        connectedRows_[i]->set(values, std::move(actions));
    }
    connectedTitle_->setVisible(!queues.empty());
    connectedList_->setVisible(!queues.empty());
    newTitleGap_->setVisible(!queues.empty());

    const std::vector<PrintKit::FoundPrinter> fresh = model_->newPrinters();
    const std::optional<std::string>& connecting = model_->connecting();
    const auto& installs = model_->driverInstalls();
    resizeRows(newRows_, fresh.size(), newList_);
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        const PrintKit::FoundPrinter& printer = fresh[i];
        const QString id = QString::fromStdString(printer.name);
        const auto install = installs.find(id);
        SetupRowValues values{id, model_->setupStatus(printer), connecting == printer.name, false,
                              install == installs.end() ? std::nullopt : std::optional(install->second)};
        RowActions actions;
        actions.connect = [this, printer] { model_->connect(printer); };
        actions.download = [this, id, model = printer.model] { model_->installDriver(id, model); };
        actions.reopen = [this, id, download = actions.download] { reopen(id, download); };
        actions.supportPage = [this] { openSupportPage(); };
        newRows_[i]->set(values, std::move(actions));
    }
    newList_->setVisible(!fresh.empty());

    const bool discovering = model_->isDiscovering();
    empty_->setVisible(fresh.empty());
    emptySpinner_->setVisible(discovering);
    emptyWorking_->setVisible(discovering);
    emptyHeadline_->setText(SetupSheet::emptyHeadline(!model_->foundPrinters().empty()));
    emptyHeadline_->setVisible(!discovering);
    emptyHint_->setVisible(!discovering);
}

void PrinterSetupSheet::refreshByModel() {
    const SetupSheet::Region region = SetupSheet::regionOf(locale());
    regionHint_->setText(SetupSheet::salesNameHint(region));
    const SetupSheet::MachineListing listing = SetupSheet::machineListing(region.code);
    japanNote_->setVisible(listing.supportNote);
    machineList_->setVisible(!listing.supportNote);
    resizeRows(machineRows_, listing.names.size(), machineList_);
    const auto& machines = PrintKit::EpsonMachines::all();
    const auto& installs = model_->driverInstalls();
    for (std::size_t i = 0; i < machineRows_.size(); ++i) {
        const PrintKit::EpsonMachine& machine = machines[i];
        const QString id = SetupSheet::machineInstallID(machine);
        const auto install = installs.find(id);
        MachineRowValues values{listing.names[i], model_->hasDriver(machine),
                                install == installs.end() ? std::nullopt : std::optional(install->second)};
        RowActions actions;
        // The installer is looked up by the North American name whatever market the row is shown in.
        actions.download = [this, id, model = machine.name(PrintKit::EpsonMarket::northAmerica)] {
            model_->installDriver(id, model);
        };
        actions.reopen = [this, id, download = actions.download] { reopen(id, download); };
        actions.supportPage = [this] { openSupportPage(); };
        machineRows_[i]->set(values, std::move(actions));
    }
}

void PrinterSetupSheet::refreshAirPrint() {
    const std::vector<PrinterChoice> queues = model_->airPrintOnlyQueues();
    airPrint_->setVisible(!queues.empty());
    while (airPrintLabels_.size() > queues.size()) {
        delete airPrintLabels_.back();
        airPrintLabels_.pop_back();
    }
    while (airPrintLabels_.size() < queues.size()) {
        auto* line = label({}, Theme::font(11), Theme::inkTertiary(), airPrint_);
        line->setWordWrap(true);
        airPrintLines_->addWidget(line);
        airPrintLabels_.push_back(line);
    }
    for (std::size_t i = 0; i < queues.size(); ++i) {
        const std::optional<PrinterChoice> epson = model_->epsonQueue(queues[i]);
        airPrintLabels_[i]->setText(SetupSheet::airPrintLine(
            queues[i].queue.name, epson ? std::optional(epson->queue.name) : std::nullopt));
    }
}

void PrinterSetupSheet::reopen(const QString& id, const std::function<void()>& otherwise) {
    if (model_->installerMounts().count(id))
        model_->reopenInstaller(id);
    else if (otherwise)
        otherwise();
}

void PrinterSetupSheet::openSupportPage() {
    openOrTell(this, SetupSheet::supportPage(SetupSheet::regionOf(locale()).code));
}

void PrinterSetupSheet::use(const std::string& queue) {
    model_->selectPrinter(queue);
    accept();
}

void PrinterSetupSheet::done(int result) {
    tick_->stop();
    PrintModel* model = model_; // whoever handles finished() may have let the sheet go
    QDialog::done(result);
    // Whoever opened the sheet learns through finished(); a sheet opened on its own still ends the request.
    model->setShowingSetup(false);
}

void PrinterSetupSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    refresh();
    tick_->start();
    model_->discoverPrinters();
}

void PrinterSetupSheet::hideEvent(QHideEvent* event) {
    if (!event->spontaneous())
        tick_->stop();
    QDialog::hideEvent(event);
}

void PrinterSetupSheet::keyPressEvent(QKeyEvent* event) {
    // No button of the sheet is its default: Return must not connect, install or close by accident.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PrinterSetupSheet::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange)
        refreshLater_.schedule();
    QDialog::changeEvent(event);
}

} // namespace QuilmPrint
