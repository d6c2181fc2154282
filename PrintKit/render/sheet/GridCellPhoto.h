// One cell of a grid page as the application hands it over: the photo's file and an optional caption line
// drawn under it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace PrintKit {

struct GridCellPhoto {
    std::filesystem::path url;
    std::optional<std::string> caption;

    GridCellPhoto() = default;
    explicit GridCellPhoto(std::filesystem::path url, std::optional<std::string> caption = std::nullopt)
        : url(std::move(url)), caption(std::move(caption)) {}

    friend bool operator==(const GridCellPhoto&, const GridCellPhoto&) = default;
};

} // namespace PrintKit
