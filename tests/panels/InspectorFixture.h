// A recipe inspector over a started model on the private print server, and small hands for its menus.
#pragma once

#include "AppTestSupport.h"
#include "PanelTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/InspectorControls.h"
#include "QuilmPrint/panels/LayoutText.h"
#include "QuilmPrint/panels/RecipeInspector.h"
#include "QuilmPrint/window/Theme.h"

#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

class InspectorTest : public ::testing::Test {
protected:
    InspectorTest() { QuilmPrint::Theme::apply(*qApp); }

    // Starts the model, selects the queue and shows an inspector over it.
    void open(const std::string& queue) {
        std::string reason;
        if (!AppTestSupport::printServer(&reason))
            GTEST_SKIP() << reason;
        model = std::make_unique<QuilmPrint::PrintModel>(sandbox.environment());
        AppTestSupport::startAndWait(*model);
        AppTestSupport::selectAndWait(*model, queue);
        show();
    }
    void show() {
        inspector = std::make_unique<QuilmPrint::RecipeInspector>(model.get());
        inspector->resize(320, 1700);
        inspector->show();
        PanelTest::settle();
    }

    template <typename T> T* get(const char* name) const {
        PanelTest::settle();
        return PanelTest::find<T>(inspector.get(), name);
    }
    QString text(const char* label) const { return get<QLabel>(label)->text(); }
    bool shown(const char* name) const { return get<QWidget>(name)->isVisibleTo(inspector.get()); }
    const PrintKit::PaperRecipe& recipe() const { return *model->recipe(); }

    // What a menu offers when it opens: items by title, "[title]" for headed sections, "-" for dividers.
    static QStringList menu(QuilmPrint::MenuChip* chip) {
        emit chip->menu()->aboutToShow();
        QStringList titles;
        for (QAction* action : chip->menu()->actions())
            titles << (action->isSeparator() ? (action->text().isEmpty() ? "-" : "[" + action->text() + "]")
                                             : action->text());
        return titles;
    }
    static void choose(QuilmPrint::MenuChip* chip, const QString& title) {
        emit chip->menu()->aboutToShow();
        for (QAction* action : chip->menu()->actions())
            if (!action->isSeparator() && action->text() == title) {
                action->trigger();
                return PanelTest::settle();
            }
        ADD_FAILURE() << "no menu item " << title.toStdString();
    }
    static void type(QuilmPrint::NumberField* field, const QString& text) {
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        PanelTest::settle();
    }
    // Typing any text, Hangul included, one character at a time.
    static void keys(QWidget* widget, const QString& text) {
        for (QChar character : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
    static void click(QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        PanelTest::settle();
    }
    static int selected(QuilmPrint::ChipRow* row) { return row->selected(); }

    AppTestSupport::Sandbox sandbox;
    std::unique_ptr<QuilmPrint::PrintModel> model;
    std::unique_ptr<QuilmPrint::RecipeInspector> inspector;
};

#define OPEN(queue)                                                                                          \
    open(queue);                                                                                             \
    if (IsSkipped() || HasFatalFailure())                                                                    \
    return
