// Feeds arbitrary bytes to the recipe reader. It must either refuse them with its own error or give a recipe
// that the writer accepts and that reads back equal (dates keep whole seconds only).
#include "PrintKit/settings/RecipeJSON.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace PrintKit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PaperRecipe recipe;
    try {
        recipe = RecipeJSON::decode(bytes);
    } catch (const RecipeJSONError&) {
        return 0;
    }
    recipe.updatedAt = std::chrono::floor<std::chrono::seconds>(recipe.updatedAt);
    if (RecipeJSON::decode(RecipeJSON::encode(recipe)) != recipe) {
        std::abort();
    }
    return 0;
}
