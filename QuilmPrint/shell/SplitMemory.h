// Keeps the divider positions of a split between runs. A pane asks for it by name: the nearest split that
// holds the pane takes the name, restores its positions stored under that name in the user defaults, and
// stores them again whenever the user moves a divider.
#pragma once

#include <QString>
#include <memory>

class QSettings;
class QSplitter;
class QWidget;

namespace QuilmPrint::SplitMemory {

// The innermost split holding `pane`, named and remembered; none when the pane is in no split (yet).
// Naming a split that already carries the name changes nothing.
QSplitter* name(QWidget* pane, const QString& name, std::shared_ptr<QSettings> settings);

// As name(), at once, on the next event-loop turn, and again whenever the pane gets a new parent, is shown or
// is resized, for as long as the pane lives: a pane that is placed in a split late is named then.
void remember(QWidget* pane, const QString& name, std::shared_ptr<QSettings> settings);

} // namespace QuilmPrint::SplitMemory
