#include "SheetProbe.h"

#include "TestSupport.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace SheetProbe {

namespace {

int number(const std::string& text, const std::string& key, std::size_t from, std::size_t to) {
    std::size_t at = text.find(key, from);
    if (at == std::string::npos || at > to) {
        throw std::runtime_error("no " + key + " in the image dictionary");
    }
    return std::stoi(text.substr(at + key.size()));
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

} // namespace

int Image::at(int x, int y, int c) const {
    const std::size_t i =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 6 +
        static_cast<std::size_t>(c) * 2;
    return (static_cast<unsigned char>(samples[i]) << 8) | static_cast<unsigned char>(samples[i + 1]);
}

std::vector<Image> images(const std::filesystem::path& pdf) {
    const std::string text = TestSupport::readFile(pdf);
    std::vector<Image> found;
    std::size_t at = 0;
    while ((at = text.find("/Subtype /Image", at)) != std::string::npos) {
        const std::size_t open = text.rfind("<<", at);
        const std::size_t close = text.find(">>\nstream\n", at);
        if (open == std::string::npos || close == std::string::npos) {
            throw std::runtime_error("broken image object");
        }
        Image image;
        image.width = number(text, "/Width ", open, close);
        image.height = number(text, "/Height ", open, close);
        image.bitsPerComponent = number(text, "/BitsPerComponent ", open, close);
        const std::size_t space = text.find("/ColorSpace ", open) + 12;
        const std::size_t spaceEnd = text[space] == '[' ? text.find(']', space) + 1 : text.find(' ', space);
        image.colorSpace = text.substr(space, spaceEnd - space);
        const auto length = static_cast<std::size_t>(number(text, "/Length ", open, close));
        const std::size_t data = close + 10;
        image.samples = text.substr(data, length);
        if (image.samples.size() != length) {
            throw std::runtime_error("image stream cut short");
        }
        found.push_back(std::move(image));
        at = data + length;
    }
    return found;
}

std::string infoEntry(const std::filesystem::path& pdf, const std::string& key) {
    const std::string text = TestSupport::readFile(pdf);
    const std::string marker = "/" + key + " (";
    std::size_t at = text.rfind(marker);
    if (at == std::string::npos) {
        return {};
    }
    at += marker.size();
    return text.substr(at, text.find(')', at) - at);
}

bool qpdfAccepts(const std::filesystem::path& pdf) {
    return TestSupport::run("qpdf --check " + quoted(pdf) + " >/dev/null 2>&1") == 0;
}

std::vector<Listed> listed(const std::filesystem::path& pdf) {
    std::string output;
    if (TestSupport::run("pdfimages -list " + quoted(pdf), &output) != 0) {
        throw std::runtime_error("pdfimages failed");
    }
    std::istringstream lines(output);
    std::string line;
    std::vector<Listed> result;
    int row = 0;
    while (std::getline(lines, line)) {
        if (++row <= 2) { // the heading and its rule
            continue;
        }
        std::istringstream fields(line);
        std::string page, num, type, comp, enc, interp, object, id;
        Listed entry;
        fields >> page >> num >> type >> entry.width >> entry.height >> entry.color >> comp >> entry.bpc;
        if (fields) {
            result.push_back(entry);
        }
    }
    return result;
}

Raster::Box Raster::inked(int below) const {
    int minX = width, minY = height, maxX = -1, maxY = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (at(x, y, 0) < below || at(x, y, 1) < below || at(x, y, 2) < below) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    }
    if (maxX < 0) {
        return {};
    }
    return {minX, minY, maxX - minX + 1, maxY - minY + 1};
}

double Raster::mean(int x0, int y0, int w, int h, int c) const {
    double sum = 0;
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x) {
            sum += at(x, y, c);
        }
    }
    return sum / (static_cast<double>(w) * h);
}

Raster raster(const std::filesystem::path& pdf, double dpi) {
    const std::filesystem::path out = pdf.parent_path() / (pdf.stem().string() + "-page");
    const std::string command = "pdftoppm -r " + std::to_string(static_cast<int>(dpi)) +
                                " -singlefile -aa no -aaVector no " + quoted(pdf) + " " + quoted(out);
    if (TestSupport::run(command + " 2>/dev/null") != 0) {
        throw std::runtime_error("pdftoppm failed");
    }
    const std::string ppm = TestSupport::readFile(out.string() + ".ppm");
    std::istringstream head(ppm);
    std::string magic;
    int maxValue = 0;
    Raster raster;
    head >> magic >> raster.width >> raster.height >> maxValue;
    if (magic != "P6" || maxValue != 255) {
        throw std::runtime_error("unexpected pdftoppm output");
    }
    const std::size_t start = static_cast<std::size_t>(head.tellg()) + 1;
    raster.rgb.assign(ppm.begin() + static_cast<std::ptrdiff_t>(start), ppm.end());
    if (raster.rgb.size() !=
        static_cast<std::size_t>(raster.width) * static_cast<std::size_t>(raster.height) * 3) {
        throw std::runtime_error("short pdftoppm output");
    }
    return raster;
}

} // namespace SheetProbe
