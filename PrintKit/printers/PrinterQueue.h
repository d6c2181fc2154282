// A CUPS queue as the printer list shows it.
#pragma once

#include <string>

namespace PrintKit {

struct PrinterQueue {
    std::string name;
    bool isDefault = false;
    std::string makeAndModel; // the server's "printer-make-and-model"; empty when it gives none
    std::string deviceURI;    // the server's "device-uri"; empty when it gives none

    friend bool operator==(const PrinterQueue&, const PrinterQueue&) = default;
};

} // namespace PrintKit
