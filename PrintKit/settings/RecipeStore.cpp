#include "PrintKit/settings/RecipeStore.h"

#include "PrintKit/settings/RecipeJSON.h"
#include "PrintKit/support/FileIO.h"
#include "PrintKit/support/Folders.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Text.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <system_error>

namespace PrintKit {

namespace fs = std::filesystem;

std::string errorMessage(RecipeStoreErrorCode code, const std::string&) {
    switch (code) {
    case RecipeStoreErrorCode::notFound:
        return "레시피를 찾지 못했습니다";
    case RecipeStoreErrorCode::newerSchema:
        return "더 새로운 버전의 Quilm Print에서 만든 레시피입니다. 앱을 업데이트해 주세요";
    }
    return {};
}

namespace {

// Reads one recipe file. The schema number is checked on its own first, so a file from a newer build is
// refused with a message asking for an update rather than with whatever its new members would trip over.
PaperRecipe read(const fs::path& file) {
    std::string bytes = FileIO::readFile(file);
    nlohmann::json document = RecipeJSON::parseDocument(bytes);
    std::int64_t schema = RecipeJSON::schemaVersion(document);
    if (schema > PaperRecipe::currentSchemaVersion) {
        throw RecipeStoreError(RecipeStoreErrorCode::newerSchema, Numbers::integer(schema));
    }
    return RecipeJSON::decodeDocument(document);
}

} // namespace

fs::path RecipeStore::defaultDirectory() { return Folders::userData() / "Quilm Print" / "Recipes"; }

fs::path RecipeStore::fileFor(const Uuid& id) const {
    return directory / (id.string() + ".json");
}

std::vector<PaperRecipe> RecipeStore::all() const {
    if (!fs::exists(directory)) {
        return {};
    }
    std::vector<PaperRecipe> recipes;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
        // Exactly ".json": "X.JSON" and the save's own temporary files are not recipes.
        if (entry.path().extension() != ".json") {
            continue;
        }
        recipes.push_back(read(entry.path()));
    }
    std::stable_sort(recipes.begin(), recipes.end(), [](const PaperRecipe& a, const PaperRecipe& b) {
        return Text::compareNames(a.name, b.name) < 0;
    });
    return recipes;
}

PaperRecipe RecipeStore::load(const Uuid& id) const {
    fs::path file = fileFor(id);
    if (!fs::exists(file)) {
        throw RecipeStoreError(RecipeStoreErrorCode::notFound, id.string());
    }
    return read(file);
}

PaperRecipe RecipeStore::save(const PaperRecipe& recipe, Timestamp now) const {
    PaperRecipe copy = recipe;

    std::int64_t version = 1;
    try {
        std::int64_t stored = load(recipe.id).version;
        // A stored revision at the very top of the range can only come from an edited file. Saturating keeps
        // every later save working (failing would lock the user out of the recipe, wrapping would go
        // negative) and the counter never moves backwards; nothing needs it to keep growing.
        version = stored == std::numeric_limits<std::int64_t>::max() ? stored : stored + 1;
    } catch (const std::exception&) {
        // No readable stored copy (missing, unreadable, damaged or from a newer build): start again at 1,
        // and the save below replaces that file.
        version = 1;
    }
    copy.version = version;
    // The file keeps whole seconds only; the returned copy must equal what a later load gives back.
    copy.updatedAt = std::chrono::floor<std::chrono::seconds>(now);
    copy.schemaVersion = PaperRecipe::currentSchemaVersion;

    // Encoding first: a recipe that cannot be written (a size that is not a finite number) is refused before
    // the folder or any file is touched.
    std::string bytes = RecipeJSON::encode(copy);
    fs::create_directories(directory);
    FileIO::writeFileAtomically(fileFor(copy.id), bytes);
    return copy;
}

void RecipeStore::remove(const Uuid& id) const {
    fs::path file = fileFor(id);
    // std::filesystem::remove reports a missing file as "nothing removed"; the caller must learn that the
    // recipe was not there.
    if (!fs::remove(file)) {
        throw fs::filesystem_error("cannot delete recipe", file,
                                   std::make_error_code(std::errc::no_such_file_or_directory));
    }
}

} // namespace PrintKit
