// The file search, the list copy through the main thread and the pause in whole programs of the
// runtime (system_body), where the main thread runs its message loop.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/process_runner.h"
#include "tests/system/host_files.h"

namespace {

ProcessResult run_body(const std::string& scenario, const std::string& folder = "") {
    ProcessOptions options;
    options.environment = {{"RT_SCENARIO", scenario}};
    options.working_folder = folder;
    return run_program(test_folder() + "system_body.exe", options);
}

// Regression: the search suspended the main thread (which could hold the heap's lock) while it made
// each folder current in turn.
TEST(SystemProgram, SearchLeavesTheMainThreadRunningAndTheCurrentFolderAlone) {
    std::string root = fresh_test_folder("suspend");
    // Enough folders that the search takes a while for the watcher to see it.
    for (int f = 0; f < 40; ++f) {
        std::string folder = root + "\\f" + std::to_string(f);
        make_folders(folder);
        for (int i = 0; i < 10; ++i) {
            make_file(folder + "\\p" + std::to_string(i) + ".jpg");
        }
    }
    make_file(root + "\\a.jpg");
    ProcessResult r = run_body("search", root);
    host_files::remove_tree(root);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(output_value(r.output, "count"), "401");
    EXPECT_EQ(output_value(r.output, "first"), root + "\\a.jpg");
    EXPECT_EQ(output_value(r.output, "suspended_during"), "0");
    EXPECT_EQ(output_value(r.output, "suspend_count_after"), "0");
    EXPECT_EQ(output_value(r.output, "folder_kept"), "1");
    EXPECT_GE(std::stoi(output_value(r.output, "pause_after_search")), 40);
}

TEST(SystemProgram, ListBoxAndComboBoxAreFilledByTheMainThread) {
    ProcessResult r = run_body("controls");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    ASSERT_EQ(output_value(r.output, "created"), "1");
    EXPECT_EQ(output_value(r.output, "empty_copy"), "0");
    EXPECT_EQ(output_value(r.output, "box_result"), "3");
    EXPECT_EQ(output_value(r.output, "combo_result"), "3");
    const char* expected[] = {"one", "two", "three"};
    for (const char* name : {"box", "combo"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(output_value(r.output, std::string(name) + "_count"), "3");
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(output_value(r.output, std::string(name) + "_" + std::to_string(i)), expected[i]);
        }
    }
}

TEST(SystemProgram, PauseTakesAboutTheGivenTime) {
    ProcessResult r = run_body("pause");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    int zero = std::stoi(output_value(r.output, "pause_0"));
    int hundred = std::stoi(output_value(r.output, "pause_100"));
    int three_hundred = std::stoi(output_value(r.output, "pause_300"));
    EXPECT_LT(zero, 90);
    EXPECT_GE(hundred, 90);  // the tick count moves in steps of about 16 ms
    EXPECT_LT(hundred, 1000);
    EXPECT_GE(three_hundred, 290);
    EXPECT_LT(three_hundred, 1500);
    // A negative time pauses 0 ms (not the 49 days that the same bits make as an unsigned time).
    EXPECT_LT(std::stoi(output_value(r.output, "pause_-1")), 90);
    EXPECT_LT(std::stoi(output_value(r.output, "pause_-100")), 90);
}

}  // namespace
