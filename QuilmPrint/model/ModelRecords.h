// The application model's small records: what the windows read of photos, printers, jobs, the prepared sheet,
// the grid and the driver installations. Plain values; the engine's records are used as they are.
#pragma once

#include "PrintKit/printers/PrinterQueue.h"
#include "PrintKit/render/color/SheetColor.h"
#include "PrintKit/render/layout/BorderlessBleed.h"
#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/settings/PaperRecipe.h"
#include "PrintKit/settings/PrintOption.h"
#include "PrintKit/support/Geometry.h"

#include <QImage>
#include <QString>
#include <QUuid>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace QuilmPrint {

// One photo of the list. Width and height are in the displayed (upright) orientation.
struct PhotoItem {
    QUuid id;
    std::filesystem::path url;
    int pixelWidth = 0;
    int pixelHeight = 0;
    QImage thumbnail; // upright sRGB, small; null when none could be made

    // The last path component: the name shown in the list and the grid caption.
    QString name() const { return QString::fromStdString(url.filename().string()); }

    friend bool operator==(const PhotoItem& a, const PhotoItem& b) {
        return a.id == b.id && a.url == b.url && a.pixelWidth == b.pixelWidth && a.pixelHeight == b.pixelHeight;
    }
};

// One job of the jobs list.
struct PrintJobItem {
    enum class State { failed, waiting, rendering, sending, printing, cancelling, done, cancelled };

    QUuid id;
    QString photoName;
    std::string queue;
    State state = State::waiting;
    QString message;   // the failure's message when state is failed
    int cupsJobID = 0; // 0 until CUPS accepted the job
    int copies = 1;
    bool processing = false; // CUPS reports the job as being processed
    QString note;            // e.g. the printer's state message while the job is stopped

    friend bool operator==(const PrintJobItem&, const PrintJobItem&) = default;
};

// What prepare() settled for a print. `paper` is the recipe's own sheet when the page printed is another page
// size of the PPD (a borderless variant); none when the page is the sheet itself.
struct PreparedSheet {
    PrintKit::PPDPageSize page;
    std::optional<PrintKit::PPDPageSize> paper;
    double resolution = 720;
    PrintKit::SheetColor color;
    PrintKit::OutputSharpening sharpening = PrintKit::OutputSharpening::off;
    std::optional<PrintKit::BorderlessBleed> bleed;
    bool bleedPending = false;
    bool isTurnedCanvas = false;
    std::vector<PrintKit::PrintOption> options; // the adapter's options, then "copies"

    // The same sheet on the turned canvas: page, paper and bleed a quarter turn round.
    PreparedSheet turned() const;

    friend bool operator==(const PreparedSheet&, const PreparedSheet&) = default;
};

// A CUPS queue offered for printing, with its parsed PPD when it could be read.
struct PrinterChoice {
    PrintKit::PrinterQueue queue;
    std::optional<PrintKit::PPDFile> ppd;

    // The PPD's NickName when there is one, else the queue's make and model, else the queue name.
    std::string name() const;

    friend bool operator==(const PrinterChoice&, const PrinterChoice&) = default;
};

// A transient status line.
struct Notice {
    QString text;
    bool working = false;              // show a spinner
    std::optional<std::filesystem::path> reveal; // a file the notice can show in the file manager

    friend bool operator==(const Notice&, const Notice&) = default;
};

// The grid as the user sets it, in millimetres.
struct GridSettings {
    double widthMM = 101.6;
    double heightMM = 152.4;
    double gapMM = 3;
    bool autoTurn = true;
    bool fitsWhole = false;
    bool rotatesToFit = true;
    bool cutMarks = true;
    bool captions = false;
    bool repeatsOne = false;

    friend bool operator==(const GridSettings&, const GridSettings&) = default;
};

// What one cell of a grid sheet holds: its photo and, with captions on, the line printed under it.
struct GridCell {
    PhotoItem photo;
    std::optional<QString> caption;

    friend bool operator==(const GridCell&, const GridCell&) = default;
};

struct GridTemplate {
    QString name;
    GridSettings settings;

    static const std::vector<GridTemplate>& all(); // the six built-in templates

    friend bool operator==(const GridTemplate&, const GridTemplate&) = default;
};

enum class PhotosPerSheet { one, many };
enum class LayoutMode { fit, fill, exact };
enum class CanvasOrientation { automatic, portrait, landscape }; // stored as "auto", "portrait", "landscape"

struct SizePreset {
    QString name;
    double widthMM = 0;
    double heightMM = 0;

    friend bool operator==(const SizePreset&, const SizePreset&) = default;
};

// The progress of one driver installation.
struct DriverInstall {
    enum class Kind { downloading, failed, finding, installerOpen, noInstaller };

    Kind kind = Kind::finding;
    double fraction = 0; // downloading
    QString message;     // failed

    static DriverInstall downloading(double fraction) { return {Kind::downloading, fraction, {}}; }
    static DriverInstall failed(QString message) { return {Kind::failed, 0, std::move(message)}; }
    static DriverInstall finding() { return {Kind::finding, 0, {}}; }
    static DriverInstall installerOpen() { return {Kind::installerOpen, 0, {}}; }
    static DriverInstall noInstaller() { return {Kind::noInstaller, 0, {}}; }

    friend bool operator==(const DriverInstall&, const DriverInstall&) = default;
};

// A custom paper size defined in the system, lengths in points.
struct SavedCustomPaper {
    QString name;
    PrintKit::CustomSheetSize size;
    PrintKit::Margins margins; // as the system keeps them with the size; the layout sets a print's own

    friend bool operator==(const SavedCustomPaper&, const SavedCustomPaper&) = default;
};

} // namespace QuilmPrint
