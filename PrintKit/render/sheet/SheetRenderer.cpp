#include "PrintKit/render/sheet/SheetRenderer.h"

#include "PrintKit/render/layout/CanvasTurn.h"
#include "PrintKit/render/sheet/CellSource.h"
#include "PrintKit/render/layout/GridLayout.h"
#include "PrintKit/render/layout/Layout.h"
#include "PrintKit/render/sheet/LinearSource.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Numbers.h"

#include <sys/statvfs.h>
#include <system_error>

namespace PrintKit::SheetRenderer {

namespace {

// Everything of a finished file that is not image samples: header, profile, object heads, content stream,
// cross-reference table. Generous, so that the space check never lets a sheet through that cannot finish.
constexpr std::uint64_t fileOverhead = 1 << 20;
constexpr std::uint64_t overheadPerImage = 1 << 10;

std::uint64_t imageBytes(std::int64_t pixelWidth, std::int64_t pixelHeight) {
    if (pixelWidth < 1 || pixelHeight < 1) {
        return 0;
    }
    return static_cast<std::uint64_t>(pixelWidth) * static_cast<std::uint64_t>(pixelHeight) * 6 +
           overheadPerImage;
}

std::string megabytes(std::uint64_t bytes, bool roundUp) {
    constexpr std::uint64_t mega = 1'000'000;
    const std::uint64_t whole = roundUp ? (bytes + mega - 1) / mega : bytes / mega;
    return Numbers::integer(static_cast<std::int64_t>(whole)) + " MB";
}

// Fails before the first byte when the folder cannot hold the finished file: a sheet of several gigabytes
// should not stop midway on a full disk. The old file at the target stays until the new one replaces it,
// so the whole new file must fit next to it. A folder that cannot be inspected is left to the file's
// creation, which reports it.
void requireSpace(const std::filesystem::path& to, std::uint64_t bytes) {
    std::filesystem::path folder = to.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) {
        return;
    }
    const auto available =
        static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
    if (bytes > available) {
        throw SheetRenderError(SheetRenderErrorCode::notEnoughSpace,
                               folder.string() + " (필요: " + megabytes(bytes, true) +
                                   ", 남은 공간: " + megabytes(available, false) + ")");
    }
}

// The sheet's file while it is being written: a temporary file next to the target that replaces it only
// once the PDF is complete. Dropped without finish(), it takes the temporary file with it and leaves the
// target as it was.
class SheetFile {
public:
    SheetFile(const std::filesystem::path& to, const PPDPageSize& page, std::uint64_t samples) {
        requireSpace(to, samples + fileOverhead);
        try {
            file_.emplace(to);
        } catch (const std::system_error&) {
            // The user reads which file could not be made; the system's reason adds little.
            throw PDFImageWriterError(PDFImageWriterErrorCode::cannotOpen, to.string());
        }
        writer_.emplace(*file_, Size{page.width, page.height}, creator);
    }

    PDFImageWriter& writer() { return *writer_; }
    int descriptor() const { return file_->fd(); }

    void finish() {
        writer_->finish();
        file_->commit();
    }

private:
    std::optional<FileIO::AtomicFile> file_;
    std::optional<PDFImageWriter> writer_;
};

Placement cellPlacement(const GridPlan& plan, const PixelRect& cell, const CellFit& fit) {
    const PixelRect frame{cell.x + fit.frame.x, cell.y + fit.frame.y, fit.frame.width, fit.frame.height};
    Placement placement;
    placement.rect = plan.pageRect(frame);
    placement.pixelWidth = frame.width;
    placement.pixelHeight = frame.height;
    placement.crop = fit.crop;
    return placement;
}

bool hasCaption(const GridPlan& plan, const GridCellPhoto& photo) {
    return plan.captionHeight > 0 && photo.caption && !photo.caption->empty();
}

PixelRect captionStrip(const GridPlan& plan, const PixelRect& cell) {
    return PixelRect{cell.x, cell.y + cell.height - plan.captionHeight, cell.width, plan.captionHeight};
}

// At most what the images of the page can take: a photo never leaves its cell, except where the bleed
// pushes the cell's edges out to the page's.
std::uint64_t gridBytes(const std::vector<std::optional<GridCellPhoto>>& photos, const GridPlan& plan,
                        const PPDPageSize& page, const std::optional<BorderlessBleed>& bleed,
                        std::size_t pairs) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        if (!photos[i]) {
            continue;
        }
        const PixelRect& cell = plan.cells[i];
        Placement whole =
            cellPlacement(plan, cell, CellFit{false, Rect(0, 0, 1, 1), {0, 0, cell.width, cell.height}});
        if (bleed) {
            whole = bleed->extend(whole, page, plan.resolution);
        }
        total += imageBytes(whole.pixelWidth, whole.pixelHeight);
        if (hasCaption(plan, *photos[i])) {
            total += imageBytes(cell.width, plan.captionHeight);
        }
    }
    return total;
}

} // namespace

