// The model's private state, one section per area. Only the model's own source files include this.
#pragma once

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/model/PrintRoad.h"

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace QuilmPrint {

struct PrintModel::State {
    Environment environment;
    bool started = false;
    PrintModel* self = nullptr;

    // Settings (PrintModel.cpp): the user defaults of the environment, else the program's own INI file.
    QSettings& settings();

    // Printers (PrintModel.cpp)
    std::vector<PrinterChoice> printers;
    bool isLoadingPrinters = true;
    std::optional<std::string> printerID;
    std::uint64_t printersGeneration = 0;
    bool showSetupAsked = false; // the demonstration variable asked for the set-up sheet

    // atStart: choose a printer as the program starts; else select thenSelect, if given, once loaded.
    void loadPrinters(bool atStart, std::optional<std::string> thenSelect);
    void printersLoaded(std::vector<PrinterChoice> loaded, const QString& problem, bool atStart,
                        const std::optional<std::string>& thenSelect);
    const PrinterChoice* printer(const std::string& queue) const;

    // Recipes and profiles (PrintModel.cpp)
    std::optional<PrintKit::PaperRecipe> recipe;
    std::vector<PrintKit::PaperRecipe> stored;
    std::vector<PrintKit::ICCProfileInfo> profiles;
    std::uint64_t profilesGeneration = 0;

    // The one way the working recipe changes: keeps the working copy for the printer and announces it.
    void assignRecipe(PrintKit::PaperRecipe value);
    void loadStoredRecipes();
    void restoreRecipe();
    std::optional<PrintKit::PaperRecipe> fallbackRecipe() const;
    void scanProfiles();
    // The detail values the quality rows show for the recipe's preset.
    std::map<std::string, std::string> shownDetails(const PrintKit::PaperRecipe& recipe) const;

    // Borderless expansions (PrintModel.cpp). prepare() only reads what is remembered; a missing expansion
    // is asked for here, after the change that needed it, once per queue and page size.
    std::set<std::pair<std::string, std::string>> bleedAsked;
    bool bleedCheckPending = false;
    void scheduleBleedCheck();
    void checkBleed();
    std::optional<double> bleedExpansion(const std::string& queue, const std::string& page) const;
    // Measures the expansion in the background and hands it to recordBleedExpansion.
    void requestBleedMeasurement(const std::string& queue, const PrintKit::PPDPageSize& page);
    void recordBleedExpansion(const std::string& queue, const std::string& page, double expansion);

    // Photos and preview (PrintModelPhotos.cpp)
    std::vector<PhotoItem> photos;
    std::optional<QUuid> selectedPhotoID;
    QHash<QUuid, PrintKit::Size> offsets;
    QImage previewImage;
    std::optional<QUuid> previewPhotoID;
    std::uint64_t photosGeneration = 0; // moves on when the list is emptied: loads under way are dropped
    int photoLoadsRunning = 0;
    std::shared_ptr<std::atomic<bool>> photoLoadCancel;
    int previewPixels = 0; // the longer side of the preview loaded or being loaded for the selection
    int previewWanted = 0; // the views' last request, kept for the next selected photo
    std::uint64_t previewGeneration = 0;

    std::unique_ptr<QThreadPool> photoLoader; // one load at a time, so photos arrive in the order added
    void photosLoaded(std::uint64_t generation, std::vector<PhotoItem> loaded, bool last,
                      const std::vector<std::filesystem::path>& unreadable);
    void loadPreview(int pixels);
    void forgetPreview();

    // Layout and grid (PrintModelLayout.cpp)
    LayoutMode layoutMode = LayoutMode::fit;
    CanvasOrientation canvasOrientation = CanvasOrientation::automatic;
    PhotosPerSheet photosPerSheet = PhotosPerSheet::one;
    double marginMM = 0;
    double exactWidthMM = 127;
    double exactHeightMM = 177.8;
    bool exactTurnsToPhoto = true;
    int copies = 1;
    GridSettings grid;
    int gridPageIndex = 0;

    void restoreLayout();
    void saveGrid();

    // Demonstration jobs and notice of the print road, applied by start().
    void applyPrintDemonstrations();

    // Jobs, notices and the bleed measurements (PrintModelJobs.cpp, PrintModelBleed.cpp)
    std::vector<PrintJobItem> jobs;
    std::optional<Notice> notice;
    std::optional<Notice> noticeOfWork; // the working notice, back once passing ones over it have gone
    std::uint64_t noticeGeneration = 0; // the notice a pending expiry was started for
    // Shows `shown`; one that `passes` goes by itself after the model's notice lifetime.
    void present(const Notice& shown, bool passes);
    void noticePassed(std::uint64_t generation);
    PrintRoad road;
    PrintJobItem* job(const QUuid& id);
    void setJob(PrintModel& model, const PrintJobItem& job);
    std::vector<SheetWork> photoSheets(const PrintModel& model, const std::vector<PhotoItem>& photos,
                                       const PreparedSheet& sheet) const;
    std::vector<SheetWork> gridSheets(const PrintModel& model, const PreparedSheet& sheet,
                                      const PrintKit::GridPlan& plan,
                                      const std::vector<std::vector<PhotoItem>>& pages) const;
    // The sheets of a print or an export; none, with the reason in the problem alert, when they cannot be made.
    std::vector<SheetWork> sheetsToPrint(PrintModel& model, bool gridPages, const std::optional<PhotoItem>& only) const;
    void print(PrintModel& model, std::vector<SheetWork> sheets);
    void startNextSheet(PrintModel& model);
    void sheetEnded(PrintModel& model, const RoadSheet& sheet, const SheetEnd& end);
    void exportEnded(PrintModel& model, ExportRun& run);
    // Reads the job's state after `delay` (the model's watch interval when none), again and again while it
    // is followed.
    void watch(PrintModel& model, const QUuid& id, std::optional<std::chrono::milliseconds> delay = {});
    void cancelInCups(PrintModel& model, const QUuid& id);
    std::filesystem::path temporaryFolder() const;
    void measured(const std::string& queue, const std::string& page, std::optional<double> expansion);

    // Failure (PrintModel.cpp)
    QString failure;

    // Printer set-up (PrintModelSetup.cpp)
    bool showingSetup = false;
    bool isDiscovering = false;
    std::vector<PrintKit::FoundPrinter> foundPrinters;
    std::optional<std::string> connecting;
    std::vector<PrintKit::EpsonDriver> drivers;
    std::map<QString, DriverInstall> driverInstalls;
    std::map<QString, std::filesystem::path> installerMounts;
    bool refreshingDrivers = false;
    StopFlag stopDiscovery;
    StopFlag stopInstalls;
    std::shared_ptr<SetupServices> setupServices();
    void setInstall(PrintModel& model, const QString& id, const DriverInstall& install);
    void endInstall(PrintModel& model, const QString& id);
    void driversRead(PrintModel& model, std::vector<PrintKit::EpsonDriver> read);
};

} // namespace QuilmPrint
