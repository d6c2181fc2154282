#include "SheetProbe.h"

#include "TestSupport.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace SheetProbe {

namespace {

int number(const std::string& text, const std::string& key, std::size_t from) {
    return std::stoi(text.substr(text.find(key, from) + key.size()));
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

} // namespace

int Image::at(int x, int y, int c) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 6 + static_cast<std::size_t>(c) * 2;
    return (static_cast<unsigned char>(samples[i]) << 8) | static_cast<unsigned char>(samples[i + 1]);
}

std::vector<Image> images(const std::filesystem::path& pdf) {
    const std::string text = TestSupport::readFile(pdf);
    std::vector<Image> found;
    for (std::size_t at = 0; (at = text.find("/Subtype /Image", at)) != std::string::npos;) {
        const std::size_t open = text.rfind("<<", at), data = text.find(">>\nstream\n", at) + 10;
        const auto length = static_cast<std::size_t>(number(text, "/Length ", open));
        found.push_back(
            {number(text, "/Width ", open), number(text, "/Height ", open), text.substr(data, length)});
        at = data + length;
    }
    return found;
}

bool qpdfAccepts(const std::filesystem::path& pdf) {
    return TestSupport::run("qpdf --check " + quoted(pdf) + " >/dev/null 2>&1") == 0;
}

std::vector<std::string> listed(const std::filesystem::path& pdf) {
    std::string output, line;
    if (TestSupport::run("pdfimages -list " + quoted(pdf), &output) != 0) {
        throw std::runtime_error("pdfimages failed");
    }
    std::istringstream lines(output);
    std::vector<std::string> result;
    for (int row = 0; std::getline(lines, line); ++row) {
        std::istringstream fields(line);
        std::string page, num, type, width, height, color, comp, bpc;
        if (row >= 2 && fields >> page >> num >> type >> width >> height >> color >> comp >> bpc) {
            result.push_back(width + " " + height + " " + color + " " + bpc);
        }
    }
    return result;
}

Raster::Box Raster::inked(int below) const {
    int minX = width, minY = height, maxX = -1, maxY = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (at(x, y, 0) < below || at(x, y, 1) < below || at(x, y, 2) < below) {
                minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y),
                maxY = std::max(maxY, y);
            }
        }
    }
    return maxX < 0 ? Box{} : Box{minX, minY, maxX - minX + 1, maxY - minY + 1};
}

double Raster::mean(const Box& b, int c) const {
    double sum = 0;
    for (int y = b.y; y < b.y + b.height; ++y) {
        for (int x = b.x; x < b.x + b.width; ++x) {
            sum += at(x, y, c);
        }
    }
    return sum / (static_cast<double>(b.width) * b.height);
}

int Raster::dark(const Box& b, int below) const {
    int count = 0;
    for (int y = b.y; y < b.y + b.height; ++y) {
        for (int x = b.x; x < b.x + b.width; ++x) {
            count += at(x, y, 0) < below && at(x, y, 1) < below && at(x, y, 2) < below;
        }
    }
    return count;
}

Raster raster(const std::filesystem::path& pdf, double dpi) {
    const std::filesystem::path out = pdf.parent_path() / (pdf.stem().string() + "-page");
    if (TestSupport::run("pdftoppm -r " + std::to_string(static_cast<int>(dpi)) +
                         " -singlefile -aa no -aaVector no " + quoted(pdf) + " " + quoted(out) +
                         " 2>/dev/null") != 0) {
        throw std::runtime_error("pdftoppm failed");
    }
    const std::string ppm = TestSupport::readFile(out.string() + ".ppm");
    std::istringstream head(ppm);
    std::string magic;
    int maxValue = 0;
    Raster raster;
    head >> magic >> raster.width >> raster.height >> maxValue;
    raster.rgb.assign(ppm.begin() + static_cast<std::ptrdiff_t>(head.tellg()) + 1, ppm.end());
    if (magic != "P6" || maxValue != 255 ||
        raster.rgb.size() != static_cast<std::size_t>(raster.width) * raster.height * 3) {
        throw std::runtime_error("unexpected pdftoppm output");
    }
    return raster;
}

} // namespace SheetProbe
