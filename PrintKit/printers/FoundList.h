// The printers one discovery run has found so far. Announcements arrive on the DNS-SD thread while the
// caller may already be reading, so every access holds the lock.
#pragma once

#include "PrintKit/printers/PrinterSetup.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace PrintKit {

class FoundList {
public:
    // The first announcement of a service name counts; the same printer seen under another service type
    // adds nothing.
    void add(FoundPrinter printer);
    // Sorted by name.
    std::vector<FoundPrinter> printers() const;

private:
    mutable std::mutex lock_;
    std::map<std::string, FoundPrinter> byName_;
};

} // namespace PrintKit
