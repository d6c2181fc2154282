#include "PrintKit/printers/CupsClient.h"
#include "PrintKit/printers/QueueKind.h"
#include "PrintKit/settings/EpsonInkjet2Adapter.h"
#include "PrintKit/settings/ICCProfileCatalog.h"
#include "PrintKit/settings/ProfileMatcher.h"
#include "PrintKit/settings/RecipeJSON.h"
#include "PrintKit/support/Dates.h"
#include "PrintKit/support/Text.h"
#include "QuilmPrint/model/ModelSettings.h"
#include "QuilmPrint/model/ModelTasks.h"
#include "QuilmPrint/model/PrintModelState.h"

#include <QTimer>
#include <algorithm>
#include <cstdlib>

namespace QuilmPrint {

namespace Adapter = PrintKit::EpsonInkjet2Adapter;
using PrintKit::PaperRecipe;

namespace {

QPointer<PrintModel> currentModel;

// Recipes keep the queue's PPD nickname as their printer model.
const char* const newRecipeName = "새 레시피";

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

// The default choice of an option when it is one of its choices, else the first choice; none without choices.
std::optional<std::string> defaultChoice(const PrintKit::PPDOption* option,
                                         const std::vector<PrintKit::PPDChoice>& among) {
    if (among.empty()) {
        return std::nullopt;
    }
    if (option && option->defaultChoice) {
        for (const auto& choice : among) {
            if (choice.key == *option->defaultChoice) {
                return choice.key;
            }
        }
    }
    return among.front().key;
}

// Recipes are stored to the whole second; one made now must equal its stored copy.
PrintKit::Timestamp nowInSeconds() {
    return std::chrono::floor<std::chrono::seconds>(PrintKit::Dates::now());
}

// A working recipe from the PPD's own defaults, so that a first print needs no set-up: the default media,
// the default sheet among the driver's sheets, a source that feeds it, the standard quality where offered,
// colour left to the driver.
PaperRecipe starterRecipe(const PrinterChoice& choice) {
    const PrintKit::PPDFile& ppd = *choice.ppd;
    const PrintKit::PPDOption* media = ppd.option("EPIJ_Medi");
    std::string mediaKey = media ? defaultChoice(media, media->choices).value_or("") : "";

    const PrintKit::PPDOption* pageSize = ppd.option("PageSize");
    std::vector<PrintKit::PPDChoice> sheets = Adapter::sheets(ppd);
    if (sheets.empty() && pageSize) {
        sheets = pageSize->choices;
    }
    std::string sheet = defaultChoice(pageSize, sheets).value_or("");

    const PrintKit::PPDOption* sourceOption = ppd.option("EPIJ_PSrc");
    std::vector<PrintKit::PPDChoice> sources = Adapter::sources(sheet, ppd);
    if (sources.empty() && sourceOption) {
        sources = sourceOption->choices;
    }
    std::string source = defaultChoice(sourceOption, sources).value_or("");

    std::vector<PrintKit::PrintQuality> qualities = Adapter::supportedQualities(ppd);
    PrintKit::PrintQuality quality = PrintKit::PrintQuality::standard;
    if (!qualities.empty() && std::find(qualities.begin(), qualities.end(), quality) == qualities.end()) {
        quality = qualities.front();
    }

    std::string name = newRecipeName;
    if (media) {
        if (const PrintKit::PPDChoice* chosen = media->choice(mediaKey)) {
            name = PrintKit::label(*chosen, "ko");
        }
    }
    PaperRecipe recipe = PaperRecipe::make(name, {choice.queue.name, ppd.nickName}, mediaKey, sheet,
                                           std::nullopt, source, quality, PrintKit::InkMode::color,
                                           PrintKit::ColorManagement::driver(), std::nullopt, {}, "");
    recipe.updatedAt = nowInSeconds();
    return recipe;
}

// The catalogue machine a queue drives, by the model names its PPD and CUPS give.
const PrintKit::EpsonMachine* machineOf(const PrinterChoice& choice) {
    std::vector<std::string> names;
    if (choice.ppd) {
        names = {choice.ppd->modelName, choice.ppd->nickName};
    }
    names.push_back(choice.queue.makeAndModel);
    for (std::string name : names) {
        // Driverless queues append what drives them ("… - IPP Everywhere", "…, driverless").
        for (const char* tail : {" - ", ","}) {
            if (auto at = name.find(tail); at != std::string::npos) {
                name.resize(at);
            }
        }
        if (const PrintKit::EpsonMachine* machine = PrintKit::EpsonMachines::forModel(name)) {
            return machine;
        }
    }
    return nullptr;
}

QString messageOf(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

} // namespace

PrintModel::PrintModel(Environment environment, QObject* parent)
    : QObject(parent), d(std::make_unique<State>()) {
    d->environment = std::move(environment);
    d->self = this;
    if (!d->environment.settings) {
        d->environment.settings = defaultSettings();
    }
    d->photoLoader = std::make_unique<QThreadPool>();
    d->photoLoader->setMaxThreadCount(1);
}

std::shared_ptr<QSettings> PrintModel::defaultSettings() {
    return std::make_shared<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quilm Print"),
                                       QStringLiteral("QuilmPrint"));
}

PrintModel::~PrintModel() {
    if (d->photoLoadCancel) {
        *d->photoLoadCancel = true;
    }
}

QSettings& PrintModel::State::settings() {
    return *environment.settings;
}

void PrintModel::start() {
    if (d->started) {
        return;
    }
    d->started = true;
    currentModel = this;
    d->showSetupAsked = qgetenv("QUILM_PRINT_SHOW_SETUP") == "1";
    d->applyPrintDemonstrations();
    d->restoreLayout();
    d->loadStoredRecipes();
    d->loadPrinters(true, std::nullopt);
}

PrintModel* PrintModel::current() {
    return currentModel.data();
}

// ---- Printers ----

const std::vector<PrinterChoice>& PrintModel::printers() const {
    return d->printers;
}

bool PrintModel::isLoadingPrinters() const {
    return d->isLoadingPrinters;
}

std::optional<std::string> PrintModel::printerID() const {
    return d->printerID;
}

const PrinterChoice* PrintModel::State::printer(const std::string& queue) const {
    for (const PrinterChoice& choice : printers) {
        if (choice.queue.name == queue) {
            return &choice;
        }
    }
    return nullptr;
}

const PrinterChoice* PrintModel::selectedPrinter() const {
    return d->printerID ? d->printer(*d->printerID) : nullptr;
}

std::vector<PrinterChoice> PrintModel::epsonQueues() const {
    std::vector<PrinterChoice> result;
    for (const PrinterChoice& choice : d->printers) {
        if (PrintKit::queueKind(choice.queue, choice.ppd ? &*choice.ppd : nullptr) ==
            PrintKit::QueueKind::epson) {
            result.push_back(choice);
        }
    }
    return result;
}

std::vector<PrinterChoice> PrintModel::airPrintOnlyQueues() const {
    std::vector<PrinterChoice> result;
    for (const PrinterChoice& choice : d->printers) {
        if (PrintKit::queueKind(choice.queue, choice.ppd ? &*choice.ppd : nullptr) ==
            PrintKit::QueueKind::airPrint) {
            result.push_back(choice);
        }
    }
    return result;
}

std::optional<PrinterChoice> PrintModel::epsonQueue(const PrinterChoice& sameModelAs) const {
    const PrintKit::EpsonMachine* wanted = machineOf(sameModelAs);
    if (!wanted) {
        return std::nullopt;
    }
    for (const PrinterChoice& choice : epsonQueues()) {
        if (const PrintKit::EpsonMachine* machine = machineOf(choice);
            machine && machine->bundle == wanted->bundle) {
            return choice;
        }
    }
    return std::nullopt;
}

void PrintModel::State::loadPrinters(bool atStart, std::optional<std::string> thenSelect) {
    const std::uint64_t generation = ++printersGeneration;
    struct Loaded {
        std::vector<PrinterChoice> printers;
        QString problem;
    };
    runInBackground(
        self,
        []() {
            Loaded loaded;
            try {
                for (PrintKit::PrinterQueue& queue : PrintKit::CupsClient::queues()) {
                    PrinterChoice choice{std::move(queue), std::nullopt};
                    try {
                        choice.ppd =
                            PrintKit::CupsClient::ppd(choice.queue.name, PrintKit::LanguageSet{"ko"});
                    } catch (const std::exception&) {
                        // A queue without a readable PPD is listed; prepare() names what it lacks.
                    }
                    loaded.printers.push_back(std::move(choice));
                }
            } catch (const std::exception& error) {
                loaded.problem = messageOf(error);
            }
            return loaded;
        },
        [generation, atStart, thenSelect](PrintModel& model, Loaded loaded) {
            if (generation != model.d->printersGeneration) {
                return;
            }
            model.d->printersLoaded(std::move(loaded.printers), loaded.problem, atStart, thenSelect);
        });
}

void PrintModel::State::printersLoaded(std::vector<PrinterChoice> loaded, const QString& problem,
                                       bool atStart, const std::optional<std::string>& thenSelect) {
    printers = std::move(loaded);
    isLoadingPrinters = false;
    emit self->printersChanged();
    if (!problem.isEmpty()) {
        self->setFailure(problem);
    }
    if (thenSelect && printer(*thenSelect)) {
        self->selectPrinter(*thenSelect);
    } else if (atStart) {
        std::vector<const PrinterChoice*> supported;
        for (const PrinterChoice& choice : printers) {
            if (choice.ppd && Adapter::supports(*choice.ppd)) {
                supported.push_back(&choice);
            }
        }
        const std::optional<std::string> saved = ModelSettings::readText(settings(), ModelSettings::printer);
        const PrinterChoice* chosen = nullptr;
        for (const PrinterChoice* choice : supported) {
            if (saved && choice->queue.name == *saved) {
                chosen = choice;
            }
        }
        for (const PrinterChoice* choice : supported) {
            if (!chosen && choice->queue.isDefault) {
                chosen = choice;
            }
        }
        if (!chosen && !supported.empty()) {
            chosen = supported.front();
        }
        if (chosen) {
            self->selectPrinter(chosen->queue.name);
        }
        if (supported.empty() || showSetupAsked) {
            self->setShowingSetup(true);
        }
    }
    scheduleBleedCheck();
}

void PrintModel::selectPrinter(const std::string& queue) {
    if (!d->printer(queue)) {
        return;
    }
    d->printerID = queue;
    d->settings().setValue(ModelSettings::printer, text(queue));
    emit printersChanged();
    d->restoreRecipe();
    d->scanProfiles();
    d->scheduleBleedCheck();
}

void PrintModel::reloadPrinters() {
    d->loadPrinters(false, std::nullopt);
}

void PrintModel::reloadPrinters(const std::string& thenSelect) {
    d->loadPrinters(false, thenSelect);
}

QString PrintModel::printerSettings() {
    return QString::fromStdString(PrintKit::CupsClient::printersPage());
}

// ---- Recipes ----

void PrintModel::State::assignRecipe(PaperRecipe value) {
    if (printerID) {
        try {
            settings().setValue(ModelSettings::workingRecipeKey(*printerID),
                                text(PrintKit::RecipeJSON::encode(value)));
        } catch (const PrintKit::Error&) {
            // A size that is no number cannot be written; the last copy that could stays, and prepare()
            // tells the user what is wrong with this one.
        }
    }
    recipe = std::move(value);
    emit self->recipeChanged();
    scheduleBleedCheck();
}

void PrintModel::State::loadStoredRecipes() {
    try {
        stored = environment.recipes.all();
        return;
    } catch (const std::exception& error) {
        // One damaged file must not hide the others: read them one by one and say what failed.
        self->setFailure(messageOf(error));
    }
    stored.clear();
    std::error_code problem;
    for (std::filesystem::directory_iterator it(environment.recipes.directory, problem), end;
         !problem && it != end; it.increment(problem)) {
        if (it->path().extension() != ".json") {
            continue;
        }
        auto id = PrintKit::Uuid::parse(it->path().stem().string());
        if (!id) {
            continue;
        }
        try {
            stored.push_back(environment.recipes.load(*id));
        } catch (const std::exception&) {
        }
    }
    std::stable_sort(stored.begin(), stored.end(), [](const PaperRecipe& a, const PaperRecipe& b) {
        return PrintKit::Text::compareNames(a.name, b.name) < 0;
    });
}

std::optional<PaperRecipe> PrintModel::State::fallbackRecipe() const {
    if (!printerID) {
        return std::nullopt;
    }
    const std::optional<std::string> chosen =
        ModelSettings::readText(*environment.settings, ModelSettings::chosenRecipeKey(*printerID));
    if (chosen) {
        if (auto id = PrintKit::Uuid::parse(*chosen)) {
            for (const PaperRecipe& candidate : stored) {
                if (candidate.id == *id) {
                    return candidate;
                }
            }
        }
    }
    for (const PaperRecipe& candidate : stored) {
        if (candidate.printer.queue == *printerID) {
            return candidate;
        }
    }
    const PrinterChoice* choice = printer(*printerID);
    if (choice && choice->ppd && Adapter::supports(*choice->ppd)) {
        return starterRecipe(*choice);
    }
    return std::nullopt;
}

void PrintModel::State::restoreRecipe() {
    recipe.reset();
    if (printerID) {
        if (auto working = ModelSettings::readText(settings(), ModelSettings::workingRecipeKey(*printerID))) {
            try {
                // A copy written by a newer build is read no further; it, like a damaged one, gives way to
                // the chosen recipe (and stays until this build writes the working copy again).
                const nlohmann::json document = PrintKit::RecipeJSON::parseDocument(*working);
                if (PrintKit::RecipeJSON::schemaVersion(document) <= PaperRecipe::currentSchemaVersion) {
                    recipe = PrintKit::RecipeJSON::decodeDocument(document);
                }
            } catch (const std::exception&) {
            }
        }
        if (!recipe) {
            recipe = fallbackRecipe();
        }
    }
    emit self->recipeChanged();
}

const std::optional<PaperRecipe>& PrintModel::recipe() const {
    return d->recipe;
}

std::optional<PaperRecipe> PrintModel::savedRecipe() const {
    if (!d->recipe) {
        return std::nullopt;
    }
    for (const PaperRecipe& candidate : d->stored) {
        if (candidate.id == d->recipe->id) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::vector<PaperRecipe> PrintModel::storedRecipes() const {
    std::vector<PaperRecipe> result;
    if (!d->printerID) {
        return result;
    }
    for (const PaperRecipe& candidate : d->stored) {
        if (candidate.printer.queue == *d->printerID) {
            result.push_back(candidate);
        }
    }
    return result;
}

void PrintModel::chooseRecipe(const PrintKit::Uuid& id) {
    if (!d->printerID) {
        return;
    }
    for (const PaperRecipe& candidate : d->stored) {
        if (candidate.id == id) {
            d->settings().setValue(ModelSettings::chosenRecipeKey(*d->printerID), text(id.string()));
            d->assignRecipe(candidate);
            return;
        }
    }
}

void PrintModel::newRecipe() {
    const PrinterChoice* choice = selectedPrinter();
    if (!choice) {
        return;
    }
    PaperRecipe fresh;
    if (d->recipe) {
        fresh = *d->recipe;
    } else if (choice->ppd && Adapter::supports(*choice->ppd)) {
        fresh = starterRecipe(*choice);
    } else {
        return;
    }
    fresh.id = PrintKit::Uuid::random();
    fresh.version = 1;
    fresh.name = newRecipeName;
    fresh.printer = {choice->queue.name, choice->ppd ? choice->ppd->nickName : fresh.printer.model};
    fresh.updatedAt = nowInSeconds();
    d->assignRecipe(std::move(fresh));
}

void PrintModel::saveRecipe() {
    if (!d->recipe || !d->printerID) {
        return;
    }
    PaperRecipe written;
    try {
        written = d->environment.recipes.save(*d->recipe, PrintKit::Dates::now());
    } catch (const PrintKit::Error& error) {
        setFailure(messageOf(error));
        return;
    } catch (const std::exception& error) {
        setFailure(text(errorMessage(PrintModelErrorCode::recipeNotSaved, error.what())));
        return;
    }
    auto same = std::find_if(d->stored.begin(), d->stored.end(),
                             [&](const PaperRecipe& candidate) { return candidate.id == written.id; });
    if (same != d->stored.end()) {
        *same = written;
    } else {
        d->stored.push_back(written);
    }
    std::stable_sort(d->stored.begin(), d->stored.end(), [](const PaperRecipe& a, const PaperRecipe& b) {
        return PrintKit::Text::compareNames(a.name, b.name) < 0;
    });
    d->settings().setValue(ModelSettings::chosenRecipeKey(*d->printerID), text(written.id.string()));
    d->assignRecipe(std::move(written));
}

void PrintModel::deleteRecipe() {
    if (!d->recipe || !d->printerID) {
        return;
    }
    const PrintKit::Uuid id = d->recipe->id;
    if (savedRecipe()) {
        try {
            d->environment.recipes.remove(id);
        } catch (const std::exception& error) {
            setFailure(text(errorMessage(PrintModelErrorCode::recipeNotDeleted, error.what())));
            return;
        }
        std::erase_if(d->stored, [&](const PaperRecipe& candidate) { return candidate.id == id; });
    }
    d->settings().remove(ModelSettings::chosenRecipeKey(*d->printerID));
    d->settings().remove(ModelSettings::workingRecipeKey(*d->printerID));
    d->recipe = d->fallbackRecipe();
    emit recipeChanged();
    d->scheduleBleedCheck();
}

void PrintModel::rename(const QString& name) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    changed.name = name.toStdString();
    d->assignRecipe(std::move(changed));
}

void PrintModel::setMedia(const std::string& key) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    changed.media = key;
    if (changed.color.app) {
        for (const PrintKit::ProfileMatch& match : profileSuggestions(key)) {
            if (match.sameModel) {
                if (match.profile.path != changed.color.app->profile.path) {
                    changed.color.app->profile = PrintKit::ProfileReference(match.profile);
                }
                break;
            }
        }
    }
    d->assignRecipe(std::move(changed));
}

void PrintModel::setSource(const std::string& key) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    changed.source = key;
    d->assignRecipe(std::move(changed));
}

