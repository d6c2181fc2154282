// The updater of a build set up for updates: on the command it reads the signed feed off the main thread,
// then answers in the application's own dialogs: a newer version with its notes and the offer to open its
// download page in the browser, or that this version is the newest, or why the feed could not be used. It
// downloads and installs nothing itself, and a feed that fails changes nothing.
#pragma once

#include "QuilmPrint/shell/UpdateFeed.h"
#include "QuilmPrint/shell/Updates.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <variant>

namespace QuilmPrint {

// The dialog that answers a check: a title, a text, and for a newer version the page the accepting button
// opens.
struct UpdateAnswer {
    QString title;
    QString text;
    QString downloadPage; // empty: an alert with one button
};
UpdateAnswer updateAnswer(const std::variant<UpdateFeedAnswer, UpdateFeedError>& result,
                          const QString& installedVersion);

class FeedUpdater : public QObject, public UpdateController {
    Q_OBJECT
public:
    FeedUpdater(Updates& updates, Updates::BuildSettings settings, QString installedVersion,
                UpdateFeed::FetchLimits limits = {});
    // Stops a check that is still fetching.
    ~FeedUpdater() override;

    // Asks `updaterMayCheck()` first; held, it does nothing (the command has said why). A check that is
    // running is not started twice.
    void checkForUpdates(QWidget* parent) override;
    bool isChecking() const { return checking_; }

signals:
    // The answer has been shown (or the check was dropped).
    void checkFinished();

private:
    void finish(const std::variant<UpdateFeedAnswer, UpdateFeedError>& result);

    Updates& updates_;
    Updates::BuildSettings settings_;
    QString installedVersion_;
    UpdateFeed::FetchLimits limits_;
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    QPointer<QWidget> parent_;
    bool checking_ = false;
};

} // namespace QuilmPrint
