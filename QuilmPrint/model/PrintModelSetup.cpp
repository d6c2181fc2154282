// Getting printers working from the set-up sheet: finding them on the network, installing the maker's driver,
// creating their queues. Every call to the outside runs in the background through the set-up services; the
// results come back to the main thread.
#include "QuilmPrint/model/ModelTasks.h"
#include "QuilmPrint/model/PrintModelState.h"

#include <QThreadPool>
#include <algorithm>

namespace QuilmPrint {

namespace {

constexpr auto discoveryTime = std::chrono::seconds(3);

const QString machinePrefix = QStringLiteral("machine:");

QString messageOf(const std::exception& error) {
    return QString::fromStdString(error.what());
}

bool isBusy(const DriverInstall& install) {
    return install.kind == DriverInstall::Kind::downloading || install.kind == DriverInstall::Kind::finding;
}

} // namespace

std::shared_ptr<SetupServices> PrintModel::State::setupServices() {
    if (!environment.setup)
        environment.setup = makeSetupServices();
    return environment.setup;
}

void PrintModel::State::setInstall(PrintModel& model, const QString& id, const DriverInstall& install) {
    auto found = driverInstalls.find(id);
    if (found != driverInstalls.end() && found->second == install)
        return;
    driverInstalls[id] = install;
    emit model.setupChanged();
}

// Ending an installation forgets it and lets its disk image go.
void PrintModel::State::endInstall(PrintModel& model, const QString& id) {
    driverInstalls.erase(id);
    auto mount = installerMounts.find(id);
    if (mount != installerMounts.end()) {
        std::shared_ptr<SetupServices> services = setupServices();
        const std::filesystem::path mountPoint = mount->second;
        installerMounts.erase(mount);
        if (services) {
            QThreadPool::globalInstance()->start([services, mountPoint] {
                try {
                    services->detachInstaller(mountPoint);
                } catch (const std::exception&) {
                    // An image that will not detach stays attached until the system is restarted; nothing
                    // the user could do about it here.
                }
            });
        }
    }
    emit model.setupChanged();
}

void PrintModel::State::driversRead(PrintModel& model, std::vector<PrintKit::EpsonDriver> read) {
    refreshingDrivers = false;
    if (read == drivers)
        return;
    drivers = std::move(read);
    emit model.setupChanged();
    for (const PrintKit::FoundPrinter& printer : foundPrinters) {
        const QString id = QString::fromStdString(printer.name);
        auto install = driverInstalls.find(id);
        if (install != driverInstalls.end() && install->second.kind == DriverInstall::Kind::installerOpen &&
            model.setupStatus(printer).kind == PrintKit::SetupStatus::Kind::canConnect) {
            endInstall(model, id);
            model.connect(printer);
        }
    }
    for (const PrintKit::EpsonMachine& machine : PrintKit::EpsonMachines::all()) {
        const QString id = machinePrefix + QString::fromStdString(machine.bundle);
        auto install = driverInstalls.find(id);
        if (install != driverInstalls.end() && install->second.kind == DriverInstall::Kind::installerOpen &&
            model.hasDriver(machine))
            endInstall(model, id);
    }
}

// ---- Discovery ----

void PrintModel::discoverPrinters() {
    if (d->isDiscovering)
        return;
    std::shared_ptr<SetupServices> services = d->setupServices();
    d->isDiscovering = true;
    emit setupChanged();
    refreshDrivers();
    QPointer<PrintModel> guard(this);
    std::shared_ptr<std::atomic<bool>> stop = d->stopDiscovery.flag;
    QThreadPool::globalInstance()->start([services, guard, stop] {
        std::vector<PrintKit::FoundPrinter> found;
        try {
            if (services)
                found = services->discover(discoveryTime, stop.get());
        } catch (const std::exception&) {
            // A network that cannot be browsed finds nothing; the sheet then offers the driver by model.
        }
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        post(guard, [found](PrintModel* target) {
            target->d->foundPrinters = found;
            target->d->isDiscovering = false;
            emit target->setupChanged();
        });
    });
}

bool PrintModel::isDiscovering() const {
    return d->isDiscovering;
}
const std::vector<PrintKit::FoundPrinter>& PrintModel::foundPrinters() const {
    return d->foundPrinters;
}

std::vector<PrintKit::FoundPrinter> PrintModel::newPrinters() const {
    std::vector<PrintKit::FoundPrinter> unconnected;
    for (const PrintKit::FoundPrinter& printer : d->foundPrinters) {
        if (setupStatus(printer).kind != PrintKit::SetupStatus::Kind::connected)
            unconnected.push_back(printer);
    }
    return unconnected;
}

PrintKit::SetupStatus PrintModel::setupStatus(const PrintKit::FoundPrinter& printer) const {
    std::vector<PrintKit::PrinterQueue> queues;
    for (const PrinterChoice& choice : epsonQueues())
        queues.push_back(choice.queue);
    return PrintKit::PrinterSetup::status(printer, queues, d->drivers);
}

bool PrintModel::hasDriver(const PrintKit::EpsonMachine& machine) const {
    return PrintKit::PrinterSetup::hasDriver(machine, d->drivers);
}

// ---- Queues ----

void PrintModel::connect(const PrintKit::FoundPrinter& printer) {
    if (d->connecting)
        return;
    const PrintKit::SetupStatus status = setupStatus(printer);
    if (status.kind != PrintKit::SetupStatus::Kind::canConnect)
        return;
    std::shared_ptr<SetupServices> services = d->setupServices();
    if (!services)
        return;
    d->connecting = printer.name;
    emit setupChanged();
    std::vector<std::string> existing;
    for (const PrinterChoice& choice : d->printers)
        existing.push_back(choice.queue.name);
    QPointer<PrintModel> guard(this);
    QThreadPool::globalInstance()->start([services, guard, printer, driver = status.driver, existing] {
        std::string queue;
        QString refused;
        try {
            queue = services->createQueue(printer, driver, existing);
        } catch (const std::exception& error) {
            refused = messageOf(error);
        }
        post(guard, [queue, refused](PrintModel* target) {
            target->d->connecting.reset();
            emit target->setupChanged();
            if (!refused.isEmpty()) {
                target->setFailure(refused);
                return;
            }
            target->reloadPrinters(queue);
        });
    });
}

const std::optional<std::string>& PrintModel::connecting() const {
    return d->connecting;
}

// ---- Drivers ----

void PrintModel::installDriver(const QString& id, const std::string& model) {
    auto current = d->driverInstalls.find(id);
    if (current != d->driverInstalls.end() && isBusy(current->second))
        return;
    std::shared_ptr<SetupServices> services = d->setupServices();
    const PrintKit::EpsonMachine* machine = PrintKit::EpsonMachines::forModel(model);
    if (!machine || machine->installer.empty() || !services) {
        d->setInstall(*this, id, DriverInstall::noInstaller());
        return;
    }
    d->setInstall(*this, id, DriverInstall::finding());
    QPointer<PrintModel> guard(this);
    std::shared_ptr<std::atomic<bool>> stop = d->stopInstalls.flag;
    const std::string installer = machine->installer;
    QThreadPool::globalInstance()->start([services, guard, stop, id, installer] {
        auto report = [&](DriverInstall install, std::optional<std::filesystem::path> mount = std::nullopt) {
            post(guard, [id, install, mount](PrintModel* target) {
                if (mount)
                    target->d->installerMounts[id] = *mount;
                target->d->setInstall(*target, id, install);
            });
        };
        double reported = -1;
        try {
            const std::optional<std::string> url = services->findInstaller(installer, stop.get());
            if (!url) {
                report(DriverInstall::noInstaller());
                return;
            }
            reported = 0;
            report(DriverInstall::downloading(0));
            const std::filesystem::path image = services->downloadInstaller(
                *url,
                [&](double fraction) {
                    // Whole percents are all a progress bar can show; finer steps would flood the main
                    // thread.
                    fraction = std::clamp(fraction, 0.0, 1.0);
                    if (fraction - reported >= 0.01 || (fraction == 1.0 && reported < 1.0)) {
                        reported = fraction;
                        report(DriverInstall::downloading(fraction));
                    }
                },
                stop.get());
            const std::filesystem::path mount = services->openInstaller(image);
            report(DriverInstall::installerOpen(), mount);
        } catch (const std::exception& error) {
            report(DriverInstall::failed(messageOf(error)));
        }
    });
}

const std::map<QString, DriverInstall>& PrintModel::driverInstalls() const {
    return d->driverInstalls;
}
const std::map<QString, std::filesystem::path>& PrintModel::installerMounts() const {
    return d->installerMounts;
}

void PrintModel::refreshDrivers() {
    if (d->refreshingDrivers)
        return; // the sheet asks every few seconds; a slow server must not pile the reads up
    std::shared_ptr<SetupServices> services = d->setupServices();
    if (!services)
        return;
    d->refreshingDrivers = true;
    QPointer<PrintModel> guard(this);
    QThreadPool::globalInstance()->start([services, guard] {
        std::optional<std::vector<PrintKit::EpsonDriver>> read;
        try {
            read = services->installedDrivers();
        } catch (const std::exception&) {
            // Read again at the next refresh.
        }
        post(guard, [read](PrintModel* target) {
            if (read)
                target->d->driversRead(*target, *read);
            else
                target->d->refreshingDrivers = false;
        });
    });
}

void PrintModel::reopenInstaller(const QString& id) {
    auto mount = d->installerMounts.find(id);
    if (mount == d->installerMounts.end())
        return;
    std::shared_ptr<SetupServices> services = d->setupServices();
    if (!services)
        return;
    QPointer<PrintModel> guard(this);
    const std::filesystem::path mountPoint = mount->second;
    QThreadPool::globalInstance()->start([services, guard, mountPoint] {
        try {
            services->reopenInstaller(mountPoint);
        } catch (const std::exception& error) {
            post(guard, [message = messageOf(error)](PrintModel* target) { target->setFailure(message); });
        }
    });
}

} // namespace QuilmPrint
