// Update checks. A build that is set up for updates (a feed address and its signing key, both build settings)
// gets an updater, which reads the signed feed when the user asks and tells whether a newer version is out;
// every other build answers the menu command with an alert. No check starts while sheets wait to be sent to
// the printer, so an update cannot take the user away from them.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace QuilmPrint {

// The updater: answers in its own dialogs once asked to check, and asks `Updates::updaterMayCheck()` before
// it looks for an update.
class UpdateController {
public:
    virtual ~UpdateController() = default;
    virtual void checkForUpdates(QWidget* parent) = 0;
};

class Updates {
public:
    struct BuildSettings {
        QString feedURL;
        QString publicKey;
    };
    using ControllerFactory = std::function<std::unique_ptr<UpdateController>(Updates&)>;

    static Updates& shared();

    // The settings this program was built with; empty unless the build was configured with them.
    static BuildSettings builtSettings();
    // The program's version, dotted numbers.
    static QString installedVersion();

    // Creates the controller once, when both settings are present.
    void start();
    UpdateController* controller() const { return controller_.get(); }

    // Why a check must wait, or nothing when it need not.
    std::optional<QString> holdReason() const;
    static QString holdReason(int unsentSheets);
    bool updaterMayCheck() const { return !holdReason().has_value(); }

    // The menu command "업데이트 확인…".
    void checkCommand(QWidget* parent);

    // What start() reads and makes; the platform (or a test) replaces them before start().
    void setBuildSettings(BuildSettings settings) { settings_ = std::move(settings); }
    const BuildSettings& buildSettings() const { return settings_; }
    void setControllerFactory(ControllerFactory factory) { factory_ = std::move(factory); }
    // Where the count of unsent sheets comes from: the live model unless replaced.
    void setUnsentSheets(std::function<std::optional<int>()> source) { unsent_ = std::move(source); }
    // Back to a fresh, unstarted state (tests share the one instance).
    void reset();

private:
    Updates();

    BuildSettings settings_;
    ControllerFactory factory_;
    std::function<std::optional<int>()> unsent_;
    std::unique_ptr<UpdateController> controller_;
    bool started_ = false;
};

} // namespace QuilmPrint
