#include "QuilmPrint/shell/SplitMemory.h"

#include <QDataStream>
#include <QEvent>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace QuilmPrint::SplitMemory {

namespace {

// The divider positions in a state written by QSplitter::saveState(), when the state fits this split: one
// size per pane, each inside the pane's own bounds, and the same orientation. Anything else (a state from
// another layout, a damaged file) gives nothing and the split stays as it was built. The state is read by
// hand: QSplitter::restoreState() applies a damaged state halfway and reserves whatever count the data
// claims.
std::optional<QList<int>> storedSizes(const QByteArray& state, const QSplitter& split) {
    constexpr qint32 splitterMarker = 0xff;
    QDataStream stream(state);
    stream.setVersion(QDataStream::Qt_5_0);
    qint32 marker = 0, version = -1;
    quint32 count = 0;
    stream >> marker >> version >> count;
    if (stream.status() != QDataStream::Ok || marker != splitterMarker || version < 0 || version > 1 ||
        count != quint32(split.count()))
        return std::nullopt;
    QList<int> sizes;
    for (quint32 i = 0; i < count; ++i) {
        qint32 size = 0;
        stream >> size;
        sizes.append(size);
    }
    bool collapsible = false, opaque = false;
    qint32 handleWidth = 0, orientation = 0;
    stream >> collapsible >> handleWidth >> opaque >> orientation;
    if (stream.status() != QDataStream::Ok || orientation != split.orientation())
        return std::nullopt;
    for (int i = 0; i < sizes.size(); ++i) {
        const QWidget* pane = split.widget(i);
        const bool horizontal = split.orientation() == Qt::Horizontal;
        const int least = std::max(1, horizontal ? pane->minimumWidth() : pane->minimumHeight());
        const int most = horizontal ? pane->maximumWidth() : pane->maximumHeight();
        if (sizes[i] < least || sizes[i] > most)
            return std::nullopt;
    }
    return sizes;
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
    if (const auto sizes = storedSizes(settings->value(name).toByteArray(), *split))
        split->setSizes(*sizes);
    QObject::connect(split, &QSplitter::splitterMoved, split,
                     [split, name, settings] { settings->setValue(name, split->saveState()); });
    return split;
}

namespace {

// Tries again at every change of the pane that may have placed it in a split: a new parent, being shown, a
// new size. Once the split carries the name, each try ends at the name check and changes nothing.
class Naming : public QObject {
public:
    Naming(QWidget* pane, QString name, std::shared_ptr<QSettings> settings)
        : QObject(pane), pane_(pane), name_(std::move(name)), settings_(std::move(settings)) {
        pane->installEventFilter(this);
    }
    void attempt() const { SplitMemory::name(pane_, name_, settings_); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == pane_) {
            switch (event->type()) {
            case QEvent::ParentChange:
            case QEvent::Show:
            case QEvent::Resize:
                attempt();
                break;
            default:
                break;
            }
        }
        return false;
    }

private:
    QWidget* pane_;
    QString name_;
    std::shared_ptr<QSettings> settings_;
};

} // namespace

void remember(QWidget* pane, const QString& name, std::shared_ptr<QSettings> settings) {
    if (!pane)
        return;
    auto* naming = new Naming(pane, name, std::move(settings));
    naming->attempt();
    // A pane made before its split is placed on the next turn, when the view that made it has placed it.
    QTimer::singleShot(0, naming, [naming] { naming->attempt(); });
}

} // namespace QuilmPrint::SplitMemory
