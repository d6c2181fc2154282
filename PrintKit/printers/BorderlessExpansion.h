// How far a queue's driver enlarges a borderless page: the driver prints the page image slightly larger
// than the paper so no white edge can show, and the application needs that ratio to keep what matters
// inside the part that lands on the paper. It is measured once per queue and page size by running a probe
// page through the queue's own filter chain.
#pragma once

#include "PrintKit/settings/PPDFile.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace PrintKit::BorderlessExpansion {

// The enlargement ratio (1 = none): a probe page holding a black rectangle an inch inside the page's edges
// goes through cupsfilter with the queue's PPD file to CUPS raster, and the rectangle's size in
// the raster is compared with its size on the page. None when the queue's PPD file cannot be had, the chain
// fails or does not make readable raster, the rectangle cannot be found, or the run takes longer than
// timeout (its processes are then killed).
std::optional<double> measure(const std::string& queue, const PPDPageSize& page,
                              std::chrono::seconds timeout = std::chrono::seconds(60));

// The folder the queue's PPD file is read from before asking the server (default: where CUPS keeps them).
void setPPDFolder(std::filesystem::path folder);

} // namespace PrintKit::BorderlessExpansion
