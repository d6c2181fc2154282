#include "QuilmPrint/model/PrintModelState.h"

namespace QuilmPrint {

namespace {
QPointer<PrintModel> currentModel;
}

PrintModel::PrintModel(Environment environment, QObject* parent) : QObject(parent), d(std::make_unique<State>()) {
    d->environment = std::move(environment);
}

PrintModel::~PrintModel() = default;

void PrintModel::start() {
    if (d->started)
        return;
    d->started = true;
    currentModel = this;
}

PrintModel* PrintModel::current() { return currentModel.data(); }

// ---- Printers ----
const std::vector<PrinterChoice>& PrintModel::printers() const { return d->printers; }
bool PrintModel::isLoadingPrinters() const { return d->isLoadingPrinters; }
std::optional<std::string> PrintModel::printerID() const { return d->printerID; }
const PrinterChoice* PrintModel::selectedPrinter() const { return nullptr; }
std::vector<PrinterChoice> PrintModel::epsonQueues() const { return {}; }
std::vector<PrinterChoice> PrintModel::airPrintOnlyQueues() const { return {}; }
std::optional<PrinterChoice> PrintModel::epsonQueue(const PrinterChoice&) const { return {}; }
void PrintModel::selectPrinter(const std::string&) {}
void PrintModel::reloadPrinters() {}
QString PrintModel::printerSettings() { return QStringLiteral("http://localhost:631/printers/"); }

// ---- Recipes ----
const std::optional<PrintKit::PaperRecipe>& PrintModel::recipe() const { return d->recipe; }
std::optional<PrintKit::PaperRecipe> PrintModel::savedRecipe() const { return {}; }
std::vector<PrintKit::PaperRecipe> PrintModel::storedRecipes() const { return {}; }
void PrintModel::chooseRecipe(const PrintKit::Uuid&) {}
void PrintModel::newRecipe() {}
void PrintModel::saveRecipe() {}
void PrintModel::deleteRecipe() {}
void PrintModel::rename(const QString&) {}
void PrintModel::setMedia(const std::string&) {}
void PrintModel::setSource(const std::string&) {}
void PrintModel::setQuality(PrintKit::PrintQuality) {}
void PrintModel::setSharpening(PrintKit::OutputSharpening) {}
void PrintModel::setDriverOverride(const std::string&, const std::string&) {}
void PrintModel::clearDriverOverrides() {}
void PrintModel::chooseSheet(const std::string&) {}
void PrintModel::chooseCustomSheet(const PrintKit::CustomSheetSize&) {}
void PrintModel::setAppManagedColor(bool) {}
void PrintModel::setProfile(const PrintKit::ICCProfileInfo&) {}
void PrintModel::setIntent(PrintKit::RenderingIntent) {}
void PrintModel::setBlackPointCompensation(bool) {}
void PrintModel::setBleedCompensation(bool) {}
std::optional<std::string> PrintModel::driverValue(const std::string&) const { return {}; }

// ---- Profiles ----
const std::vector<PrintKit::ICCProfileInfo>& PrintModel::profiles() const { return d->profiles; }
std::vector<PrintKit::ProfileMatch> PrintModel::profileSuggestions(const std::string&) const { return {}; }

// ---- Failure ----
const QString& PrintModel::failure() const { return d->failure; }
void PrintModel::setFailure(const QString& message) {
    d->failure = message;
    emit failureChanged();
}
void PrintModel::clearFailure() { setFailure({}); }

bool PrintModel::showingSetup() const { return d->showingSetup; }
void PrintModel::setShowingSetup(bool on) {
    if (d->showingSetup == on)
        return;
    d->showingSetup = on;
    emit setupChanged();
}

} // namespace QuilmPrint
