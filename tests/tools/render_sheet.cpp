// Renders one sheet from the command line: one photo placed on a page, or a grid page of photos. Used by
// the tests that need a render in a process of its own (a private mount namespace with a small file
// system) and by the benchmark scripts, which time it against other programs.
//
//   render_sheet [options] PHOTO OUT.pdf
//   render_sheet --grid W,H,GAP [grid options] [options] OUT.pdf PHOTO[=CAPTION] ...   ("-" leaves a cell
//   empty)
//   render_sheet --vector-level      prints the vector level the engine's loops run at here (baseline, avx2
//                                    or avx512, after QUILM_VECTOR_LEVEL) and nothing else
//
// Options: --page W,H (points)   --margin M   --resolution PPI   --fit fit|fill|W,H[,turn]   --offset DX,DY
//          --paper PROFILE [--intent perceptual|relativeColorimetric] [--bpc]   --sharpen
//          off|low|standard|high
//          --turned   --bleed-scale S   --band ROWS
// Grid options: --whole --rotate --marks --captions --turn-cells
// On failure the error's message goes to standard error and the exit status is 1.
#include "PrintKit/render/layout/GridLayout.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Processor.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

using namespace PrintKit;

namespace {

[[noreturn]] void usage(const std::string& problem) {
    std::cerr << "render_sheet: " << problem << "\n";
    std::exit(2);
}

std::vector<double> numbers(const std::string& text) {
    std::vector<double> values;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        auto value = Numbers::parseDouble(part);
        if (!value) {
            usage("not a number: " + part);
        }
        values.push_back(*value);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return values;
}

} // namespace

int main(int argc, char** argv) {
    PPDPageSize page{"Custom", "Custom", {}, 288, 432, std::nullopt};
    double margin = 0;
    double resolution = 360;
    ImageFit fit = ImageFit::fit();
    Size offset;
    SheetColor color = SheetColor::sRGB();
    std::string profile;
    RenderingIntent intent = RenderingIntent::perceptual;
    bool bpc = false;
    OutputSharpening sharpening = OutputSharpening::off;
    bool turned = false;
    std::optional<double> bleedScale;
    SheetRenderer::Tuning tuning;
    std::optional<std::vector<double>> grid;
    GridSpec spec;
    std::vector<std::string> rest;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage(arg + " needs a value");
            }
            return argv[++i];
        };
        if (arg == "--vector-level") {
            std::cout << Processor::name(Processor::vectorLevel()) << "\n";
            return 0;
        }
        if (arg == "--page") {
            auto v = numbers(value());
            if (v.size() != 2) {
                usage("--page W,H");
            }
            page.width = v[0];
            page.height = v[1];
        } else if (arg == "--margin") {
            margin = numbers(value()).at(0);
        } else if (arg == "--resolution") {
            resolution = numbers(value()).at(0);
        } else if (arg == "--fit") {
            std::string v = value();
            if (v == "fit") {
                fit = ImageFit::fit();
            } else if (v == "fill") {
                fit = ImageFit::fill();
            } else {
                auto size = numbers(v);
                if (size.size() < 2) {
                    usage("--fit fit|fill|W,H[,turn]");
                }
                fit = ImageFit::exactSize(size[0], size[1], size.size() > 2 && size[2] != 0);
            }
        } else if (arg == "--offset") {
            auto v = numbers(value());
            if (v.size() != 2) {
                usage("--offset DX,DY");
            }
            offset = Size{v[0], v[1]};
        } else if (arg == "--paper") {
            profile = value();
        } else if (arg == "--intent") {
            auto v = fromRawValue<RenderingIntent>(value());
            if (!v) {
                usage("unknown intent");
            }
            intent = *v;
        } else if (arg == "--bpc") {
            bpc = true;
        } else if (arg == "--sharpen") {
            auto v = fromRawValue<OutputSharpening>(value());
            if (!v) {
                usage("unknown sharpening");
            }
            sharpening = *v;
        } else if (arg == "--turned") {
            turned = true;
        } else if (arg == "--bleed-scale") {
            bleedScale = numbers(value()).at(0);
        } else if (arg == "--band") {
            tuning.bandHeight = static_cast<int>(numbers(value()).at(0));
        } else if (arg == "--grid") {
            grid = numbers(value());
            if (grid->size() != 3) {
                usage("--grid W,H,GAP");
            }
        } else if (arg == "--whole") {
            spec.fitsWhole = true;
        } else if (arg == "--rotate") {
            spec.rotatesToFit = true;
        } else if (arg == "--marks") {
            spec.cutMarks = true;
        } else if (arg == "--captions") {
            spec.captions = true;
        } else if (arg == "--turn-cells") {
            spec.turnsToFitMore = true;
        } else if (arg.starts_with("--")) {
            usage("unknown option " + arg);
        } else {
            rest.push_back(arg);
        }
    }
    if (!profile.empty()) {
        color = SheetColor::paper(profile, intent, bpc);
    }
    std::optional<BorderlessBleed> bleed;
    if (bleedScale) {
        bleed = BorderlessBleed::autoExpand(page, *bleedScale);
    }

    try {
        if (grid) {
            if (rest.empty()) {
                usage("missing OUT.pdf");
            }
            spec.cellWidth = (*grid)[0];
            spec.cellHeight = (*grid)[1];
            spec.gap = (*grid)[2];
            const PPDPageSize placing = bleed ? bleed->placingPage(page) : page;
            const GridPlan plan = GridLayout::plan(placing, Margins::all(margin), spec, resolution);
            std::vector<std::optional<GridCellPhoto>> photos;
            for (std::size_t k = 1; k < rest.size(); ++k) {
                if (rest[k] == "-") {
                    photos.emplace_back();
                    continue;
                }
                const std::size_t equals = rest[k].find('=');
                if (equals == std::string::npos) {
                    photos.emplace_back(GridCellPhoto(rest[k]));
                } else {
                    photos.emplace_back(GridCellPhoto(rest[k].substr(0, equals), rest[k].substr(equals + 1)));
                }
            }
            SheetRenderer::renderGrid(photos, plan, spec, page, color, sharpening, bleed, rest[0], tuning);
        } else {
            if (rest.size() != 2) {
                usage("expected PHOTO OUT.pdf");
            }
            Placement placement =
                SheetRenderer::render(rest[0], page, fit, Margins::all(margin), resolution, offset, color,
                                      sharpening, bleed, turned, rest[1], tuning);
            std::cout << placement.pixelWidth << "x" << placement.pixelHeight << "\n";
        }
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
