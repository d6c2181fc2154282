// Any bytes, read as a profile with and without the RGB printer test: the reader must neither crash nor
// read outside the bytes, and whatever it accepts must carry a sane record.
#include "PrintKit/settings/ICCProfileReader.h"
#include "PrintKit/support/Text.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (bool printerRGB : {false, true}) {
        auto info = PrintKit::ICCProfileReader::parse(bytes, "/fuzz/Fuzzed Profile.icc", printerRGB);
        if (!info) {
            continue;
        }
        if (size < 132 || info->md5.size() != 32 || info->description.empty() ||
            !PrintKit::Text::isValidUtf8(info->description) || (printerRGB && !info->isRGBPrinterProfile())) {
            std::abort();
        }
    }
    return 0;
}
