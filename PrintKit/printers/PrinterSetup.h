// Getting a network printer of the photo driver family ready to print: finding it on the local network
// (DNS-SD), telling whether it already has a queue or an installed driver that fits it, and creating its
// CUPS queue. Every call blocks its caller for a bounded time and may run on any thread.
#pragma once

#include "PrintKit/printers/EpsonMachines.h"
#include "PrintKit/printers/PrinterQueue.h"
#include "PrintKit/support/Error.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace PrintKit {

// A printer of the family announced on the local network.
struct FoundPrinter {
    std::string name;  // the DNS-SD service instance name: the printer's identity
    std::string model; // as the announcement gives it, always starting with "EPSON"

    friend bool operator==(const FoundPrinter&, const FoundPrinter&) = default;
};

// An installed driver of the family.
struct EpsonDriver {
    std::string model;   // the PPD's model name, e.g. "EPSON SC-P900 Series"
    std::string ppdName; // an absolute path to the PPD file, or the name CUPS lists the driver under

    friend bool operator==(const EpsonDriver&, const EpsonDriver&) = default;
};

struct SetupStatus {
    enum class Kind { connected, canConnect, needsDriver };
    Kind kind = Kind::needsDriver;
    std::string queue;  // connected: the queue that prints to the printer
    EpsonDriver driver; // canConnect: the driver that fits it
    std::string model;  // needsDriver: the printer's model

    static SetupStatus connected(std::string queue);
    static SetupStatus canConnect(EpsonDriver driver);
    static SetupStatus needsDriver(std::string model);

    friend bool operator==(const SetupStatus&, const SetupStatus&) = default;
};

enum class PrinterSetupErrorCode {
    invalidPrinter, // detail: the service name (empty, or with a character no queue can carry)
    notAuthorized,  // detail: what lpadmin said
    queueFailed,    // detail: what lpadmin said
    toolMissing,    // detail: the tool's path and why it did not start
    timedOut,       // detail: the tool's path
};

std::string errorMessage(PrinterSetupErrorCode code, const std::string& detail);
using PrinterSetupError = ServiceError<PrinterSetupErrorCode>;

namespace PrinterSetup {

// Browses "_printer._tcp", "_pdl-datastream._tcp" and "_ipp._tcp" in "local." for duration and returns the
// printers of the family, one per service name, sorted by name. Without a reachable mDNS daemon the list
// is empty; no answer is waited for beyond duration, and cancel (may be null) ends the run early.
std::vector<FoundPrinter> discover(std::chrono::milliseconds duration = std::chrono::seconds(3),
                                   const std::atomic<bool>* cancel = nullptr);

// The family's drivers CUPS offers (those whose PPD carries "EPIJDriverSystem") and those whose PPD files
// lie in the driver folders, one per model, sorted by model. A server that cannot be reached adds nothing.
// What was read is kept for the next call: a file is read again only when its size or modification time
// changed, a driver the server hands out only when the server lists it under another name or model.
std::vector<EpsonDriver> installedDrivers();
// Replaces the driver folders (by default /usr/share/ppd and /usr/share/cups/model) and forgets what was
// read.
void setDriverFolders(std::vector<std::filesystem::path> folders);

// The printer's state. queues: the queues that the family's driver runs (see queueKind); one of them whose
// device URI names the printer's service connects it.
SetupStatus status(const FoundPrinter& printer, const std::vector<PrinterQueue>& queues,
                   const std::vector<EpsonDriver>& drivers);
// True when one of the drivers fits the machine.
bool hasDriver(const EpsonMachine& machine, const std::vector<EpsonDriver>& drivers);

// The DNS-SD service instance name that a device URI points at ("epsontcpip://…" or "dnssd://…"); empty
// for any other URI.
std::string serviceName(const std::string& deviceURI);
// The device URI of a new queue for the printer: the family's network backend where it is installed, else
// the DNS-SD backend of CUPS.
std::string deviceURI(const FoundPrinter& printer);
// A queue name made from the model, different (ignoring case, as CUPS does) from every existing one.
std::string queueName(const std::string& model, const std::vector<std::string>& existingQueues);

// Creates and enables the printer's queue on the default CUPS server with the driver, through lpadmin
// (retried once through pkexec where the server refuses the user and pkexec exists). Returns the queue's
// name. Throws PrinterSetupError.
std::string createQueue(const FoundPrinter& printer, const EpsonDriver& driver,
                        const std::vector<std::string>& existingQueues);

} // namespace PrinterSetup

} // namespace PrintKit
