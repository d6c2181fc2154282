#include "QuilmPrint/model/PrintModelState.h"

namespace QuilmPrint {

void PrintModel::discoverPrinters() {}
bool PrintModel::isDiscovering() const { return d->isDiscovering; }
const std::vector<PrintKit::FoundPrinter>& PrintModel::foundPrinters() const { return d->foundPrinters; }
std::vector<PrintKit::FoundPrinter> PrintModel::newPrinters() const { return {}; }
PrintKit::SetupStatus PrintModel::setupStatus(const PrintKit::FoundPrinter& printer) const {
    return PrintKit::SetupStatus::needsDriver(printer.model);
}
void PrintModel::connect(const PrintKit::FoundPrinter&) {}
const std::optional<std::string>& PrintModel::connecting() const { return d->connecting; }
bool PrintModel::hasDriver(const PrintKit::EpsonMachine&) const { return false; }
void PrintModel::installDriver(const QString&, const std::string&) {}
const std::map<QString, DriverInstall>& PrintModel::driverInstalls() const { return d->driverInstalls; }
const std::map<QString, std::filesystem::path>& PrintModel::installerMounts() const { return d->installerMounts; }
void PrintModel::refreshDrivers() {}
void PrintModel::reopenInstaller(const QString&) {}

std::shared_ptr<SetupServices> makeSetupServices() { return nullptr; }

} // namespace QuilmPrint
