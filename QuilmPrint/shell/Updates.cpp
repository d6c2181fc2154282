#include "QuilmPrint/shell/Updates.h"

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/shared/Desktop.h"
#include "QuilmPrint/shell/FeedUpdater.h"

#ifndef QUILM_UPDATE_FEED_URL
#define QUILM_UPDATE_FEED_URL ""
#endif
#ifndef QUILM_UPDATE_PUBLIC_KEY
#define QUILM_UPDATE_PUBLIC_KEY ""
#endif
#ifndef QUILM_VERSION
#define QUILM_VERSION "0"
#endif

namespace QuilmPrint {

namespace {

std::optional<int> liveUnsentSheets() {
    if (PrintModel* model = PrintModel::current())
        return model->unsentSheets();
    return std::nullopt;
}

std::unique_ptr<UpdateController> feedUpdater(Updates& updates) {
    return std::make_unique<FeedUpdater>(updates, updates.buildSettings(), Updates::installedVersion());
}

} // namespace

Updates::Updates() {
    reset();
}

Updates& Updates::shared() {
    static Updates updates;
    return updates;
}

Updates::BuildSettings Updates::builtSettings() {
    return {QStringLiteral(QUILM_UPDATE_FEED_URL), QStringLiteral(QUILM_UPDATE_PUBLIC_KEY)};
}

QString Updates::installedVersion() {
    return QStringLiteral(QUILM_VERSION);
}

void Updates::reset() {
    settings_ = builtSettings();
    factory_ = feedUpdater;
    unsent_ = liveUnsentSheets;
    controller_.reset();
    started_ = false;
}

void Updates::start() {
    if (started_)
        return;
    started_ = true;
    if (settings_.feedURL.isEmpty() || settings_.publicKey.isEmpty())
        return;
    controller_ = factory_(*this);
}

QString Updates::holdReason(int unsentSheets) {
    return QStringLiteral("보내지 않은 장 ") + QString::number(unsentSheets) +
           QStringLiteral("장이 있습니다. 인쇄를 프린터로 보낸 뒤 다시 확인하세요.");
}

std::optional<QString> Updates::holdReason() const {
    const std::optional<int> unsent = unsent_ ? unsent_() : std::nullopt;
    if (!unsent || *unsent < 1)
        return std::nullopt;
    return holdReason(*unsent);
}

void Updates::checkCommand(QWidget* parent) {
    if (!controller_) {
        Desktop::shared().alert(parent, QStringLiteral("이 빌드는 업데이트를 받지 않습니다"),
                                QStringLiteral("배포용 앱에서만 업데이트를 확인합니다."));
        return;
    }
    if (const std::optional<QString> reason = holdReason()) {
        Desktop::shared().alert(parent, QStringLiteral("지금은 업데이트를 확인할 수 없습니다"), *reason);
        return;
    }
    controller_->checkForUpdates(parent);
}

} // namespace QuilmPrint
