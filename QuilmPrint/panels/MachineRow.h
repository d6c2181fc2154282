// One catalogue machine in the printer set-up sheet, for installing the maker's driver by model before any
// printer has been found: a check mark once a driver answers to the machine, else the control that fetches
// it. Its texts and control are plain functions of its values, like a set-up row's.
#pragma once

#include "QuilmPrint/panels/SetupRow.h"

namespace QuilmPrint {

struct MachineRowValues {
    QString name; // "EPSON " and the machine's sales name
    bool hasDriver = false;
    std::optional<DriverInstall> install;

    friend bool operator==(const MachineRowValues&, const MachineRowValues&) = default;
};

namespace MachineRows {
QString statusText(const MachineRowValues& row);
RowControl control(const MachineRowValues& row);
} // namespace MachineRows

class MachineRow : public SetupRowFrame {
    Q_OBJECT
public:
    explicit MachineRow(QWidget* parent = nullptr);
    // Only download, reopen and supportPage of the actions are used.
    void set(const MachineRowValues& values, RowActions actions);
    const MachineRowValues& values() const { return values_; }

    SymbolView* symbol() const { return symbol_; }
    ElidedLabel* nameLabel() const { return name_; }
    StatusLines* statusLabel() const { return status_; }
    RowControlView* controlView() const { return control_; }

private:
    MachineRowValues values_;
    RowActions actions_;
    SymbolView* symbol_;
    ElidedLabel* name_;
    StatusLines* status_;
    RowControlView* control_;
};

} // namespace QuilmPrint
