#include "PrintKit/settings/RecipeStore.h"

#include "PrintKit/settings/RecipeJSON.h"
#include "RecipeSamples.h"
#include "TestSupport.h"
#include "Thrown.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>
#include <system_error>

using namespace PrintKit;
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
    TestSupport::writeFile(store.fileFor(recipe.id), RecipeJSON::encode(recipe, RecipeJSON::Style::file));
}

// A file-size limit for the process: writes past it fail with EFBIG, as on a full disk, and unlike file
// modes it binds root too. SIGXFSZ would end the process, so it is ignored meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
    bool active_ = false;
};

const Timestamp june = Timestamp(std::chrono::seconds(1717230600)); // 2024-06-01T08:30:00Z

} // namespace

TEST(RecipeStoreTest, DefaultFolderIsInTheDataHome) {
#ifdef __APPLE__
    EXPECT_EQ(RecipeStore::defaultDirectory().filename(), "Recipes");
#else
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    const fs::path folder = RecipeStore::defaultDirectory();
    old ? ::setenv("XDG_DATA_HOME", saved.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(folder, fs::path("/srv/data/Quilm Print/Recipes"));
#endif
}

TEST(RecipeStoreTest, SavesTheNextRevisionAndReturnsWhatWasWritten) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir / "a/Recipes"};
    EXPECT_TRUE(store.all().empty()); // a missing folder lists nothing; the first save creates it
    PaperRecipe recipe = RecipeSamples::fineArt();
    recipe.version = 41;      // ignored: there is no stored copy yet
    recipe.schemaVersion = 0; // always written as the current schema
    PaperRecipe first = store.save(recipe, june + std::chrono::milliseconds(999));
    EXPECT_EQ(first.version, 1);
    EXPECT_EQ(first.schemaVersion, 1);
    EXPECT_EQ(first.updatedAt, june); // whole seconds, as the file holds them
    EXPECT_EQ(store.load(recipe.id), first);
    EXPECT_EQ(TestSupport::readFile(store.directory / "6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8.json"),
              RecipeJSON::encode(first, RecipeJSON::Style::file));

    recipe.notes = "second coat";
    PaperRecipe second = store.save(recipe, june + std::chrono::hours(1));
    EXPECT_EQ(second.version, 2);
    EXPECT_EQ(store.load(recipe.id), second);
    EXPECT_EQ(store.save(second, june).version, 3);
    EXPECT_EQ(entries(store.directory), 1u); // no temporary files left behind
}

TEST(RecipeStoreTest, RevisionCounterSaturatesInsteadOfOverflowing) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe recipe = RecipeSamples::plain();
    recipe.version = std::numeric_limits<std::int64_t>::max();
    writeRecipe(store, recipe);
    PaperRecipe saved = store.save(recipe, june);
    EXPECT_EQ(saved.version, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(store.load(recipe.id), saved);

    recipe.version = -2; // an edited file; counting goes on from it
    writeRecipe(store, recipe);
    EXPECT_EQ(store.save(recipe, june).version, -1);
}

TEST(RecipeStoreTest, ListsLowerCaseJsonFilesByNameTheWayAFileBrowserDoes) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    for (const char* name : {"Recipe 10", "recipe 9", "Alpha"}) {
        store.save(named(name), june);
    }
    TestSupport::writeFile(dir / "00000000-0000-4000-8000-000000000001.JSON",
                           RecipeJSON::encode(named("Capitals"), RecipeJSON::Style::file));
    TestSupport::writeFile(dir / "QuilmPrint-interrupted.tmp", "{");
    fs::create_directory(dir / "backup");
    std::vector<std::string> names;
    for (const PaperRecipe& recipe : store.all()) {
        names.push_back(recipe.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "recipe 9", "Recipe 10"}));

    // One file that does not read fails the whole listing.
    TestSupport::writeFile(dir / "broken.json", R"({"schemaVersion": 1, "name": "half)");
    EXPECT_THROW(store.all(), RecipeJSONError);
    TestSupport::writeFile(dir / "broken.json", R"({"name": "no schema"})");
    EXPECT_THROW(store.all(), RecipeJSONError);
}

TEST(RecipeStoreTest, NewerSchemaIsRefusedBeforeTheRestIsRead) {
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

    // Saving over it is what the user asked for: version 1 of the current schema replaces the newer file.
    PaperRecipe mine = named("Mine");
    mine.id = id;
    PaperRecipe saved = store.save(mine, june);
    EXPECT_EQ(saved.version, 1);
    EXPECT_EQ(store.load(id), saved);
}

TEST(RecipeStoreTest, DeletesOnlyThatRecipeAndReportsMissingOnes) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe a = store.save(named("A"), june);
    PaperRecipe b = store.save(named("B"), june);
    store.remove(a.id);
    EXPECT_EQ(RecipeStore{dir.path()}.all(), std::vector<PaperRecipe>{b}); // a second store sees the same

    expectFailure<RecipeStoreError>([&] { store.load(a.id); }, RecipeStoreErrorCode::notFound,
                                    "레시피를 찾지 못했습니다");
    auto gone = thrown<fs::filesystem_error>([&] { store.remove(a.id); });
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->code(), std::errc::no_such_file_or_directory);
    EXPECT_EQ(gone->path1(), store.fileFor(a.id));
}

TEST(RecipeStoreTest, FolderThatIsAFileFailsWithTheFileSystemsError) {
    TestSupport::TemporaryDirectory dir;
    TestSupport::writeFile(dir / "Recipes", "a file");
    RecipeStore store{dir / "Recipes"};
    EXPECT_THROW(store.all(), fs::filesystem_error);
    EXPECT_THROW(store.save(RecipeSamples::plain(), june), fs::filesystem_error);
    EXPECT_EQ(TestSupport::readFile(dir / "Recipes"), "a file");
}

TEST(RecipeStoreTest, SizesThatAreNotFiniteAreRefusedBeforeAnythingIsWritten) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir / "Recipes"};
    PaperRecipe recipe = RecipeSamples::fineArt();
    recipe.customSheet->height = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(store.save(recipe, june), RecipeJSONError);
    EXPECT_FALSE(fs::exists(store.directory)); // not even the folder

    PaperRecipe good = store.save(RecipeSamples::fineArt(), june);
    std::string before = TestSupport::readFile(store.fileFor(good.id));
    EXPECT_THROW(store.save(recipe, june + std::chrono::hours(1)), RecipeJSONError);
    EXPECT_EQ(TestSupport::readFile(store.fileFor(good.id)), before);
}

TEST(RecipeStoreTest, FailedSaveLeavesTheOldFileAsItWas) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe recipe = RecipeSamples::fineArt();

    // The disk fills up half-way through a larger revision: the stored one stays byte for byte.
    PaperRecipe saved = store.save(recipe, june);
    const std::string before = TestSupport::readFile(store.fileFor(recipe.id));
    recipe.notes = std::string(64 * 1024, 'n');
    {
        FileSizeLimit limit(before.size() + 100);
        if (!limit.active()) {
            GTEST_SKIP() << "cannot limit the file size";
        }
        EXPECT_THROW(store.save(recipe, june + std::chrono::hours(1)), std::system_error);
    }
    EXPECT_EQ(TestSupport::readFile(store.fileFor(recipe.id)), before);
    EXPECT_EQ(store.load(recipe.id), saved);
    EXPECT_EQ(entries(dir.path()), 1u);
}
