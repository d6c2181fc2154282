// The left column of the main window: the photos to print.
#pragma once

#include <QWidget>

class QLabel;

namespace QuilmPrint {

class PrintModel;

class PhotoSidebar : public QWidget {
    Q_OBJECT
public:
    explicit PhotoSidebar(PrintModel* model, QWidget* parent = nullptr);

private:
    void refresh();

    PrintModel* model_;
    QLabel* list_;
};

} // namespace QuilmPrint
