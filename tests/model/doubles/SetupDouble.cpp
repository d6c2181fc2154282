#include "doubles/SetupDouble.h"

#include "PrintKit/printers/BorderlessExpansion.h"

namespace TestDoubles {

std::string SetupDouble::createQueue(const PrintKit::FoundPrinter& printer,
                                     const PrintKit::EpsonDriver& driver,
                                     const std::vector<std::string>& existing) {
    createGate.pass();
    auto call = locked([&] { return createQueueCall; });
    return call ? call(printer, driver, existing)
                : PrintKit::PrinterSetup::createQueue(printer, driver, existing);
}

std::optional<double> SetupDouble::measureExpansion(const std::string& queue,
                                                    const PrintKit::PPDPageSize& page) {
    auto call = locked([&] {
        ++measurements_;
        return measureCall;
    });
    return call ? call(queue, page) : PrintKit::BorderlessExpansion::measure(queue, page);
}

} // namespace TestDoubles
