// Which kind of driver runs a CUPS queue: the inkjet photo driver this program prints through, a driverless
// (AirPrint or IPP Everywhere) queue, or anything else.
#pragma once

#include "PrintKit/printers/PrinterQueue.h"
#include "PrintKit/settings/PPDFile.h"

namespace PrintKit {

enum class QueueKind { epson, airPrint, other };

// ppd is the queue's parsed PPD file, or null when it could not be read.
QueueKind queueKind(const PrinterQueue& queue, const PPDFile* ppd);

} // namespace PrintKit
