#include "QuilmPrint/shared/Desktop.h"

#include "QuilmPrint/shared/QtDesktop.h"

namespace QuilmPrint {

namespace {

std::unique_ptr<Desktop>& installed() {
    static std::unique_ptr<Desktop> desktop;
    return desktop;
}

} // namespace

Desktop& Desktop::shared() {
    std::unique_ptr<Desktop>& desktop = installed();
    if (!desktop)
        desktop = std::make_unique<QtDesktop>();
    return *desktop;
}

void Desktop::install(std::unique_ptr<Desktop> desktop) {
    installed() = std::move(desktop);
}

} // namespace QuilmPrint
