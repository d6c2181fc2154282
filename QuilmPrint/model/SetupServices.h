// What the model asks of the outside world to get printers working: discovery, installed drivers, queue
// creation, driver installers and the borderless-expansion probe. The application uses the engine's services
// (makeSetupServices()); tests hand the model a double. Every call may block and runs off the main thread;
// implementations are used from one background task at a time per call and must be thread-safe.
#pragma once

#include "PrintKit/printers/EpsonMachines.h"
#include "PrintKit/printers/PrinterSetup.h"
#include "PrintKit/settings/PPDFile.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace QuilmPrint {

class SetupServices {
public:
    virtual ~SetupServices() = default;

    virtual std::vector<PrintKit::FoundPrinter> discover(std::chrono::milliseconds duration,
                                                         const std::atomic<bool>* cancel) = 0;
    virtual std::vector<PrintKit::EpsonDriver> installedDrivers() = 0;
    // Returns the new queue's name; throws an engine error whose message the user reads.
    virtual std::string createQueue(const PrintKit::FoundPrinter& printer, const PrintKit::EpsonDriver& driver,
                                    const std::vector<std::string>& existingQueues) = 0;
    // The installer's address on the driver server, or none when the server has no installer for the model.
    virtual std::optional<std::string> findInstaller(const std::string& installerFileName,
                                                     const std::atomic<bool>* cancel) = 0;
    virtual std::filesystem::path downloadInstaller(const std::string& url,
                                                    const std::function<void(double)>& progress,
                                                    const std::atomic<bool>* cancel) = 0;
    // Verifies, mounts and opens the installer; returns the mount point.
    virtual std::filesystem::path openInstaller(const std::filesystem::path& image) = 0;
    virtual void reopenInstaller(const std::filesystem::path& mountPoint) = 0;
    virtual void detachInstaller(const std::filesystem::path& mountPoint) = 0;
    // The driver's enlargement of a borderless page; none when it cannot be measured.
    virtual std::optional<double> measureExpansion(const std::string& queue, const PrintKit::PPDPageSize& page) = 0;
};

// The engine's real services.
std::shared_ptr<SetupServices> makeSetupServices();

} // namespace QuilmPrint