std::map<std::string, std::string> PrintModel::State::shownDetails(const PaperRecipe&) const {
    std::map<std::string, std::string> details;
    const PrinterChoice* choice = self->selectedPrinter();
    if (!choice || !choice->ppd) {
        return details;
    }
    for (const PrintKit::PPDOption& option : Adapter::detailedQualityOptions(*choice->ppd)) {
        if (auto value = self->driverValue(option.keyword)) {
            details[option.keyword] = *value;
        }
    }
    return details;
}

void PrintModel::setQuality(PrintKit::PrintQuality quality) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    if (changed.quality != PrintKit::PrintQuality::custom && changed.driverOverrides.empty()) {
        if (quality == PrintKit::PrintQuality::custom) {
            changed.driverOverrides = d->shownDetails(changed);
        } else {
            changed.driverOverrides.clear();
        }
    }
    changed.quality = quality;
    d->assignRecipe(std::move(changed));
}

void PrintModel::setSharpening(PrintKit::OutputSharpening sharpening) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    changed.sharpening = sharpening;
    d->assignRecipe(std::move(changed));
}

void PrintModel::setDriverOverride(const std::string& keyword, const std::string& key) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    if (changed.quality != PrintKit::PrintQuality::custom) {
        for (auto& [detail, value] : d->shownDetails(changed)) {
            changed.driverOverrides.insert_or_assign(detail, value);
        }
        changed.quality = PrintKit::PrintQuality::custom;
    }
    changed.driverOverrides.insert_or_assign(keyword, key);
    d->assignRecipe(std::move(changed));
}

