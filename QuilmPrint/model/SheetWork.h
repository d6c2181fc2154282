// One sheet as the print road takes it: everything the renderer needs, copied out of the model when the user
// prints or exports, so the sheet comes out as it was shown at that moment whatever is changed afterwards,
// and so it can be rendered on another thread.
#pragma once

#include "PrintKit/render/layout/GridSpec.h"
#include "PrintKit/render/layout/ImageFit.h"
#include "PrintKit/render/sheet/GridCellPhoto.h"
#include "PrintKit/support/Geometry.h"
#include "QuilmPrint/model/ModelRecords.h"

#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace QuilmPrint {

// One photo on its sheet, on the turned canvas when `turned`.
struct PhotoSheet {
    std::filesystem::path image;
    PrintKit::ImageFit fit;
    PrintKit::Margins margins;
    PrintKit::Size offset;
    bool turned = false;

    friend bool operator==(const PhotoSheet&, const PhotoSheet&) = default;
};

// A grid page: the photo of each cell in reading order (none leaves a cell empty).
struct GridSheet {
    std::vector<std::optional<PrintKit::GridCellPhoto>> photos;
    PrintKit::GridSpec spec;
    PrintKit::Margins margins;

    friend bool operator==(const GridSheet&, const GridSheet&) = default;
};

struct SheetWork {
    PreparedSheet sheet; // the unturned sheet, as prepare() gives it
    std::variant<PhotoSheet, GridSheet> content;
    QString name;     // the jobs list's name of the sheet, the job's title in CUPS
    std::string stem; // an exported file's name, without ".pdf"
    std::string queue;

    // The measurement the sheet waited for has ended: the bleed is settled with the expansion, or without
    // one when it could not be measured.
    void settleBleed(std::optional<double> expansion);

    // Writes the print-ready PDF to `to`; the file appears only when it is whole. Throws the renderer's
    // errors.
    void render(const std::filesystem::path& to) const;

    friend bool operator==(const SheetWork&, const SheetWork&) = default;
};

} // namespace QuilmPrint
