#include "QuilmPrint/shell/FeedUpdater.h"

#include "QuilmPrint/shared/Desktop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <QUrl>

namespace QuilmPrint {

namespace {

const QString failedTitle = QStringLiteral("업데이트를 확인하지 못했습니다");

} // namespace

UpdateAnswer updateAnswer(const std::variant<UpdateFeedAnswer, UpdateFeedError>& result,
                          const QString& installedVersion) {
    if (const auto* error = std::get_if<UpdateFeedError>(&result))
        return {failedTitle,
                QString::fromStdString(error->message()) + QStringLiteral("\n지금 쓰는 버전은 그대로입니다."),
                {}};
    const UpdateFeedAnswer& answer = std::get<UpdateFeedAnswer>(result);
    const QString version = QString::fromStdString(answer.entry.version);
    if (!answer.newer)
        return {QStringLiteral("최신 버전을 쓰고 있습니다"),
                QStringLiteral("지금 쓰는 Quilm Print ") + installedVersion +
                    QStringLiteral(" 버전보다 새로운 버전이 없습니다."),
                {}};
    QString text = QStringLiteral("Quilm Print ") + version +
                   QStringLiteral(" 버전을 받을 수 있습니다. 지금 쓰는 버전은 ") + installedVersion +
                   QStringLiteral("입니다.");
    const QString notes = QString::fromStdString(answer.entry.notes).trimmed();
    if (!notes.isEmpty())
        text += QStringLiteral("\n\n") + notes;
    return {QStringLiteral("새 버전이 나왔습니다"), text, QString::fromStdString(answer.entry.downloadPage)};
}

FeedUpdater::FeedUpdater(Updates& updates, Updates::BuildSettings settings, QString installedVersion,
                         UpdateFeed::FetchLimits limits)
    : updates_(updates), settings_(std::move(settings)), installedVersion_(std::move(installedVersion)),
      limits_(limits) {
    // A check still fetching when the program ends stops at once rather than holding the exit up.
    if (QCoreApplication* application = QCoreApplication::instance())
        QObject::connect(application, &QCoreApplication::aboutToQuit, this, [stop = stop_] { *stop = true; });
}

FeedUpdater::~FeedUpdater() {
    *stop_ = true;
}

void FeedUpdater::checkForUpdates(QWidget* parent) {
    if (checking_ || !updates_.updaterMayCheck())
        return;
    checking_ = true;
    parent_ = parent;
    QPointer<FeedUpdater> guard(this);
    const std::string url = settings_.feedURL.toStdString();
    const std::string key = settings_.publicKey.toStdString();
    const std::string version = installedVersion_.toStdString();
    QThreadPool::globalInstance()->start([guard, url, key, version, limits = limits_, stop = stop_] {
        std::variant<UpdateFeedAnswer, UpdateFeedError> result =
            UpdateFeedError(UpdateFeedErrorCode::cancelled);
        try {
            result = UpdateFeed::check(url, key, version, limits, stop.get());
        } catch (const UpdateFeedError& error) {
            result = error;
        }
        QCoreApplication* application = QCoreApplication::instance();
        if (!application)
            return;
        QMetaObject::invokeMethod(
            application,
            [guard, result] {
                if (FeedUpdater* updater = guard.data())
                    updater->finish(result);
            },
            Qt::QueuedConnection);
    });
}

void FeedUpdater::finish(const std::variant<UpdateFeedAnswer, UpdateFeedError>& result) {
    checking_ = false;
    const auto* error = std::get_if<UpdateFeedError>(&result);
    if (!error || error->code() != UpdateFeedErrorCode::cancelled) {
        const UpdateAnswer answer = updateAnswer(result, installedVersion_);
        if (answer.downloadPage.isEmpty()) {
            Desktop::shared().alert(parent_, answer.title, answer.text);
        } else if (Desktop::shared().confirm(parent_, answer.title, answer.text,
                                             QStringLiteral("다운로드 페이지 열기"),
                                             QStringLiteral("나중에"))) {
            openOrTell(parent_, QUrl(answer.downloadPage));
        }
    }
    emit checkFinished();
}

} // namespace QuilmPrint