void PrintModel::clearDriverOverrides() {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    changed.driverOverrides.clear();
    d->assignRecipe(std::move(changed));
}

void PrintModel::chooseSheet(const std::string& key) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    changed.customSheet.reset();
    changed.sheet = key;
    d->assignRecipe(std::move(changed));
}

void PrintModel::chooseCustomSheet(const PrintKit::CustomSheetSize& size) {
    const PrinterChoice* choice = selectedPrinter();
    if (!d->recipe || !choice || !choice->ppd) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    changed.sheet = std::string(Adapter::customSheet);
    changed.customSheet = size;
    std::vector<PrintKit::PPDChoice> sources = Adapter::sources(changed, *choice->ppd);
    if (std::none_of(sources.begin(), sources.end(),
                     [&](const PrintKit::PPDChoice& source) { return source.key == changed.source; })) {
        changed.source = sources.empty() ? "2" : sources.front().key;
    }
    d->assignRecipe(std::move(changed));
}

void PrintModel::setAppManagedColor(bool on) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    if (!on) {
        changed.color = PrintKit::ColorManagement::driver();
        d->assignRecipe(std::move(changed));
        return;
    }
    if (changed.color.app) {
        return;
    }
    std::optional<PrintKit::ICCProfileInfo> profile;
    if (auto suggestions = profileSuggestions(changed.media); !suggestions.empty()) {
        profile = suggestions.front().profile;
    } else if (!d->profiles.empty()) {
        profile = d->profiles.front();
    }
    if (!profile) {
        setFailure(text(errorMessage(PrintModelErrorCode::noProfiles, {})));
        return;
    }
    changed.color = PrintKit::ColorManagement::application(PrintKit::ProfileReference(*profile),
                                                           PrintKit::RenderingIntent::perceptual, true);
    d->assignRecipe(std::move(changed));
}

