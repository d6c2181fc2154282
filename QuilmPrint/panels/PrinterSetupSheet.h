// The sheet over the main window in which printers are found, given drivers and connected.
#pragma once

#include <QDialog>

namespace QuilmPrint {

class PrintModel;

class PrinterSetupSheet : public QDialog {
    Q_OBJECT
public:
    PrinterSetupSheet(PrintModel* model, QWidget* parent);

private:
    PrintModel* model_;
};

} // namespace QuilmPrint
