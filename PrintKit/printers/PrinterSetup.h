// Getting printers working: finding them on the network, the installed drivers, and creating their queues.
#pragma once

#include "PrintKit/printers/EpsonMachines.h"
#include "PrintKit/printers/PrinterQueue.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace PrintKit {

struct FoundPrinter {
    std::string name;
    std::string model;
    friend bool operator==(const FoundPrinter&, const FoundPrinter&) = default;
};

struct EpsonDriver {
    std::string model;
    std::string ppdName;
    friend bool operator==(const EpsonDriver&, const EpsonDriver&) = default;
};

struct SetupStatus {
    enum class Kind { connected, canConnect, needsDriver };
    Kind kind = Kind::needsDriver;
    std::string queue;
    EpsonDriver driver;
    std::string model;

    static SetupStatus connected(std::string queue) { return {Kind::connected, std::move(queue), {}, {}}; }
    static SetupStatus canConnect(EpsonDriver driver) { return {Kind::canConnect, {}, std::move(driver), {}}; }
    static SetupStatus needsDriver(std::string model) { return {Kind::needsDriver, {}, {}, std::move(model)}; }

    friend bool operator==(const SetupStatus&, const SetupStatus&) = default;
};

namespace PrinterSetup {
std::vector<FoundPrinter> discover(std::chrono::milliseconds duration = std::chrono::seconds(3),
                                   const std::atomic<bool>* cancel = nullptr);
std::vector<EpsonDriver> installedDrivers();
void setDriverFolders(std::vector<std::filesystem::path> folders);
SetupStatus status(const FoundPrinter& printer, const std::vector<PrinterQueue>& queues,
                   const std::vector<EpsonDriver>& drivers);
bool hasDriver(const EpsonMachine& machine, const std::vector<EpsonDriver>& drivers);
std::string createQueue(const FoundPrinter& printer, const EpsonDriver& driver,
                        const std::vector<std::string>& existingQueues);
} // namespace PrinterSetup

} // namespace PrintKit