void PrintModel::setProfile(const PrintKit::ICCProfileInfo& profile) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    if (changed.color.app) {
        changed.color.app->profile = PrintKit::ProfileReference(profile);
    }
    d->assignRecipe(std::move(changed));
}

void PrintModel::setIntent(PrintKit::RenderingIntent intent) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    if (changed.color.app) {
        changed.color.app->intent = intent;
    }
    d->assignRecipe(std::move(changed));
}

void PrintModel::setBlackPointCompensation(bool on) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    if (changed.color.app) {
        changed.color.app->blackPointCompensation = on;
    }
    d->assignRecipe(std::move(changed));
}

void PrintModel::setBleedCompensation(bool on) {
    if (!d->recipe) {
        return;
    }
    PaperRecipe changed = *d->recipe;
    changed.bleedCompensation = on;
    d->assignRecipe(std::move(changed));
}

std::optional<std::string> PrintModel::driverValue(const std::string& keyword) const {
    const PrinterChoice* choice = selectedPrinter();
    if (!d->recipe || !choice || !choice->ppd) {
        return std::nullopt;
    }
    const PrintKit::PPDFile& ppd = *choice->ppd;
    if (d->recipe->quality != PrintKit::PrintQuality::custom) {
        if (auto details = Adapter::presetDetails(*d->recipe, ppd)) {
            if (auto found = details->find(keyword); found != details->end()) {
                return found->second;
            }
        }
    }
    if (auto found = d->recipe->driverOverrides.find(keyword); found != d->recipe->driverOverrides.end()) {
        return found->second;
    }
    Outcome<PreparedSheet> sheet = tryPrepare();
    if (sheet.ok()) {
        for (const PrintKit::PrintOption& option : sheet.value->options) {
            if (option.key == keyword) {
                return option.value;
            }
        }
    }
    if (const PrintKit::PPDOption* option = ppd.option(keyword)) {
        return option->defaultChoice;
    }
    return std::nullopt;
}

