#include "PrintKit/settings/RecipeStore.h"

#include "PrintKit/settings/RecipeJSON.h"
#include "RecipeSamples.h"
#include "TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>
#include <system_error>

using namespace PrintKit;
using TestSupport::expectFailure;
namespace fs = std::filesystem;

namespace {

PaperRecipe named(const std::string& name) {
    PaperRecipe recipe = RecipeSamples::plain();
    recipe.id = Uuid::random();
    recipe.name = name;
    return recipe;
}

std::size_t entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

void writeRecipe(const RecipeStore& store, const PaperRecipe& recipe) {
    TestSupport::writeFile(store.fileFor(recipe.id), RecipeJSON::encode(recipe));
}

const Timestamp june = Timestamp(std::chrono::seconds(1717230600)); // 2024-06-01T08:30:00Z

} // namespace

TEST(RecipeStoreTest, DefaultFolderIsInTheDataHome) {
#ifdef __APPLE__
    EXPECT_EQ(RecipeStore::defaultDirectory().filename(), "Recipes");
#else
    TestSupport::ScopedEnvironment data("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(RecipeStore::defaultDirectory(), fs::path("/srv/data/Quilm Print/Recipes"));
#endif
}

TEST(RecipeStoreTest, SavesTheNextRevisionWhichSaturatesAndReturnsWhatWasWritten) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir / "a/Recipes"};
    EXPECT_TRUE(store.all().empty()); // a missing folder lists nothing; the first save creates it
    PaperRecipe recipe = RecipeSamples::fineArt();
    recipe.version = 41;      // ignored: there is no stored copy yet
    recipe.schemaVersion = 0; // always written as the current schema
    PaperRecipe first = store.save(recipe, june + std::chrono::milliseconds(999));
    EXPECT_EQ(std::tuple(first.version, first.schemaVersion), std::tuple(1, 1));
    EXPECT_EQ(first.updatedAt, june); // whole seconds, as the file holds them
    EXPECT_EQ(store.load(recipe.id), first);
    EXPECT_EQ(TestSupport::readFile(store.directory / "6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8.json"),
              RecipeJSON::encode(first));
    recipe.notes = "second coat";
    EXPECT_EQ(store.save(recipe, june).version, 2);
    EXPECT_EQ(store.load(recipe.id).notes, "second coat");
    EXPECT_EQ(entries(store.directory), 1u); // no temporary files left behind
    // The counter saturates rather than wrapping; an edited file's count goes on from it.
    recipe.version = std::numeric_limits<std::int64_t>::max();
    writeRecipe(store, recipe);
    EXPECT_EQ(store.save(recipe, june).version, std::numeric_limits<std::int64_t>::max());
    recipe.version = -2;
    writeRecipe(store, recipe);
    EXPECT_EQ(store.save(recipe, june).version, -1);
}

TEST(RecipeStoreTest, ListsJsonFilesByNameLikeAFileBrowserAndDeletesOneRecipe) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    std::vector<PaperRecipe> saved;
    for (const char* name : {"Recipe 10", "recipe 9", "Alpha"}) {
        saved.push_back(store.save(named(name), june));
    }
    TestSupport::writeFile(dir / "00000000-0000-4000-8000-000000000001.JSON",
                           RecipeJSON::encode(named("Capitals")));
    TestSupport::writeFile(dir / "QuilmPrint-interrupted.tmp", "{");
    fs::create_directory(dir / "backup");
    store.remove(saved[0].id);
    EXPECT_EQ(RecipeStore{dir.path()}.all(), (std::vector<PaperRecipe>{saved[2], saved[1]}));
    expectFailure<RecipeStoreError>([&] { store.load(saved[0].id); }, RecipeStoreErrorCode::notFound,
                                    "레시피를 찾지 못했습니다");
    auto gone = TestSupport::thrown<fs::filesystem_error>([&] { store.remove(saved[0].id); });
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->code(), std::errc::no_such_file_or_directory);
    EXPECT_EQ(gone->path1(), store.fileFor(saved[0].id));
    // One file that does not read fails the whole listing.
    TestSupport::writeFile(dir / "broken.json", R"({"name": "no schema"})");
    EXPECT_THROW(store.all(), RecipeJSONError);
}

TEST(RecipeStoreTest, NewerSchemaIsRefusedBeforeTheRestIsReadAndASaveReplacesIt) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe old = named("Old");
    old.schemaVersion = 0; // older ones pass
    writeRecipe(store, old);
    EXPECT_EQ(store.load(old.id), old);
    // Nothing but the schema number: a newer format may have changed everything else.
    Uuid id = Uuid::random();
    TestSupport::writeFile(store.fileFor(id),
                           R"({"schemaVersion": 2, "recipe": {"title": "from the future"}})");
    expectFailure<RecipeStoreError>(
        [&] { store.load(id); }, RecipeStoreErrorCode::newerSchema,
        "더 새로운 버전의 Quilm Print에서 만든 레시피입니다. 앱을 업데이트해 주세요");
    EXPECT_THROW(store.all(), RecipeStoreError);
    PaperRecipe mine = named("Mine");
    mine.id = id;
    PaperRecipe saved = store.save(mine, june);
    EXPECT_EQ(saved.version, 1);
    EXPECT_EQ(store.load(id), saved);
}

TEST(RecipeStoreTest, FailedSavesLeaveTheOldFileAsItWas) {
    TestSupport::TemporaryDirectory dir;
    // A file where the folder should be.
    TestSupport::writeFile(dir / "file", "a file");
    EXPECT_THROW(RecipeStore{dir / "file"}.all(), fs::filesystem_error);
    EXPECT_THROW(RecipeStore{dir / "file"}.save(RecipeSamples::plain(), june), fs::filesystem_error);
    EXPECT_EQ(TestSupport::readFile(dir / "file"), "a file");
    // Sizes that are not finite are refused before anything is written, not even the folder.
    RecipeStore store{dir / "Recipes"};
    PaperRecipe recipe = RecipeSamples::fineArt();
    recipe.customSheet->height = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(store.save(recipe, june), RecipeJSONError);
    EXPECT_FALSE(fs::exists(store.directory));
    const PaperRecipe saved = store.save(RecipeSamples::fineArt(), june);
    const std::string before = TestSupport::readFile(store.fileFor(saved.id));
    EXPECT_THROW(store.save(recipe, june), RecipeJSONError);
    // The disk fills up half-way through a larger revision: a file-size limit makes writes past it fail with
    // EFBIG, and unlike file modes it binds root too (SIGXFSZ is ignored meanwhile).
    recipe = saved;
    recipe.notes = std::string(64 * 1024, 'n');
    rlimit savedLimit{};
    ::getrlimit(RLIMIT_FSIZE, &savedLimit);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = savedLimit;
    limit.rlim_cur = before.size() + 100;
    const bool limited = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (limited) {
        EXPECT_THROW(store.save(recipe, june), std::system_error);
    }
    ::setrlimit(RLIMIT_FSIZE, &savedLimit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(TestSupport::readFile(store.fileFor(saved.id)), before);
    EXPECT_EQ(entries(store.directory), 1u);
    if (!limited) {
        GTEST_SKIP() << "cannot limit the file size";
    }
}
