// Arbitrary bytes through the format recognition and the reduced, upright read of the image reader, and
// whatever decodes on through the linear source (upright and turned, in a window and whole), so that
// forged profiles, alpha and sample layouts reach the working-space painting too.
#include "DecoderFuzzing.h"
#include "PrintKit/render/decode/ImageDecoder.h"
#include "PrintKit/render/sheet/LinearSource.h"

#include <vector>

using namespace PrintKit;

namespace {

void drawLinear(const std::shared_ptr<const DecodedImage>& image) {
    for (bool turned : {false, true}) {
        try {
            LinearSource source(image, image->orientation, turned);
            const int width = source.width(), height = source.height();
            std::vector<Pixel> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
            source.cache({width / 3, width}, {height / 2, height});
            source.draw({width / 2, width}, {height - 1, height}, pixels.data());
            source.draw({0, width}, {0, height}, pixels.data());
        } catch (const SheetRenderError&) {
        } catch (const ColorTransformError&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecoderFuzzing::run(
        data, size, [](const ByteSource& s) { return ImageDecoder::probe(s, DecoderFuzzing::limits); },
        [](const ByteSource& s) {
            auto image =
                std::make_shared<const DecodedImage>(ImageDecoder::decode(s, DecoderFuzzing::limits));
            drawLinear(image);
            return ImageReducer::reduced(*image,
                                         image->width + image->height); // an equal copy for the checks
        },
        [](const ByteSource& s) { return ImageDecoder::decodeReduced(s, 17, DecoderFuzzing::limits); });
    return 0;
}
