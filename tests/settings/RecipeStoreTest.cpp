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
#include <optional>
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

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

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

TEST(RecipeStoreTest, DefaultFolderFollowsTheDataHome) {
#ifdef __APPLE__
    ScopedEnv home("HOME", "/Users/kim");
    EXPECT_EQ(RecipeStore::defaultDirectory(),
              fs::path("/Users/kim/Library/Application Support/Quilm Print/Recipes"));
#else
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(RecipeStore::defaultDirectory(), fs::path("/srv/data/Quilm Print/Recipes"));
    }
    ScopedEnv home("HOME", "/home/kim");
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/data"}) {
        ScopedEnv xdg("XDG_DATA_HOME", ignored);
        EXPECT_EQ(RecipeStore::defaultDirectory(), fs::path("/home/kim/.local/share/Quilm Print/Recipes"));
    }
#endif
}

TEST(RecipeStoreTest, MissingFolderListsNothingAndFirstSaveCreatesIt) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir / "a/b/Recipes"};
    EXPECT_TRUE(store.all().empty());
    EXPECT_FALSE(fs::exists(store.directory));
    PaperRecipe saved = store.save(RecipeSamples::plain(), june);
    EXPECT_TRUE(fs::is_directory(store.directory));
    EXPECT_EQ(store.all(), std::vector<PaperRecipe>{saved});
}

TEST(RecipeStoreTest, SavesTheNextRevisionAndReturnsWhatWasWritten) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe recipe = RecipeSamples::fineArt();
    recipe.version = 41;      // ignored: there is no stored copy yet
    recipe.schemaVersion = 0; // always written as the current schema
    PaperRecipe first = store.save(recipe, june + std::chrono::milliseconds(999));
    EXPECT_EQ(first.version, 1);
    EXPECT_EQ(first.schemaVersion, 1);
    EXPECT_EQ(first.updatedAt, june); // whole seconds, as the file holds them
    EXPECT_EQ(store.load(recipe.id), first);

    fs::path file = dir / "6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8.json";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(TestSupport::readFile(file), RecipeJSON::encode(first, RecipeJSON::Style::file));

    recipe.notes = "second coat";
    PaperRecipe second = store.save(recipe, june + std::chrono::hours(1));
    EXPECT_EQ(second.version, 2);
    EXPECT_EQ(second.updatedAt, june + std::chrono::hours(1));
    EXPECT_EQ(store.load(recipe.id), second);
    EXPECT_EQ(store.save(second, june).version, 3);
    EXPECT_EQ(entries(dir.path()), 1u); // no temporary files left behind
}

TEST(RecipeStoreTest, RevisionCounterSaturatesInsteadOfOverflowing) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe recipe = RecipeSamples::plain();
    recipe.version = std::numeric_limits<std::int64_t>::max();
    TestSupport::writeFile(store.fileFor(recipe.id), RecipeJSON::encode(recipe, RecipeJSON::Style::file));
    PaperRecipe saved = store.save(recipe, june);
    EXPECT_EQ(saved.version, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(store.load(recipe.id), saved);
    EXPECT_EQ(store.save(saved, june).version, std::numeric_limits<std::int64_t>::max());

    recipe.version = -2; // an edited file; counting goes on from it
    TestSupport::writeFile(store.fileFor(recipe.id), RecipeJSON::encode(recipe, RecipeJSON::Style::file));
    EXPECT_EQ(store.save(recipe, june).version, -1);
}

TEST(RecipeStoreTest, ListsByNameTheWayAFileBrowserDoes) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    for (const char* name : {"Recipe 10", "recipe 9", "Alpha"}) {
        store.save(named(name), june);
    }
    std::vector<std::string> names;
    for (const PaperRecipe& recipe : store.all()) {
        names.push_back(recipe.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "recipe 9", "Recipe 10"}));
}

TEST(RecipeStoreTest, ListsOnlyLowerCaseJsonFiles) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe kept = store.save(named("Kept"), june);
    std::string other = RecipeJSON::encode(named("Capitals"), RecipeJSON::Style::file);
    TestSupport::writeFile(dir / "00000000-0000-4000-8000-000000000001.JSON", other);
    TestSupport::writeFile(dir / "notes.txt", "not a recipe");
    TestSupport::writeFile(dir / "QuilmPrint-interrupted.tmp", "{");
    fs::create_directory(dir / "backup");
    EXPECT_EQ(store.all(), std::vector<PaperRecipe>{kept});
}