// ---- Profiles ----

const std::vector<PrintKit::ICCProfileInfo>& PrintModel::profiles() const {
    return d->profiles;
}

void PrintModel::State::scanProfiles() {
    const std::uint64_t generation = ++profilesGeneration;
    profiles.clear();
    emit self->profilesChanged();
    const PrinterChoice* choice = self->selectedPrinter();
    if (!choice) {
        return;
    }
    const std::string queue = choice->queue.name;
    std::vector<std::string> extra;
    if (choice->ppd) {
        extra = PrintKit::ICCProfileCatalog::ppdProfilePaths(*choice->ppd);
    }
    std::vector<std::filesystem::path> folders =
        environment.profileFolders.value_or(PrintKit::ICCProfileCatalog::standardDirectories());
    runInBackground(
        self, [folders, extra]() { return PrintKit::ICCProfileCatalog::printerProfiles(folders, extra); },
        [generation, queue](PrintModel& model, std::vector<PrintKit::ICCProfileInfo> found) {
            if (generation != model.d->profilesGeneration || model.d->printerID != queue) {
                return;
            }
            model.d->profiles = std::move(found);
            emit model.profilesChanged();
        });
}

std::vector<PrintKit::ProfileMatch> PrintModel::profileSuggestions(const std::string& media) const {
    const PrinterChoice* choice = selectedPrinter();
    if (!choice || !choice->ppd) {
        return {};
    }
    const PrintKit::PPDOption* option = choice->ppd->option("EPIJ_Medi");
    const PrintKit::PPDChoice* mediaChoice = option ? option->choice(media) : nullptr;
    if (!mediaChoice) {
        return {};
    }
    return PrintKit::ProfileMatcher::matches(mediaChoice->label, *choice->ppd, d->profiles, 0.6);
}

