// The user's saved paper recipes, one JSON file each ("<UUID>.json", file style) in one folder. The store
// holds nothing but the folder, so two stores on the same folder see the same recipes and tests can point
// one at a temporary folder. Every save replaces its file atomically.
#pragma once

#include "PrintKit/settings/PaperRecipe.h"
#include "PrintKit/support/Error.h"

#include <filesystem>
#include <string>
#include <vector>

namespace PrintKit {

enum class RecipeStoreErrorCode {
    notFound,    // detail: the UUID asked for
    newerSchema, // detail: the file's schema number
};

// Neither message names the id or the number; both stay in the error's detail.
std::string errorMessage(RecipeStoreErrorCode code, const std::string& detail);

using RecipeStoreError = ServiceError<RecipeStoreErrorCode>;

// Besides RecipeStoreError, every operation passes on the errors of the file system
// (std::filesystem::filesystem_error, std::system_error) and of the JSON form (RecipeJSONError) unchanged.
struct RecipeStore {
    std::filesystem::path directory;

    // "Quilm Print/Recipes" in the user's data folder: $XDG_DATA_HOME (else ~/.local/share) on Linux, the
    // application-support folder on macOS. Computed, not created; the first save creates it.
    static std::filesystem::path defaultDirectory();

    // Every "*.json" file directly in the folder (the extension in lower case exactly), sorted by name the
    // way a file browser sorts, equal names in listing order. A missing folder gives an empty list; one file
    // that fails to read fails the whole listing.
    std::vector<PaperRecipe> all() const;

    // Throws RecipeStoreError(notFound) when the recipe has no file.
    PaperRecipe load(const Uuid& id) const;

    // Writes the recipe as the next revision of its stored copy (version 1 when there is no readable one),
    // stamped with `now` to the whole second and schema 1, and returns the copy exactly as written.
    PaperRecipe save(const PaperRecipe& recipe, Timestamp now) const;

    // Deletes the recipe's file; a missing file is the file system's error. (Named `remove` because `delete`
    // is a C++ keyword.)
    void remove(const Uuid& id) const;

    std::filesystem::path fileFor(const Uuid& id) const;
};

} // namespace PrintKit
