// The catalogue memory's file: where it lies, and that a save replaces it
// whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "catalogue/freshness_state.h"
#include "platform/linux/state_file_store.h"

namespace {

namespace fs = std::filesystem;

TEST(StateFileStore, PathFollowsTheEnvironment)
{
    const struct {
        std::map<std::string, std::string> env;
        std::string path;
    } cases[] = {
        {{{"CONTROLLER_UPDATER_STATE", "here.json"}, {"XDG_STATE_HOME", "/x"}}, "here.json"},
        {{{"XDG_STATE_HOME", "/x"}, {"HOME", "/h"}}, "/x/controller-updater/catalogue-state.json"},
        {{{"XDG_STATE_HOME", "relative"}, {"HOME", "/h"}}, "/h/.local/state/controller-updater/catalogue-state.json"},
        {{{"HOME", "relative"}}, ""},
    };
    for (const auto& c : cases) {
        const auto getenv = [&](const char* name) -> const char* {
            const auto found = c.env.find(name);
            return found == c.env.end() ? nullptr : found->second.c_str();
        };
        EXPECT_EQ(StateFileStore::DefaultPath(getenv), c.path);
    }
}

TEST(StateFileStore, SaveReplacesTheWholeFileOrNothing)
{
    const fs::path dir = fs::path(testing::TempDir()) / "state_file_store_test";
    fs::remove_all(dir);
    StateFileStore store((dir / "a/b/state.json").string());
    EXPECT_EQ(store.Load().status, TrustStoreStatus::Absent);
    ASSERT_EQ(store.Save("first"), "");
    ASSERT_EQ(store.Save("second"), "");
    const TrustStoreLoad load = store.Load();
    EXPECT_EQ(load.status, TrustStoreStatus::Read);
    EXPECT_EQ(load.text, "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "a/b"), fs::directory_iterator()), 1);  // no temporary left

    // A folder where the file should be: the rename fails, and the
    // temporary file goes with it.
    fs::create_directories(dir / "c/state.json/inside");
    EXPECT_NE(StateFileStore((dir / "c/state.json").string()).Save("lost"), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "c"), fs::directory_iterator()), 1);

    std::ofstream(dir / "big.json") << std::string(kMaxFreshnessStateBytes + 1, ' ');
    EXPECT_EQ(StateFileStore((dir / "big.json").string()).Load().status, TrustStoreStatus::Failed);
    fs::remove_all(dir);
}

}  // namespace
