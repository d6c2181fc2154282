#include "PrintKit/printers/FoundList.h"

namespace PrintKit {

void FoundList::add(FoundPrinter printer) {
    std::lock_guard guard(lock_);
    std::string name = printer.name;
    byName_.emplace(std::move(name), std::move(printer));
}

std::vector<FoundPrinter> FoundList::printers() const {
    std::lock_guard guard(lock_);
    std::vector<FoundPrinter> list;
    list.reserve(byName_.size());
    for (const auto& [name, printer] : byName_) {
        list.push_back(printer);
    }
    return list;
}

} // namespace PrintKit
