// The borderless expansion of each queue and page size: how far the driver enlarges a borderless page. It is
// measured once through the queue's own filters (seconds of work), in the background, and remembered in the
// user defaults, so the next run prints at once.
#include "QuilmPrint/model/ModelTasks.h"
#include "QuilmPrint/model/PrintModelState.h"

#include <cmath>

namespace QuilmPrint {

namespace {

std::string expansionKey(const std::string& queue, const std::string& page) {
    return queue + "." + page;
}

const QString unmeasuredNotice =
    QStringLiteral("테두리 없는 인쇄의 확대 비율을 재지 못해 보정 없이 인쇄합니다");

} // namespace

void PrintModel::State::requestBleedMeasurement(const std::string& queue, const PrintKit::PPDPageSize& page) {
    const std::string key = expansionKey(queue, page.name);
    if (road.measuring.count(key) || road.unmeasurable.count(key) || bleedExpansion(queue, page.name))
        return;
    std::shared_ptr<SetupServices> services = setupServices();
    if (!services) {
        measured(queue, page.name, std::nullopt);
        return;
    }
    road.measuring.insert(key);
    QPointer<PrintModel> guard(self);
    QThreadPool::globalInstance()->start([services, guard, queue, page] {
        std::optional<double> expansion;
        try {
            expansion = services->measureExpansion(queue, page);
        } catch (const std::exception&) {
            // Counted as not measurable: the sheet then prints without the compensation, and says so.
        }
        post(guard, [queue, name = page.name, expansion](PrintModel* target) {
            target->d->measured(queue, name, expansion);
        });
    });
}

void PrintModel::State::measured(const std::string& queue, const std::string& page,
                                 std::optional<double> expansion) {
    const std::string key = expansionKey(queue, page);
    road.measuring.erase(key);
    if (expansion && std::isfinite(*expansion) && *expansion > 0) {
        recordBleedExpansion(queue, page, *expansion);
    } else {
        // Never measured again in this run: a sheet asking for it would otherwise stay pending for good.
        road.unmeasurable.insert(key);
        self->showNotice(Notice{unmeasuredNotice, false, std::nullopt});
        emit self->layoutChanged(); // the prepared sheet is no longer pending
    }
    startNextSheet(*self);
}

} // namespace QuilmPrint
