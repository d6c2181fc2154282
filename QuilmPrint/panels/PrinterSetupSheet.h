// The sheet over the main window in which printers are found, given drivers and connected: the queues already
// on the photo driver, the printers found on the network with the one action that moves each forward, the
// catalogue machines by model, and why AirPrint queues are not used. It keeps nothing of its own: every row
// is rebuilt from the model when the model changes, and every control calls one model operation.
#pragma once

#include "PrintKit/printers/EpsonMachines.h"
#include "QuilmPrint/shared/CoalescedRefresh.h"

#include <QDialog>
#include <QLocale>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QTimer;
class QVBoxLayout;

namespace QuilmPrint {

class ChipButton;
class MachineRow;
class PrintModel;
class SetupRow;
class Spinner;

// The words of the sheet that depend on where the user lives, and the smaller texts it composes.
namespace SetupSheet {

// The user's region: its code (none for a locale without one, such as C) and its name in that locale,
// "기본" when there is no region or no name for it.
struct Region {
    std::optional<std::string> code;
    QString name;

    friend bool operator==(const Region&, const Region&) = default;
};
Region regionOf(const QLocale& locale);
// The hint beside the by-model heading: "대한민국 판매 이름".
QString salesNameHint(const Region& region);

// The machine rows for the region's market, in catalogue order; in Japan, where the machines are sold under
// other names, a note that sends the user to the support page instead.
struct MachineListing {
    bool supportNote = false;
    std::vector<QString> names; // "EPSON " and the market's sales name, one per catalogue machine
};
MachineListing machineListing(const std::optional<std::string>& region);

// The maker's driver support page for the region.
QUrl supportPage(const std::optional<std::string>& region);

// The key of an installation started by model rather than from a found printer.
QString machineInstallID(const PrintKit::EpsonMachine& machine);

// The headline when no new printer is listed: none found at all, or all of them already connected.
QString emptyHeadline(bool foundAny);
// One AirPrint-only queue, and the photo-driver queue of the same machine when there is one.
QString airPrintLine(const std::string& queue, const std::optional<std::string>& epsonQueue);

} // namespace SetupSheet

class PrinterSetupSheet : public QDialog {
    Q_OBJECT
public:
    PrinterSetupSheet(PrintModel* model, QWidget* parent);

    // How often the sheet asks the model to read the installed drivers again while it is shown: that is how
    // it notices that the maker's installer has finished.
    static constexpr std::chrono::milliseconds tickInterval{3000};
    QTimer* tick() const { return tick_; }

    ChipButton* discoverButton() const { return discover_; }
    ChipButton* settingsButton() const { return settings_; }
    ChipButton* closeButton() const { return close_; }
    const std::vector<SetupRow*>& connectedRows() const { return connectedRows_; }
    const std::vector<SetupRow*>& newRows() const { return newRows_; }
    const std::vector<MachineRow*>& machineRows() const { return machineRows_; }

    // Brings every part in line with the model now (it otherwise follows once per event-loop turn).
    void refresh();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refreshFound();
    void refreshByModel();
    void refreshAirPrint();
    // Brings back the installer still mounted under `id`; when it is gone, starts over with `otherwise`.
    void reopen(const QString& id, const std::function<void()>& otherwise);
    void openSupportPage();
    void use(const std::string& queue);

    PrintModel* model_;
    QTimer* tick_;
    CoalescedRefresh refreshLater_{this, [this] { refresh(); }};

    ChipButton* discover_;
    ChipButton* settings_;
    ChipButton* close_;

    QLabel* connectedTitle_;
    QWidget* connectedList_;
    std::vector<SetupRow*> connectedRows_;
    QWidget* newTitleGap_;
    QWidget* newList_;
    std::vector<SetupRow*> newRows_;
    QWidget* empty_;
    Spinner* emptySpinner_;
    QLabel* emptyWorking_;
    QLabel* emptyHeadline_;
    QLabel* emptyHint_;

    QLabel* regionHint_;
    QWidget* japanNote_;
    QWidget* machineList_;
    std::vector<MachineRow*> machineRows_;

    QWidget* airPrint_;
    QVBoxLayout* airPrintLines_;
    std::vector<QLabel*> airPrintLabels_;
};

} // namespace QuilmPrint