Placement render(const std::filesystem::path& image, const PPDPageSize& page, const ImageFit& fit,
                 const Margins& margins, double resolution, Size offset, const SheetColor& color,
                 OutputSharpening sharpening, const std::optional<BorderlessBleed>& bleed, bool turned,
                 const std::filesystem::path& to, const Tuning& tuning) {
    LinearSource::Decoded decoded = LinearSource::read(image);
    auto upright = std::make_shared<LinearSource>(decoded.image, decoded.orientation, false);

    PPDPageSize placing = bleed ? bleed->placingPage(page) : page;
    if (turned) {
        placing = CanvasTurn::canvas(placing);
    }
    const Placement placement =
        Layout::place(upright->width(), upright->height(), placing, margins, fit, resolution, offset);

    std::shared_ptr<LinearSource> drawn = std::move(upright);
    Placement drawnPlacement = placement;
    if (turned) {
        // The upright source only gave the size; the turned one is what gets drawn.
        drawn = std::make_shared<LinearSource>(decoded.image, decoded.orientation, true);
        drawnPlacement = CanvasTurn::paperPlacement(placement, page, resolution);
    }
    if (bleed) {
        drawnPlacement = bleed->extend(drawnPlacement, page, resolution);
    }

    Colorizer colors(color);
    SheetFile file(to, page, imageBytes(drawnPlacement.pixelWidth, drawnPlacement.pixelHeight));
    write(drawn, drawnPlacement.crop, drawnPlacement.pixelWidth, drawnPlacement.pixelHeight,
          drawnPlacement.rect, sharpening, resolution, colors, file.writer(), tuning.bandHeight,
          file.descriptor());
    file.finish();
    return placement;
}

void renderGrid(const std::vector<std::optional<GridCellPhoto>>& photos, const GridPlan& plan,
                const GridSpec& spec, const PPDPageSize& page, const SheetColor& color,
                OutputSharpening sharpening, const std::optional<BorderlessBleed>& bleed,
                const std::filesystem::path& to, const Tuning& tuning) {
    Colorizer colors(color);
    const std::size_t pairs = std::min(plan.cells.size(), photos.size());
    SheetFile file(to, page, gridBytes(photos, plan, page, bleed, pairs));

    // The last decoded photo, kept for a following cell that shows it the same way.
    struct Previous {
        std::filesystem::path url;
        CellFit fit;
        std::shared_ptr<LinearSource> source;
    };
    std::optional<Previous> previous;

    for (std::size_t i = 0; i < pairs; ++i) {
        if (!photos[i]) {
            continue;
        }
        const GridCellPhoto& photo = *photos[i];
        const PixelRect& cell = plan.cells[i];
        {
            const CellSource cellSource(photo.url);
            const CellFit fit =
                GridLayout::fit(cellSource.width, cellSource.height, cell, spec, plan.captionHeight);
            std::shared_ptr<LinearSource> source;
            if (previous && previous->url == cellSource.url && previous->fit == fit) {
                source = previous->source;
            } else {
                // Let the old photo go before the new one is decoded: never two in memory at once.
                previous.reset();
                if (tuning.decoded) {
                    tuning.decoded(cellSource.url, cellSource.reducedSize(fit));
                }
                source = cellSource.source(fit);
                previous = Previous{cellSource.url, fit, source};
            }
            Placement placement = cellPlacement(plan, cell, fit);
            if (bleed) {
                placement = bleed->extend(placement, page, plan.resolution);
            }
            write(source, placement.crop, placement.pixelWidth, placement.pixelHeight, placement.rect,
                  sharpening, plan.resolution, colors, file.writer(), tuning.bandHeight, file.descriptor());
        }
        if (hasCaption(plan, photo)) {
            const PixelRect strip = captionStrip(plan, cell);
            auto caption = std::make_shared<LinearSource>(
                captionImage(*photo.caption, static_cast<int>(strip.width), static_cast<int>(strip.height)),
                1, false);
            write(caption, Rect(0, 0, 1, 1), strip.width, strip.height, plan.pageRect(strip),
                  OutputSharpening::off, plan.resolution, colors, file.writer(), tuning.bandHeight,
                  file.descriptor());
        }
    }

    if (!plan.marks.empty()) {
        std::vector<Rect> marks;
        marks.reserve(plan.marks.size());
        for (const PixelRect& mark : plan.marks) {
            marks.push_back(plan.pageRect(mark));
        }
        file.writer().addRectangles(marks);
    }
    file.finish();
}

} // namespace PrintKit::SheetRenderer
