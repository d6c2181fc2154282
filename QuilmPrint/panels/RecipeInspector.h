// The right column of the main window: the settings of the working recipe and the layout.
#pragma once

#include <QWidget>

class QLabel;

namespace QuilmPrint {

class PrintModel;

class RecipeInspector : public QWidget {
    Q_OBJECT
public:
    explicit RecipeInspector(PrintModel* model, QWidget* parent = nullptr);

private:
    void refresh();

    PrintModel* model_;
    QLabel* summary_;
};

} // namespace QuilmPrint
