// The model's private state, one section per area. Only the model's own source files include this.
#pragma once

#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/model/PrintRoad.h"

#include <QHash>
#include <QImage>
#include <QPointer>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace QuilmPrint {

struct PrintModel::State {
    Environment environment;
    bool started = false;

    // Printers (PrintModel.cpp)
    std::vector<PrinterChoice> printers;
    bool isLoadingPrinters = true;
    std::optional<std::string> printerID;

    // Recipes and profiles (PrintModel.cpp)
    std::optional<PrintKit::PaperRecipe> recipe;
    std::vector<PrintKit::PaperRecipe> stored;
    std::vector<PrintKit::ICCProfileInfo> profiles;

    // Photos and preview (PrintModelPhotos.cpp)
    std::vector<PhotoItem> photos;
    std::optional<QUuid> selectedPhotoID;
    QHash<QUuid, PrintKit::Size> offsets;
    QImage previewImage;
    std::optional<QUuid> previewPhotoID;

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

    // Jobs, notices and the bleed measurements (PrintModelJobs.cpp, PrintModelBleed.cpp)
    std::vector<PrintJobItem> jobs;
    std::optional<Notice> notice;
    PrintRoad road;
    std::shared_ptr<ModelLink> linkTo(PrintModel& model);
    PrintJobItem* job(const QUuid& id);
    void setJob(PrintModel& model, const PrintJobItem& job);
    std::vector<SheetWork> photoSheets(const PrintModel& model, const std::vector<PhotoItem>& photos,
                                       const PreparedSheet& sheet) const;
    std::vector<SheetWork> gridSheets(const PrintModel& model, const PreparedSheet& sheet) const;
    void print(PrintModel& model, std::vector<SheetWork> sheets);
    void startNextSheet(PrintModel& model);
    void sheetEnded(PrintModel& model, const RoadSheet& sheet, const SheetEnd& end);
    void exportEnded(PrintModel& model, ExportRun& run);
    void watch(PrintModel& model, const QUuid& id);
    void cancelInCups(PrintModel& model, const QUuid& id);
    void applyPrintDemonstrations(PrintModel& model);
    std::filesystem::path temporaryFolder() const;
    QSettings& settings();
    std::optional<double> storedExpansion(const std::string& key);
    void measured(PrintModel& model, const std::string& key, std::optional<double> expansion);

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
    std::optional<std::string> selectWhenLoaded; // a queue just created, chosen once the printer list has it
    QMetaObject::Connection selectingCreated;
    StopFlag stopDiscovery;
    StopFlag stopInstalls;
    std::shared_ptr<SetupServices> setupServices();
    void setInstall(PrintModel& model, const QString& id, const DriverInstall& install);
    void endInstall(PrintModel& model, const QString& id);
    void driversRead(PrintModel& model, std::vector<PrintKit::EpsonDriver> read);
    void selectCreatedQueue(PrintModel& model);
};

} // namespace QuilmPrint
