// Printers for the print road's tests on the shared private cupsd: the test bed's printable photo printer
// (scripts/testbed-printer.sh) and variants of its description added beside it: the same printer stopped
// (its jobs wait in CUPS), one whose filter refuses every job, and one that hands the submitted PDF itself
// to its output file.
#pragma once

#include "AppTestSupport.h"
#include "TestServer.h"

#include <memory>
#include <string>

namespace TestQueues {

inline constexpr const char* photoQueue = AppTestSupport::p900Queue;
inline constexpr const char* heldQueue = "TestbedHeld";
inline constexpr const char* brokenQueue = "TestbedStudioBroken";
inline constexpr const char* pdfQueue = "TestbedPDF";
inline constexpr const char* goneQueue = "TestbedGone"; // for a test that removes it

// Present for the life of the value; problem() says what went wrong, empty when they are there.
class Queues {
public:
    explicit Queues(TestSupport::TestServer& server);
    ~Queues();
    Queues(const Queues&) = delete;
    Queues& operator=(const Queues&) = delete;
    const std::string& problem() const { return problem_; }

private:
    std::string problem_;
};

// A started model printing to the queue on 4 x 6 in sheets at 360 dpi (small files, quick rasters), with
// `photos` photos "photo-1.jpg"… loaded, and its jobs read every 50 ms.
std::unique_ptr<QuilmPrint::PrintModel> readyModel(const AppTestSupport::Sandbox& sandbox,
                                                   std::shared_ptr<QuilmPrint::SetupServices> setup,
                                                   const std::string& queue, int photos);
} // namespace TestQueues
