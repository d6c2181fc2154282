// The one state object of the application. It lives on the main thread and owns everything the windows show:
// printers, the working recipe, photos, layout and grid, jobs, driver installations, notices. Views read its
// properties and change state only through its named operations; each change is announced by the signal of
// its area, so a view refreshes only what it reads. Blocking work (CUPS, PPD files, decoding, profile scans,
// rendering, discovery) runs on Qt's thread pool with copies of its inputs; its results come back to the main
// thread and are dropped when the state they were made for has moved on.
#pragma once

#include "QuilmPrint/model/ModelRecords.h"
#include "QuilmPrint/model/PrintModelError.h"
#include "QuilmPrint/model/SetupServices.h"

#include "PrintKit/printers/EpsonMachines.h"
#include "PrintKit/printers/PrinterSetup.h"
#include "PrintKit/render/layout/GridPlan.h"
#include "PrintKit/render/layout/GridSpec.h"
#include "PrintKit/render/layout/ImageFit.h"
#include "PrintKit/render/layout/Placement.h"
#include "PrintKit/support/Geometry.h"
#include "PrintKit/settings/ICCProfileInfo.h"
#include "PrintKit/settings/ProfileMatch.h"
#include "PrintKit/settings/RecipeStore.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QString>
#include <QUuid>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace QuilmPrint {

// A value or the message of the error that kept it from being made.
template <typename T>
struct Outcome {
    std::optional<T> value;
    QString error;

    bool ok() const { return value.has_value(); }
};

// Where the model keeps what outlives a run, and what it talks to. Tests point every one of these at
// temporary folders, a private CUPS server and set-up doubles.
struct PrintModelEnvironment {
    std::shared_ptr<QSettings> settings;          // the user defaults; none: QSettings in INI format (XDG)
    PrintKit::RecipeStore recipes{PrintKit::RecipeStore::defaultDirectory()};
    std::shared_ptr<SetupServices> setup;         // none: the engine's real services
    std::optional<std::vector<std::filesystem::path>> profileFolders; // none: the catalogue's standard ones
    std::filesystem::path temporaryFolder;        // empty: the system's temporary folder
    std::filesystem::path home;                   // empty: the user's home folder
};

class PrintModel : public QObject {
    Q_OBJECT

public:
    using Environment = PrintModelEnvironment;

    explicit PrintModel(Environment environment = {}, QObject* parent = nullptr);
    ~PrintModel() override;

    // Runs once: records current(), applies the demonstration variables, restores the layout, loads the
    // recipes and starts loading the printer list.
    void start();
    static PrintModel* current();
    // The user defaults of the application: an INI file in the user's configuration folder.
    static std::shared_ptr<QSettings> defaultSettings();

    // ---- Printers ----
    const std::vector<PrinterChoice>& printers() const;
    bool isLoadingPrinters() const;
    std::optional<std::string> printerID() const;
    const PrinterChoice* selectedPrinter() const;
    std::vector<PrinterChoice> epsonQueues() const;
    std::vector<PrinterChoice> airPrintOnlyQueues() const;
    std::optional<PrinterChoice> epsonQueue(const PrinterChoice& sameModelAs) const;
    void selectPrinter(const std::string& queue);
    void reloadPrinters();
    // Reloads the list and then selects the queue (a queue just created).
    void reloadPrinters(const std::string& thenSelect);
    static QString printerSettings(); // the system's printer settings (the CUPS web interface on Linux)

    // ---- Recipes ----
    const std::optional<PrintKit::PaperRecipe>& recipe() const;
    std::optional<PrintKit::PaperRecipe> savedRecipe() const;
    std::vector<PrintKit::PaperRecipe> storedRecipes() const; // the selected printer's stored recipes, by name
    void chooseRecipe(const PrintKit::Uuid& id);
    void newRecipe();
    void saveRecipe();
    void deleteRecipe();
    void rename(const QString& name);
    void setMedia(const std::string& key);
    void setSource(const std::string& key);
    void setQuality(PrintKit::PrintQuality quality);
    void setSharpening(PrintKit::OutputSharpening sharpening);
    void setDriverOverride(const std::string& keyword, const std::string& key);
    void clearDriverOverrides();
    void chooseSheet(const std::string& key);
    void chooseCustomSheet(const PrintKit::CustomSheetSize& size);
    void setAppManagedColor(bool on);
    void setProfile(const PrintKit::ICCProfileInfo& profile);
    void setIntent(PrintKit::RenderingIntent intent);
    void setBlackPointCompensation(bool on);
    void setBleedCompensation(bool on);
    std::optional<std::string> driverValue(const std::string& keyword) const;

    // ---- Profiles ----
    const std::vector<PrintKit::ICCProfileInfo>& profiles() const;
    std::vector<PrintKit::ProfileMatch> profileSuggestions(const std::string& media) const;

    // ---- Photos ----
    const std::vector<PhotoItem>& photos() const;
    void addPhotos(const std::vector<std::filesystem::path>& urls);
    bool isLoadingPhotos() const;
    void removePhoto(const PhotoItem& photo);
    void removeAllPhotos();
    std::optional<QUuid> selectedPhotoID() const;
    void setSelectedPhotoID(const std::optional<QUuid>& id);
    const PhotoItem* selectedPhoto() const;
    const QHash<QUuid, PrintKit::Size>& offsets() const;
    void setOffset(PrintKit::Size offset, const PhotoItem& photo);
    void centerPhoto(const PhotoItem& photo);
    void resizeExact(const PrintKit::Rect& rect, const PrintKit::Rect& area, const PhotoItem& photo);

