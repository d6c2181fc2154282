// The centre of the main window: the sheet as it will print.
#pragma once

#include <QWidget>

namespace QuilmPrint {

class PrintModel;

class SheetPreview : public QWidget {
    Q_OBJECT
public:
    explicit SheetPreview(PrintModel* model, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    PrintModel* model_;
};

} // namespace QuilmPrint
