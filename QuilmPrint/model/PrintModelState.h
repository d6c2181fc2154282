// The model's private state, one section per area. Only the model's own source files include this.
#pragma once

#include "QuilmPrint/model/PrintModel.h"

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

    // Jobs, notices and the bleed measurements (PrintModelJobs.cpp)
    std::vector<PrintJobItem> jobs;
    std::optional<Notice> notice;

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
};

} // namespace QuilmPrint