TEST(RecipeStoreTest, OneBadFileFailsTheWholeListing) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    store.save(named("Good"), june);
    TestSupport::writeFile(dir / "broken.json", R"({"schemaVersion": 1, "name": "half)");
    EXPECT_THROW(store.all(), RecipeJSONError);
    TestSupport::writeFile(dir / "broken.json", R"({"schemaVersion": 1, "name": "no id"})");
    EXPECT_THROW(store.all(), RecipeJSONError);
    TestSupport::writeFile(dir / "broken.json", R"({"name": "no schema"})");
    EXPECT_THROW(store.all(), RecipeJSONError);
}

TEST(RecipeStoreTest, NewerSchemaIsRefusedBeforeTheRestIsRead) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    Uuid id = Uuid::random();
    // Nothing but the schema number: a newer format may have changed everything else.
    TestSupport::writeFile(store.fileFor(id),
                           R"({"schemaVersion": 2, "recipe": {"title": "from the future"}})");
    const std::string message = "더 새로운 버전의 Quilm Print에서 만든 레시피입니다. 앱을 업데이트해 주세요";
    try {
        store.load(id);
        ADD_FAILURE() << "loaded";
    } catch (const RecipeStoreError& error) {
        EXPECT_EQ(error.code(), RecipeStoreErrorCode::newerSchema);
        EXPECT_EQ(error.message(), message);
        EXPECT_EQ(error.detail(), "2");
    }
    try {
        store.all();
        ADD_FAILURE() << "listed";
    } catch (const RecipeStoreError& error) {
        EXPECT_EQ(error.code(), RecipeStoreErrorCode::newerSchema);
    }

    // Saving over it is what the user asked for: version 1 of the current schema replaces the newer file.
    PaperRecipe mine = named("Mine");
    mine.id = id;
    PaperRecipe saved = store.save(mine, june);
    EXPECT_EQ(saved.version, 1);
    EXPECT_EQ(saved.schemaVersion, 1);
    EXPECT_EQ(store.load(id), saved);
}

TEST(RecipeStoreTest, OlderSchemaPassesTheGate) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe old = named("Old");
    old.schemaVersion = 0;
    TestSupport::writeFile(store.fileFor(old.id), RecipeJSON::encode(old, RecipeJSON::Style::file));
    EXPECT_EQ(store.load(old.id), old);
    EXPECT_EQ(store.all(), std::vector<PaperRecipe>{old});
}

TEST(RecipeStoreTest, MissingRecipesAreReportedByTheirOwnErrors) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    Uuid id = Uuid::random();
    try {
        store.load(id);
        ADD_FAILURE() << "loaded";
    } catch (const RecipeStoreError& error) {
        EXPECT_EQ(error.code(), RecipeStoreErrorCode::notFound);
        EXPECT_EQ(error.message(), "레시피를 찾지 못했습니다");
        EXPECT_EQ(error.detail(), id.string());
    }
    try {
        store.remove(id);
        ADD_FAILURE() << "removed";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        EXPECT_EQ(error.path1(), store.fileFor(id));
    }
}

TEST(RecipeStoreTest, DeleteRemovesOnlyThatRecipe) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe a = store.save(named("A"), june);
    PaperRecipe b = store.save(named("B"), june);
    store.remove(a.id);
    EXPECT_EQ(store.all(), std::vector<PaperRecipe>{b});
    EXPECT_THROW(store.load(a.id), RecipeStoreError);
    // Two stores on one folder share what is in it.
    EXPECT_EQ(RecipeStore{dir.path()}.load(b.id), b);
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
    recipe.customSheet->width = std::numeric_limits<double>::infinity();
    EXPECT_THROW(store.save(recipe, june + std::chrono::hours(1)), RecipeJSONError);
    EXPECT_EQ(TestSupport::readFile(store.fileFor(good.id)), before);
    EXPECT_EQ(entries(store.directory), 1u);
}

TEST(RecipeStoreTest, FailedSaveLeavesTheOldFileAsItWas) {
    TestSupport::TemporaryDirectory dir;
    RecipeStore store{dir.path()};
    PaperRecipe recipe = RecipeSamples::fineArt();

    // A folder where the file belongs: the final rename must fail.
    fs::create_directory(store.fileFor(recipe.id));
    TestSupport::writeFile(store.fileFor(recipe.id) / "keep", "kept");
    EXPECT_THROW(store.save(recipe, june), std::system_error);
    EXPECT_EQ(TestSupport::readFile(store.fileFor(recipe.id) / "keep"), "kept");
    EXPECT_EQ(entries(dir.path()), 1u);
    fs::remove_all(store.fileFor(recipe.id));

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
