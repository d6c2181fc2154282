#include "QuilmPrint/window/SplitMemory.h"

#include <QPointer>
#include <QSettings>
#include <QSplitter>
#include <QTimer>

namespace QuilmPrint::SplitMemory {

namespace {

// A stored state is trusted only when it gives every pane a width inside the pane's own bounds; anything
// else (a state from another layout, a damaged file) leaves the split as it was built.
bool restore(QSplitter* split, const QByteArray& state) {
    if (state.isEmpty())
        return false;
    const QList<int> before = split->sizes();
    if (!split->restoreState(state)) {
        split->setSizes(before);
        return false;
    }
    const QList<int> after = split->sizes();
    bool plausible = after.size() == split->count();
    int total = 0;
    for (int i = 0; plausible && i < after.size(); ++i) {
        const QWidget* pane = split->widget(i);
        const int extent =
            split->orientation() == Qt::Horizontal ? pane->minimumWidth() : pane->minimumHeight();
        plausible = after[i] > 0 && after[i] >= extent;
        total += after[i];
    }
    if (!plausible || total <= 0) {
        split->setSizes(before);
        for (int i = 0; i < split->count(); ++i)
            split->widget(i)->setVisible(true);
        return false;
    }
    return true;
}

} // namespace

QSplitter* name(QWidget* pane, const QString& name, std::shared_ptr<QSettings> settings) {
    QSplitter* split = nullptr;
    for (QWidget* up = pane ? pane->parentWidget() : nullptr; up && !split; up = up->parentWidget())
        split = qobject_cast<QSplitter*>(up);
    if (!split || !settings)
        return split;
    if (split->objectName() == name)
        return split;
    split->setObjectName(name);
    restore(split, settings->value(name).toByteArray());
    QObject::connect(split, &QSplitter::splitterMoved, split,
                     [split, name, settings] { settings->setValue(name, split->saveState()); });
    return split;
}

void remember(QWidget* pane, const QString& name, std::shared_ptr<QSettings> settings) {
    if (SplitMemory::name(pane, name, settings))
        return;
    QPointer<QWidget> later(pane);
    QTimer::singleShot(0, pane, [later, name, settings] {
        if (later)
            SplitMemory::name(later, name, settings);
    });
}

} // namespace QuilmPrint::SplitMemory