    // ---- Preview ----
    // The decoded preview of the selected photo; null when none is decoded for that photo yet.
    QImage previewImage() const;
    std::optional<QUuid> previewPhotoID() const;
    void requestPreviewDetail(int pixels);

    // ---- Layout ----
    LayoutMode layoutMode() const;
    void setLayoutMode(LayoutMode mode);
    CanvasOrientation canvasOrientation() const;
    void setCanvasOrientation(CanvasOrientation orientation);
    PhotosPerSheet photosPerSheet() const;
    void setPhotosPerSheet(PhotosPerSheet value);
    double marginMM() const;
    void setMarginMM(double value);
    double exactWidthMM() const;
    double exactHeightMM() const;
    bool exactTurnsToPhoto() const;
    void setExactSize(std::optional<double> widthMM, std::optional<double> heightMM);
    void setExactOrientation(bool portrait);
    void setExactPreset(const SizePreset& preset);
    void saveLayout();
    int copies() const;
    void setCopies(int copies); // 1…99

    // ---- Grid ----
    const GridSettings& grid() const;
    void setGrid(const GridSettings& grid);
    void applyGridTemplate(const GridTemplate& gridTemplate);
    void setGridOrientation(std::optional<bool> portrait);
    std::vector<std::vector<PhotoItem>> gridPages() const;
    // The split of a list into grid sheets of as many photos as the current grid holds.
    std::vector<std::vector<PhotoItem>> gridPages(const std::vector<PhotoItem>& of) const;
    // What each cell of the grid sheet of `page` (one of gridPages()) holds, in the plan's order: when one
    // photo repeats, every planned cell holds it; otherwise cell i holds photo i and the cells past the last
    // photo are empty (not in the list). The preview draws and the print road prints exactly these.
    std::vector<GridCell> gridCells(const std::vector<PhotoItem>& page, const PrintKit::GridPlan& plan) const;
    int gridPageIndex() const;
    void showGridPage(int index);
    void syncGridPage();

    // ---- The sheet ----
    // Throws PrintModelError whose message is the reason printing is blocked. Changes no state.
    PreparedSheet prepare() const;
    Outcome<PreparedSheet> tryPrepare() const;
    Outcome<PrintKit::Placement> placement(const PhotoItem& photo, const PreparedSheet& sheet) const;
    Outcome<PrintKit::GridPlan> gridPlan(const PreparedSheet& sheet) const;
    std::optional<double> gridPPI(const PhotoItem& photo, const PreparedSheet& sheet) const;
    bool isTurned(const PhotoItem& photo, const PreparedSheet& sheet) const;
    PrintKit::CustomSheetSize currentPaperSize() const;
    // What placement() and gridPlan() hand the engine; a render of the sheet must be given the same.
    PrintKit::ImageFit imageFit() const;
    PrintKit::Margins margins() const;
    PrintKit::GridSpec gridSpec() const;
    PrintKit::Size offset(const PhotoItem& photo) const;
    // The system's custom paper sizes, read once per run by the views that offer them.
    static std::optional<std::vector<SavedCustomPaper>>& customPaperCache();
    // The print dialog's custom paper sizes under the configuration folder (the user's when empty), sorted
    // by name; an unreadable list gives none.
    static std::vector<SavedCustomPaper> loadCustomPapers(const std::filesystem::path& configFolder = {});

    // ---- Printing and jobs ----
    const std::vector<PrintJobItem>& jobs() const;
    void printAll();
    void printPhotos();
    void printGridPages();
    void printOnly(const PhotoItem& photo);
    void cancel(const QUuid& jobID);
    int unsentSheets() const;
    // Renders the sheets that printAll() would print into `folder` as print-ready PDFs.
    void exportPDFs(const std::filesystem::path& folder);
    std::chrono::milliseconds watchInterval{2000}; // how often a job's state is read
    std::chrono::milliseconds watchLimit{5000}; // the longest wait between readings while no server answers

    // ---- Notices and failures ----
    // A notice that is not working passes: it goes after noticeLifetime, unless a newer one has taken its
    // place. A working notice stays until its work ends, also beneath passing ones shown meanwhile.
    const std::optional<Notice>& notice() const;
    void showNotice(const Notice& notice);
    void clearNotice();
    std::chrono::milliseconds noticeLifetime{8000}; // long enough to read a notice and press its button
    const QString& failure() const; // empty: no alert
    void setFailure(const QString& message);
    void clearFailure();

    // ---- Printer set-up ----
    bool showingSetup() const;
    void setShowingSetup(bool on);
    void discoverPrinters();
    bool isDiscovering() const;
    const std::vector<PrintKit::FoundPrinter>& foundPrinters() const;
    std::vector<PrintKit::FoundPrinter> newPrinters() const;
    PrintKit::SetupStatus setupStatus(const PrintKit::FoundPrinter& printer) const;
    using QObject::connect;
    void connect(const PrintKit::FoundPrinter& printer);
    const std::optional<std::string>& connecting() const;
    bool hasDriver(const PrintKit::EpsonMachine& machine) const;
    void installDriver(const QString& id, const std::string& model);
    const std::map<QString, DriverInstall>& driverInstalls() const;
    const std::map<QString, std::filesystem::path>& installerMounts() const;
    void refreshDrivers();
    void reopenInstaller(const QString& id);

signals:
    void printersChanged();
    void recipeChanged();
    void profilesChanged();
    void photosChanged(); // the list and the selection
    void layoutChanged(); // layout, grid, copies and the grid page
    void previewChanged();
    void jobsChanged();
    void setupChanged();
    void noticeChanged();
    void failureChanged();

private:
    struct State;
    std::unique_ptr<State> d;
    friend struct State;
};

} // namespace QuilmPrint
