#include "QuilmPrint/model/ModelRecords.h"

namespace QuilmPrint {

PreparedSheet PreparedSheet::turned() const { return *this; }

std::string PrinterChoice::name() const { return queue.name; }

const std::vector<GridTemplate>& GridTemplate::all() {
    static const std::vector<GridTemplate> templates;
    return templates;
}

} // namespace QuilmPrint