// ---- Borderless expansions ----

void PrintModel::State::scheduleBleedCheck() {
    if (bleedCheckPending) {
        return;
    }
    bleedCheckPending = true;
    QTimer::singleShot(0, self, [this] {
        bleedCheckPending = false;
        checkBleed();
    });
}

void PrintModel::State::checkBleed() {
    Outcome<PreparedSheet> sheet = self->tryPrepare();
    if (!sheet.ok() || !sheet.value->bleedPending || !printerID) {
        return;
    }
    auto key = std::make_pair(*printerID, sheet.value->page.name);
    if (bleedAsked.insert(key).second) {
        requestBleedMeasurement(key.first, sheet.value->page);
    }
}

std::optional<double> PrintModel::State::bleedExpansion(const std::string& queue,
                                                        const std::string& page) const {
    if (road.unmeasurable.count(queue + "." + page)) {
        return 1.0; // could not be measured in this run: the sheet prints without the compensation
    }
    return ModelSettings::readNumber(*environment.settings, ModelSettings::bleedExpansionKey(queue, page));
}

void PrintModel::State::recordBleedExpansion(const std::string& queue, const std::string& page,
                                             double expansion) {
    ModelSettings::writeNumber(settings(), ModelSettings::bleedExpansionKey(queue, page), expansion);
    emit self->layoutChanged();
}

// ---- Failure ----

const QString& PrintModel::failure() const {
    return d->failure;
}

void PrintModel::setFailure(const QString& message) {
    d->failure = message;
    emit failureChanged();
}

void PrintModel::clearFailure() {
    setFailure({});
}

bool PrintModel::showingSetup() const {
    return d->showingSetup;
}

void PrintModel::setShowingSetup(bool on) {
    if (d->showingSetup == on) {
        return;
    }
    d->showingSetup = on;
    emit setupChanged();
}

} // namespace QuilmPrint
