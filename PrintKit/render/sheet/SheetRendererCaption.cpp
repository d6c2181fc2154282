// Caption strips of grid cells, laid out by Pango and drawn by Cairo. Fontconfig picks the face: the
// desktop's sans-serif, falling back to a face with Hangul (or any other script) for the characters it
// lacks.
#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "PrintKit/support/Text.h"

#include <cairo.h>
#include <memory>
#include <pango/pangocairo.h>

namespace PrintKit::SheetRenderer {

namespace {

struct SurfaceRelease {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextRelease {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct OptionsRelease {
    void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); }
};
struct ObjectRelease {
    void operator()(void* o) const { g_object_unref(o); }
};
struct FontRelease {
    void operator()(PangoFontDescription* d) const { pango_font_description_free(d); }
};

// Share of the strip's height: the font size, the line's width limit and the baseline's height.
constexpr double fontShare = 0.62;
constexpr double widthShare = 0.965;
constexpr double baselineShare = 0.28;
constexpr double grey = 0.3;

[[noreturn]] void cannotCreate() {
    throw SheetRenderError(SheetRenderErrorCode::cannotCreateImage);
}

} // namespace

std::shared_ptr<const DecodedImage> captionImage(const std::string& text, int width, int height) {
    if (width < 1 || height < 1) {
        cannotCreate();
    }
    std::unique_ptr<cairo_surface_t, SurfaceRelease> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        cannotCreate();
    }
    std::unique_ptr<cairo_t, ContextRelease> cr(cairo_create(surface.get()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
        cannotCreate();
    }
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());

    std::unique_ptr<PangoLayout, ObjectRelease> layout(pango_cairo_create_layout(cr.get()));
    if (!layout) {
        cannotCreate();
    }
    // Outlines placed where the layout puts them, unhinted: the same caption looks the same on every
    // machine and at every strip height.
    std::unique_ptr<cairo_font_options_t, OptionsRelease> options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options.get());
    pango_layout_context_changed(layout.get());

    std::unique_ptr<PangoFontDescription, FontRelease> font(pango_font_description_from_string("Sans"));
    // One pixel of the strip counts as one point.
    pango_font_description_set_absolute_size(font.get(), fontShare * height * PANGO_SCALE);
    pango_layout_set_font_description(layout.get(), font.get());
    // Captions come from file names and user text: never let a stray byte stop the layout.
    const std::string line = Text::utf8WithReplacement(text);
    pango_layout_set_text(layout.get(), line.data(), static_cast<int>(line.size()));
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    pango_layout_set_width(layout.get(), static_cast<int>(widthShare * width * PANGO_SCALE));
    pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_MIDDLE);

    PangoLayoutLine* first = pango_layout_get_line_readonly(layout.get(), 0);
    if (first) {
        PangoRectangle logical{};
        pango_layout_line_get_extents(first, nullptr, &logical);
        const double lineWidth = static_cast<double>(logical.width) / PANGO_SCALE;
        const double lineStart = static_cast<double>(logical.x) / PANGO_SCALE;
        cairo_set_source_rgb(cr.get(), grey, grey, grey);
        // Centred, the baseline at 28 % of the strip's height from its bottom.
        cairo_move_to(cr.get(), (width - lineWidth) * 0.5 - lineStart, height - baselineShare * height);
        pango_cairo_show_layout_line(cr.get(), first);
    }
    cairo_surface_flush(surface.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
        cannotCreate();
    }

    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    if (!data) {
        cannotCreate();
    }
    auto image = std::make_shared<DecodedImage>();
    image->format = ImageFormat::png;
    image->width = width;
    image->height = height;
    image->model = ColorModel::rgb;
    image->channels = 3;
    image->sample = SampleType::uint8;
    image->alpha = AlphaMode::none;
    image->icc = ColorSpace::sRGB().icc;
    image->orientation = 1;
    image->bytesPerRow = static_cast<std::size_t>(width) * 3;
    image->pixels = PixelBytes(image->bytesPerRow * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        // Cairo's RGB24 pixels are native 32-bit words 0x00RRGGBB.
        const auto* in =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        std::uint8_t* out = image->row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = in[x];
            out[3 * x] = static_cast<std::uint8_t>(p >> 16);
            out[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);
            out[3 * x + 2] = static_cast<std::uint8_t>(p);
        }
    }
    return image;
}

} // namespace PrintKit::SheetRenderer
