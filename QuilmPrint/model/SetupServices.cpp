// The set-up services of a running application: the engine's own.
#include "QuilmPrint/model/SetupServices.h"

#include "PrintKit/printers/BorderlessExpansion.h"
#include "PrintKit/printers/EpsonDriverDownload.h"

#include <QDesktopServices>
#include <QUrl>

namespace QuilmPrint {

namespace {

class EngineSetupServices final : public SetupServices {
public:
    std::vector<PrintKit::FoundPrinter> discover(std::chrono::milliseconds duration,
                                                 const std::atomic<bool>* cancel) override {
        return PrintKit::PrinterSetup::discover(duration, cancel);
    }

    std::vector<PrintKit::EpsonDriver> installedDrivers() override {
        return PrintKit::PrinterSetup::installedDrivers();
    }

    std::string createQueue(const PrintKit::FoundPrinter& printer, const PrintKit::EpsonDriver& driver,
                            const std::vector<std::string>& existingQueues) override {
        return PrintKit::PrinterSetup::createQueue(printer, driver, existingQueues);
    }

    std::optional<std::string> findInstaller(const std::string& installerFileName,
                                             const std::atomic<bool>* cancel) override {
        return PrintKit::EpsonDriverDownload::find(installerFileName, cancel);
    }

    std::filesystem::path downloadInstaller(const std::string& url,
                                            const std::function<void(double)>& progress,
                                            const std::atomic<bool>* cancel) override {
        return PrintKit::EpsonDriverDownload::download(url, progress, cancel);
    }

    std::filesystem::path openInstaller(const std::filesystem::path& image) override {
        return PrintKit::EpsonDriverDownload::openInstaller(image);
    }

    // The mounted image is shown in the file manager, where the installer lies ready to be opened again.
    void reopenInstaller(const std::filesystem::path& mountPoint) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(mountPoint.string())));
    }

    void detachInstaller(const std::filesystem::path& mountPoint) override {
        PrintKit::EpsonDriverDownload::detach(mountPoint);
    }

    std::optional<double> measureExpansion(const std::string& queue,
                                           const PrintKit::PPDPageSize& page) override {
        return PrintKit::BorderlessExpansion::measure(queue, page);
    }
};

} // namespace

std::shared_ptr<SetupServices> makeSetupServices() {
    return std::make_shared<EngineSetupServices>();
}

} // namespace QuilmPrint
