// The borderless expansion of each queue and page size: how far the driver enlarges a borderless page. It is
// measured once through the queue's own filters (seconds of work), in the background, and remembered in the
// user defaults, so the next run prints at once.
#include "QuilmPrint/model/PrintModelState.h"

#include <QThreadPool>
#include <QTimer>

#include <cmath>

namespace QuilmPrint {

namespace {

std::string expansionKey(const std::string& queue, const std::string& pageSize) { return queue + "." + pageSize; }

QString settingsKey(const std::string& key) { return QString::fromStdString("bleed.expansion." + key); }

const QString unmeasuredNotice = QStringLiteral("테두리 없는 인쇄의 확대 비율을 재지 못해 보정 없이 인쇄합니다");

} // namespace

std::optional<double> PrintModel::State::storedExpansion(const std::string& key) {
    const QVariant stored = settings().value(settingsKey(key));
    if (!stored.isValid())
        return std::nullopt;
    bool ok = false;
    const double value = stored.toString().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0)
        return std::nullopt; // an edited or damaged entry is measured again
    return value;
}

PrintModel::BleedExpansion PrintModel::bleedExpansion(const std::string& queue,
                                                      const PrintKit::PPDPageSize& page) const {
    const std::string key = expansionKey(queue, page.name);
    if (const std::optional<double> stored = d->storedExpansion(key))
        return {false, stored};
    if (d->road.unmeasurable.count(key))
        return {false, std::nullopt};
    if (!d->road.measuring.count(key) && d->road.asked.insert(key).second) {
        // Asked for from the views' every update through prepare(), which changes nothing: the measurement
        // starts once, after the caller has returned.
        auto* model = const_cast<PrintModel*>(this);
        QTimer::singleShot(0, model, [model, queue, page] { model->measureBleed(queue, page); });
    }
    return {true, std::nullopt};
}

void PrintModel::measureBleed(const std::string& queue, const PrintKit::PPDPageSize& page) {
    const std::string key = expansionKey(queue, page.name);
    d->road.asked.erase(key);
    if (d->road.measuring.count(key) || d->road.unmeasurable.count(key) || d->storedExpansion(key))
        return;
    std::shared_ptr<SetupServices> services = d->setupServices();
    if (!services) {
        d->measured(*this, key, std::nullopt);
        return;
    }
    d->road.measuring.insert(key);
    std::shared_ptr<ModelLink> link = d->linkTo(*this);
    PrintModel* target = this;
    QThreadPool::globalInstance()->start([services, link, target, key, queue, page] {
        std::optional<double> expansion;
        try {
            expansion = services->measureExpansion(queue, page);
        } catch (const std::exception&) {
            // Counted as not measurable: the sheet then prints without the compensation, and says so.
        }
        link->post([target, key, expansion] { target->d->measured(*target, key, expansion); });
    });
}

void PrintModel::State::measured(PrintModel& model, const std::string& key, std::optional<double> expansion) {
    road.measuring.erase(key);
    if (expansion && std::isfinite(*expansion) && *expansion > 0) {
        settings().setValue(settingsKey(key), QString::number(*expansion, 'g', 17));
    } else {
        // Never measured again in this run: every view update would otherwise start it anew.
        road.unmeasurable.insert(key);
        model.showNotice(Notice{unmeasuredNotice, false, std::nullopt});
    }
    emit model.layoutChanged(); // the prepared sheet is no longer pending
    startNextSheet(model);
}

} // namespace QuilmPrint
